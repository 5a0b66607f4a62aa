#include "token/Pkcs11Types.h"

#include <cstddef>
#include <gtest/gtest.h>

// The native layout is what every Linux PKCS#11 module expects (LP64: 8-byte CK_ULONG, natural
// alignment); a wrong size here means garbage from any real module.
TEST(Pkcs11LayoutNative, StructureSizesMatchTheLp64Abi)
{
    if (sizeof(long) != 8 || sizeof(void*) != 8)
        GTEST_SKIP() << "sizes below are those of LP64 systems";
    struct Expected
    {
        const char* name;
        size_t actual;
        size_t expected;
    };
    const Expected cases[] = {
        {"CK_ULONG", sizeof(CK_ULONG), 8},
        {"CK_VERSION", sizeof(CK_VERSION), 2},
        {"CK_INFO", sizeof(CK_INFO), 88},
        {"CK_SLOT_INFO", sizeof(CK_SLOT_INFO), 112},
        {"CK_TOKEN_INFO", sizeof(CK_TOKEN_INFO), 208},
        {"CK_SESSION_INFO", sizeof(CK_SESSION_INFO), 32},
        {"CK_ATTRIBUTE", sizeof(CK_ATTRIBUTE), 24},
        {"CK_MECHANISM", sizeof(CK_MECHANISM), 24},
        {"CK_FUNCTION_LIST", sizeof(CK_FUNCTION_LIST), 8 + 68 * 8},
        {"CK_TOKEN_INFO.flags", offsetof(CK_TOKEN_INFO, flags), 96},
        {"CK_TOKEN_INFO.utcTime", offsetof(CK_TOKEN_INFO, utcTime), 188},
        {"CK_INFO.flags", offsetof(CK_INFO, flags), 40},
        {"CK_SLOT_INFO.flags", offsetof(CK_SLOT_INFO, flags), 96},
        {"CK_FUNCTION_LIST.C_WaitForSlotEvent", offsetof(CK_FUNCTION_LIST, C_WaitForSlotEvent),
         8 + 67 * 8},
    };
    for (const Expected& item : cases)
        EXPECT_EQ(item.actual, item.expected) << item.name;
}

TEST(Pkcs11LayoutNative, CardModuleAttributesHaveTheirNumbers)
{
    EXPECT_EQ(CKA_QUENDRY_CHANGE_PIN, 0x200u);
    EXPECT_EQ(CKA_QUENDRY_UNBLOCK_PIN, 0x201u);
}
