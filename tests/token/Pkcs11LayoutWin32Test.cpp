// The Windows module's layout (1-byte packing, 32-bit CK_ULONG) cannot be compiled natively
// here, so the same declarations are instantiated with those choices in a namespace of their own.
#include <cstddef>
#include <cstdint>
#include <gtest/gtest.h>

namespace win32layout
{
#define QCK_CALL
#define QCK_ULONG_TYPE uint32_t
#define QCK_LONG_TYPE int32_t
#pragma pack(push, 1)
#include "token/Pkcs11Declarations.inl"
#pragma pack(pop)
#undef QCK_CALL
#undef QCK_ULONG_TYPE
#undef QCK_LONG_TYPE
} // namespace win32layout

TEST(Pkcs11LayoutWin32, StructureSizesMatchThePackedWindowsAbi)
{
    using namespace win32layout;
    constexpr size_t pointer = sizeof(void*);
    struct Expected
    {
        const char* name;
        size_t actual;
        size_t expected;
    };
    const Expected cases[] = {
        {"CK_ULONG", sizeof(CK_ULONG), 4},
        {"CK_SESSION_HANDLE", sizeof(CK_SESSION_HANDLE), 4},
        {"CK_OBJECT_HANDLE", sizeof(CK_OBJECT_HANDLE), 4},
        {"CK_VERSION", sizeof(CK_VERSION), 2},
        {"CK_INFO", sizeof(CK_INFO), 72},
        {"CK_SLOT_INFO", sizeof(CK_SLOT_INFO), 104},
        {"CK_TOKEN_INFO", sizeof(CK_TOKEN_INFO), 160},
        {"CK_SESSION_INFO", sizeof(CK_SESSION_INFO), 16},
        // 12 bytes in a 32-bit process, 16 in a 64-bit one.
        {"CK_ATTRIBUTE", sizeof(CK_ATTRIBUTE), 8 + pointer},
        {"CK_MECHANISM", sizeof(CK_MECHANISM), 8 + pointer},
        {"CK_FUNCTION_LIST", sizeof(CK_FUNCTION_LIST), 2 + 68 * pointer},
        {"CK_INFO.flags", offsetof(CK_INFO, flags), 34},
        {"CK_INFO.libraryVersion", offsetof(CK_INFO, libraryVersion), 70},
        {"CK_SLOT_INFO.flags", offsetof(CK_SLOT_INFO, flags), 96},
        {"CK_TOKEN_INFO.flags", offsetof(CK_TOKEN_INFO, flags), 96},
        {"CK_TOKEN_INFO.hardwareVersion", offsetof(CK_TOKEN_INFO, hardwareVersion), 140},
        {"CK_TOKEN_INFO.utcTime", offsetof(CK_TOKEN_INFO, utcTime), 144},
        {"CK_ATTRIBUTE.pValue", offsetof(CK_ATTRIBUTE, pValue), 4},
        {"CK_ATTRIBUTE.ulValueLen", offsetof(CK_ATTRIBUTE, ulValueLen), 4 + pointer},
        {"CK_FUNCTION_LIST.C_Initialize", offsetof(CK_FUNCTION_LIST, C_Initialize), 2},
    };
    for (const Expected& item : cases)
        EXPECT_EQ(item.actual, item.expected) << item.name;
}
