#include "core/codec/Base64.h"

#include <gtest/gtest.h>

namespace
{
ByteVector Bytes(const std::string& text)
{
    return ByteVector(text.begin(), text.end());
}

struct EncodeCase
{
    std::string input;
    std::string expected;
};

TEST(Base64Encode, GroupsOfThreeAndPadding)
{
    const EncodeCase cases[] = {
        {"abc", "YWJj"},
        {"ab", "YWI="},
        {"a", "YQ=="},
        {"", ""},
        {"abcd", "YWJjZA=="},
        {std::string("\xff\xfe\xfd", 3), "//79"},
        {std::string("\0\0\0", 3), "AAAA"},
    };
    for (const auto& c : cases)
    {
        std::string out;
        EXPECT_EQ(Base64Encode(Bytes(c.input), out), c.expected.size()) << c.input;
        EXPECT_EQ(out, c.expected) << c.input;
    }
}

TEST(Base64Encode, LineBreaksAndUnpaddedOutput)
{
    Base64 codec;
    codec.lineLength = 8;
    EXPECT_EQ(codec.Encode(Bytes("abcabcabcab")), "YWJjYWJj\r\nYWJjYWI=\r\n");
    EXPECT_EQ(codec.Encode(Bytes("abcabc")), "YWJjYWJj\r\n");

    codec.padding = false;
    EXPECT_EQ(codec.Encode(Bytes("abcabc")), "YWJjYWJj");
    EXPECT_EQ(codec.Encode(Bytes("abcab")), "YWJjYWI");

    // A length that is not a multiple of four still breaks the text.
    codec.padding = true;
    codec.lineLength = 6;
    EXPECT_EQ(codec.Encode(Bytes("abcabcabc")), "YWJjYWJj\r\nYWJj");
}

struct DecodeCase
{
    std::string text;
    ByteVector expected;
};

TEST(Base64Decode, ValidTexts)
{
    const DecodeCase cases[] = {
        {"YWJj", Bytes("abc")},
        {"YW Jj", Bytes("abc")},
        {"Y\r\nW\tJ\vj\f", Bytes("abc")},
        {" YWJj\n", Bytes("abc")},
        {"YWI=", Bytes("ab")},
        {"YWI", Bytes("ab")},
        {"YQ==", Bytes("a")},
        {"YQ", Bytes("a")},
        {"Y", {0x60}},
        {"YWJjY", {0x61, 0x62, 0x63, 0x60}},
        {"////Y", {0xff, 0xff, 0xff, 0x60}},
        {"////YW", {0xff, 0xff, 0xff, 0x61}},
        {"YQ==YQ==", {0x61, 0x06, 0x10}},
        {"YQYQ", {0x61, 0x06, 0x10}},
        {"//79", {0xff, 0xfe, 0xfd}},
        {"", {}},
    };
    for (const auto& c : cases)
    {
        ByteVector out{1, 2, 3};
        EXPECT_EQ(Base64Decode(c.text, out), c.expected.size()) << c.text;
        EXPECT_EQ(out, c.expected) << c.text;
    }
}

TEST(Base64Decode, CharactersOutsideTheAlphabetFail)
{
    const std::string invalid[] = {"YW-j", "YW_j",    "YWJj!",
                                   "*",    "YW\x01j", std::string("YW\0j", 4)};
    for (const auto& text : invalid)
    {
        ByteVector out{1};
        EXPECT_EQ(Base64Decode(text, out), 0u) << text;
        EXPECT_TRUE(out.empty()) << text;
    }
}

// Whole texts decode to what they were made from; a single character after the groups, padding
// inside the text or a character outside the alphabet could not have come from an encoder.
TEST(Base64Decode, WholeTextsAreThoseThatLoseNoBits)
{
    const std::pair<std::string, bool> cases[] = {
        {"YWJj", true},      {"Y\r\nW\tJ\vj\f", true},
        {"YWI=", true},      {"YWI", true},
        {"YQ==", true},      {"YQ=", true},
        {"", true},          {"Y", false},
        {"YWJjY", false},    {"YWJjY===", false},
        {"YQ==YQ==", false}, {"YW=I", false},
        {"YW-j", false},     {"YW\xe4j", false},
    };
    for (const auto& [text, whole] : cases)
        EXPECT_EQ(IsWholeBase64(text), whole) << text;
}

TEST(Base64Decode, EveryHighByteFails)
{
    for (int byte = 128; byte < 256; ++byte)
    {
        const std::string text = std::string("YW") + static_cast<char>(byte) + "j";
        EXPECT_TRUE(Base64().Decode(text).empty()) << byte;
        EXPECT_TRUE(Base64().Decode(std::string(1, static_cast<char>(byte))).empty()) << byte;
    }
}

TEST(Base64Decode, FlagsChangeTheTreatmentOfPadSeparatorAndInvalidCharacters)
{
    Base64 unpadded;
    unpadded.padding = false;
    EXPECT_TRUE(unpadded.Decode("YWI=").empty());
    EXPECT_EQ(unpadded.Decode("YWI"), Bytes("ab"));

    Base64 lenient;
    lenient.strict = false;
    EXPECT_EQ(lenient.Decode("YW-J\xe4j"), Bytes("abc"));
    lenient.padding = false;
    EXPECT_EQ(lenient.Decode("YWI="), Bytes("ab"));

    Base64 separated;
    separated.separator = "|";
    EXPECT_EQ(separated.Decode("YW|Jj"), Bytes("abc"));
}

TEST(Base64, RoundTripOfEveryByteValue)
{
    ByteVector all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<unsigned char>(i));
    for (size_t length = 0; length <= all.size(); length += 37)
    {
        const ByteVector part(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(length));
        std::string text;
        Base64Encode(part, text);
        ByteVector back;
        Base64Decode(text, back);
        EXPECT_EQ(back, part) << length;
    }
}
} // namespace
