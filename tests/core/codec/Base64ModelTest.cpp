// The decoder against a model of its rules written another way: all six-bit values of the text
// as one bit string, cut into groups of four values.
#include "core/codec/Base64.h"

#include <gtest/gtest.h>

#include <random>

namespace
{
const std::string kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// A group of n values holds 6n bits and gives floor(6n / 8) bytes, but a lone value still
// gives one byte (its six bits followed by two zero bits).
ByteVector ModelGroup(const std::vector<unsigned>& values)
{
    uint32_t bits = 0;
    for (unsigned value : values)
        bits = (bits << 6) | value;
    const size_t bitCount = 6 * values.size();
    const size_t byteCount = std::max<size_t>(1, bitCount / 8);
    bits <<= 8 * byteCount > bitCount ? 8 * byteCount - bitCount : 0;
    bits >>= bitCount > 8 * byteCount ? bitCount - 8 * byteCount : 0;
    ByteVector bytes;
    for (size_t i = byteCount; i-- > 0;)
        bytes.push_back(static_cast<unsigned char>(bits >> (8 * i)));
    return bytes;
}

// Blanks, tabs, line ends and "=" anywhere are skipped; anything else outside the alphabet
// fails the whole text.
bool ModelDecode(const std::string& text, ByteVector& out)
{
    std::vector<unsigned> values;
    for (char c : text)
    {
        if (c == '=' || c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r')
            continue;
        const size_t value = kLetters.find(c);
        if (value == std::string::npos)
            return false;
        values.push_back(static_cast<unsigned>(value));
    }
    out.clear();
    for (size_t i = 0; i < values.size(); i += 4)
    {
        const std::vector<unsigned> group(values.begin() + i,
                                          values.begin() + std::min(i + 4, values.size()));
        const ByteVector bytes = ModelGroup(group);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return true;
}

enum class Shape
{
    Letters,        // letters only, any count
    Padded,         // whole quartets with "=" padding
    WithSeparators, // letters with blanks, line ends and "=" anywhere
    WithInvalid     // as above with one character outside the alphabet
};

std::string Generate(std::mt19937& random, Shape shape)
{
    auto pick = [&](const std::string& from)
    { return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)]; };
    const size_t count = std::uniform_int_distribution<size_t>(0, 23)(random);
    std::string text;
    for (size_t i = 0; i < count; ++i)
    {
        text += pick(kLetters);
        if (shape >= Shape::WithSeparators && random() % 4 == 0)
            text += pick(" \t\r\n\v\f=");
    }
    if (shape == Shape::Padded)
        text.append((4 - text.size() % 4) % 4, '=');
    if (shape == Shape::WithInvalid)
    {
        const std::string invalid("-_*!.\x01\x7f\x80\xe4\xff", 10);
        const size_t at = std::uniform_int_distribution<size_t>(0, text.size())(random);
        text.insert(at, 1, pick(invalid));
    }
    return text;
}

// Every text the model reads is decoded alike; the bytes it gives are encoded to a text the model
// reads back to the same bytes.
TEST(Base64Model, DecoderAndEncoderAgreeWithTheModelOnGeneratedTexts)
{
    std::mt19937 random(20261209);
    for (Shape shape : {Shape::Letters, Shape::Padded, Shape::WithSeparators, Shape::WithInvalid})
    {
        for (int i = 0; i < 2000; ++i)
        {
            const std::string text = Generate(random, shape);
            ByteVector expected;
            const bool valid = ModelDecode(text, expected);
            ASSERT_EQ(valid, shape != Shape::WithInvalid) << text;
            ByteVector decoded{0xEE};
            Base64Decode(text, decoded);
            ASSERT_EQ(decoded, valid ? expected : ByteVector{}) << '"' << text << '"';

            std::string encoded;
            ASSERT_EQ(Base64Encode(decoded, encoded), (decoded.size() + 2) / 3 * 4);
            ByteVector modelled;
            ASSERT_TRUE(ModelDecode(encoded, modelled)) << encoded;
            ASSERT_EQ(modelled, decoded) << encoded;
        }
    }
}
} // namespace
