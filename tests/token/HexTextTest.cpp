#include "token/HexText.h"

#include <gtest/gtest.h>

TEST(HexText, BinData2HexStrWritesUpperCasePairs)
{
    struct Case
    {
        ByteVector bytes;
        std::string text;
    };
    const Case cases[] = {
        {{0x0A, 0xFF}, "0AFF"},
        {{}, ""},
        {{0x00, 0x01, 0x7F, 0x80, 0xAB}, "00017F80AB"},
    };
    for (const Case& item : cases)
    {
        std::string text = "previous";
        EXPECT_EQ(BinData2HexStr(item.bytes, text), static_cast<int>(item.text.size()));
        EXPECT_EQ(text, item.text);
    }
}

TEST(HexText, HexStr2BinDataReadsPairsUpToTheFirstNonDigit)
{
    struct Case
    {
        std::string text;
        ByteVector bytes;
        int result;
    };
    const Case cases[] = {
        {"0a1B", {0x0A, 0x1B}, 2},
        {"ABC", {}, 0},
        {"", {}, 0},
        {"1G", {0x01}, 1},
        {"G1", {0x00}, 1},
        {"ffFF00", {0xFF, 0xFF, 0x00}, 3},
        {"-1 1", {0x00, 0x00}, 2},
        {"00A4000C023F00", {0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00}, 7},
    };
    for (const Case& item : cases)
    {
        ByteVector bytes;
        EXPECT_EQ(HexStr2BinData(item.text, bytes), item.result) << item.text;
        EXPECT_EQ(bytes, item.bytes) << item.text;
    }
}

TEST(HexText, HexStr2BinDataAppendsAndCountsTheWholeOutput)
{
    ByteVector bytes = {0x99};
    EXPECT_EQ(HexStr2BinData("0102", bytes), 3);
    EXPECT_EQ(bytes, (ByteVector{0x99, 0x01, 0x02}));
    EXPECT_EQ(HexStr2BinData("012", bytes), 0);
    EXPECT_EQ(bytes.size(), 3u);
}
