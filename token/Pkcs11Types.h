#pragma once

// The project's own declarations of the PKCS#11 interface the card module offers: the standard
// types, structures, constants and function types the wrapper binds, plus the card maker's three
// vendor functions. Windows modules use 1-byte packing and 32-bit CK_ULONG; on Linux the native
// layout is used so the same code talks to any Linux PKCS#11 module.

#include <cstdint>

#ifdef _WIN32
#define QCK_CALL __cdecl
#define QCK_EXPORT __declspec(dllexport)
#define QCK_ULONG_TYPE uint32_t
#define QCK_LONG_TYPE int32_t
#pragma pack(push, 1)
#else
#define QCK_CALL
#define QCK_EXPORT __attribute__((visibility("default")))
#define QCK_ULONG_TYPE unsigned long
#define QCK_LONG_TYPE long
#endif

#include "token/Pkcs11Declarations.inl"

#ifdef _WIN32
#pragma pack(pop)
#endif
