#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform
{
// The registry operations the configuration needs, with the Windows semantics and error codes. On
// Windows they wrap the Reg*A functions; elsewhere the store is one `.reg` text file per hive.

enum class RegistryHive
{
    LocalMachine,
    CurrentUser
};

// Windows error codes.
constexpr uint32_t kRegistrySuccess = 0;
constexpr uint32_t kRegistryNotFound = 2;
constexpr uint32_t kRegistryAccessDenied = 5;
constexpr uint32_t kRegistryInvalidHandle = 6;
constexpr uint32_t kRegistryInvalidParameter = 87;
constexpr uint32_t kRegistryBadPathName = 161;
constexpr uint32_t kRegistryMoreData = 234;
constexpr uint32_t kRegistryNoMoreItems = 259;
constexpr uint32_t kRegistryKeyDeleted = 1018;

// Value types.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;
constexpr uint32_t kRegQword = 11;

// Access rights.
constexpr uint32_t kKeyQueryValue = 0x0001;
constexpr uint32_t kKeySetValue = 0x0002;
constexpr uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyWrite = 0x20006;

struct RegistryKey; // opaque; an HKEY on Windows
using RegistryHandle = RegistryKey*;

// Paths are relative to the hive, parts separated by backslashes, names compared without regard
// to case. On success *key receives a handle the caller closes.
uint32_t RegistryOpenKey(RegistryHive hive, const std::string& path, uint32_t access,
                         RegistryHandle* key);
// Opens the key, creating it and every missing key above it.
uint32_t RegistryCreateKey(RegistryHive hive, const std::string& path, uint32_t access,
                           RegistryHandle* key);
uint32_t RegistrySetValue(RegistryHandle key, const std::string& name, uint32_t type,
                          const unsigned char* data, uint32_t size);
// type and data may be null. With data null, *size receives the value's size. When *size is too
// small the result is kRegistryMoreData and *size the size needed.
uint32_t RegistryQueryValue(RegistryHandle key, const std::string& name, uint32_t* type,
                            unsigned char* data, uint32_t* size);
// *size holds the buffer's size in characters with room for the terminating zero; on success it
// receives the name's length without it. Past the last subkey: kRegistryNoMoreItems.
uint32_t RegistryEnumKey(RegistryHandle key, uint32_t index, char* name, uint32_t* size);
uint32_t RegistryDeleteValue(RegistryHandle key, const std::string& name);
// Fails with kRegistryAccessDenied while the key has subkeys.
uint32_t RegistryDeleteKey(RegistryHandle key, const std::string& subKey);
uint32_t RegistryCloseKey(RegistryHandle key);

struct RegistryKeyCloser
{
    void operator()(RegistryHandle key) const { RegistryCloseKey(key); }
};
using UniqueRegistryKey = std::unique_ptr<RegistryKey, RegistryKeyCloser>;
} // namespace platform
