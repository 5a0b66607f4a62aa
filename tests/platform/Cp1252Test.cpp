#include "platform/Cp1252.h"

#include <gtest/gtest.h>

namespace
{
TEST(Cp1252Test, EveryByteSurvivesARoundTrip)
{
    std::string all;
    for (int byte = 0; byte < 256; ++byte)
        all.push_back(static_cast<char>(byte));
    std::wstring wide;
    ASSERT_TRUE(platform::Cp1252ToWide(all, wide));
    ASSERT_EQ(wide.size(), 256u);
    std::string back;
    ASSERT_TRUE(platform::WideToCp1252(wide, back));
    EXPECT_EQ(back, all);
}

struct Mapping
{
    unsigned char byte;
    wchar_t character;
};

class Cp1252MappingTest : public testing::TestWithParam<Mapping>
{
};

TEST_P(Cp1252MappingTest, MapsBothWays)
{
    const Mapping& mapping = GetParam();
    std::wstring wide;
    ASSERT_TRUE(platform::Cp1252ToWide(std::string(1, static_cast<char>(mapping.byte)), wide));
    EXPECT_EQ(wide, std::wstring(1, mapping.character));
    std::string narrow;
    ASSERT_TRUE(platform::WideToCp1252(std::wstring(1, mapping.character), narrow));
    EXPECT_EQ(narrow, std::string(1, static_cast<char>(mapping.byte)));
}

INSTANTIATE_TEST_SUITE_P(Characters, Cp1252MappingTest,
                         testing::Values(Mapping{0x41, L'A'}, Mapping{0x80, L'\u20AC'},
                                         Mapping{0x81, L'\u0081'}, Mapping{0x8A, L'\u0160'},
                                         Mapping{0x96, L'\u2013'}, Mapping{0x99, L'\u2122'},
                                         Mapping{0x9F, L'\u0178'}, Mapping{0xA0, L'\u00A0'},
                                         Mapping{0xDF, L'\u00DF'}, Mapping{0xE4, L'\u00E4'},
                                         Mapping{0xFF, L'\u00FF'}));

class Cp1252UnmappableTest : public testing::TestWithParam<wchar_t>
{
};

TEST_P(Cp1252UnmappableTest, FailsWithEmptyOutput)
{
    std::string narrow = "left over";
    EXPECT_FALSE(platform::WideToCp1252(std::wstring(L"ab") + GetParam() + L"cd", narrow));
    EXPECT_TRUE(narrow.empty());
}

// U+0080 and U+009E are C1 controls whose bytes carry other characters in this code page.
INSTANTIATE_TEST_SUITE_P(Characters, Cp1252UnmappableTest,
                         testing::Values(L'\u0080', L'\u009E', L'\u0100', L'\u20AD', L'\u4E2D',
                                         static_cast<wchar_t>(0x1F600)));
} // namespace
