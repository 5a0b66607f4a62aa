// The declarations as the Windows build compiles them, checked by the compiler: packed to one
// byte, 32-bit CK_ULONG, as the card maker's module expects.

#include "token/Pkcs11Types.h"

#include <cstddef>

static_assert(sizeof(CK_ULONG) == 4, "CK_ULONG is 32 bits");
static_assert(sizeof(CK_SESSION_HANDLE) == 4 && sizeof(CK_OBJECT_HANDLE) == 4,
              "handles are 32 bits");
static_assert(sizeof(CK_INFO) == 72, "CK_INFO packed");
static_assert(sizeof(CK_SLOT_INFO) == 104, "CK_SLOT_INFO packed");
static_assert(sizeof(CK_TOKEN_INFO) == 160, "CK_TOKEN_INFO packed");
static_assert(sizeof(CK_SESSION_INFO) == 16, "CK_SESSION_INFO packed");
static_assert(sizeof(CK_ATTRIBUTE) == 16 && offsetof(CK_ATTRIBUTE, pValue) == 4 &&
                  offsetof(CK_ATTRIBUTE, ulValueLen) == 12,
              "CK_ATTRIBUTE packed around a 64-bit pointer");
static_assert(sizeof(CK_MECHANISM) == 16, "CK_MECHANISM packed");
static_assert(offsetof(CK_TOKEN_INFO, flags) == 96 && offsetof(CK_TOKEN_INFO, utcTime) == 144,
              "CK_TOKEN_INFO fields");
static_assert(offsetof(CK_FUNCTION_LIST, C_Initialize) == 2 &&
                  sizeof(CK_FUNCTION_LIST) == 2 + 68 * 8,
              "the function list after its 2-byte version");
