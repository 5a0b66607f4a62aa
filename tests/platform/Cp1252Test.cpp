#include "platform/Cp1252.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <utility>

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

TEST(Cp1252Test, CharactersMapBothWays)
{
    const std::pair<unsigned char, wchar_t> mappings[] = {
        {0x41, L'A'},      {0x80, L'\u20AC'}, {0x81, L'\u0081'}, {0x8A, L'\u0160'},
        {0x96, L'\u2013'}, {0x99, L'\u2122'}, {0x9F, L'\u0178'}, {0xA0, L'\u00A0'},
        {0xDF, L'\u00DF'}, {0xE4, L'\u00E4'}, {0xFF, L'\u00FF'}};
    for (const auto& [byte, character] : mappings)
    {
        SCOPED_TRACE(byte);
        std::wstring wide;
        ASSERT_TRUE(platform::Cp1252ToWide(std::string(1, static_cast<char>(byte)), wide));
        EXPECT_EQ(wide, std::wstring(1, character));
        std::string narrow;
        ASSERT_TRUE(platform::WideToCp1252(std::wstring(1, character), narrow));
        EXPECT_EQ(narrow, std::string(1, static_cast<char>(byte)));
    }
}

TEST(Cp1252Test, AnUnmappableCharacterFailsWithEmptyOutput)
{
    // U+0080 and U+009E are C1 controls whose bytes carry other characters in this code page.
    for (wchar_t character :
         {L'\u0080', L'\u009E', L'\u0100', L'\u20AD', L'\u4E2D', static_cast<wchar_t>(0x1F600)})
    {
        SCOPED_TRACE(static_cast<uint32_t>(character));
        std::string narrow = "left over";
        EXPECT_FALSE(platform::WideToCp1252(std::wstring(L"ab") + character + L"cd", narrow));
        EXPECT_TRUE(narrow.empty());
    }
}
} // namespace
