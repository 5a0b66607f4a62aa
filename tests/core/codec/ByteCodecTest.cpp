#include "core/codec/ByteCodec.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace
{
struct HexCase
{
    ByteVector bytes;
    uint16_t flags;
    std::string expected;
};

TEST(BytesToHex, FlagsChooseCaseAndBlanks)
{
    const HexCase cases[] = {
        {{0x0A, 0xFF}, 3, "0AFF"},
        {{0x0A, 0xFF}, 1, "0A FF"},
        {{0x0A, 0xFF}, 0, "0a ff"},
        {{0x0A, 0xFF}, 2, "0aff"},
        {{}, 3, ""},
        {{}, 0, ""},
        {{0x00}, 0, "00"},
        {{0x01, 0x23, 0x45}, 1, "01 23 45"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BytesToHex(c.bytes, c.flags), c.expected) << c.expected;
}

TEST(UrlEncode, KeepsUnreservedAndEncodesTheRest)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"AZaz09-._~", "AZaz09-._~"},
        {"a b", "a%20b"},
        {"a/b", "a%2Fb"},
        {"\xe4", "%E4"},
        {"+=&?%", "%2B%3D%26%3F%25"},
        {"\x7f\x80\xff", "%7F%80%FF"},
        {std::string("ab\0cd", 5), "ab"},
        {std::string("\0x", 2), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UrlEncode(c.first), c.second) << c.first;
}

TEST(ByteHelpers, Constructors)
{
    const unsigned char buffer[] = {1, 2, 3, 4};
    EXPECT_EQ(BytesFromBuffer(buffer, 4), (ByteVector{1, 2, 3, 4}));
    EXPECT_EQ(BytesFromBuffer(buffer, 0), ByteVector{});
    EXPECT_EQ(BytesFromBuffer(nullptr, 4), ByteVector{});
    EXPECT_EQ(ZeroBytes(3), (ByteVector{0, 0, 0}));
    EXPECT_TRUE(ZeroBytes(0).empty());
}

struct SubBytesCase
{
    size_t offset;
    size_t length;
    ByteVector expected;
};

TEST(SubBytes, ClipsAtTheEndWithoutWrapping)
{
    const ByteVector bytes{0, 1, 2, 3, 4};
    const SubBytesCase cases[] = {
        {0, 5, {0, 1, 2, 3, 4}},
        {1, 2, {1, 2}},
        {3, 10, {3, 4}},
        {4, 1, {4}},
        {2, 0, {}},
        {5, 1, {}},
        {6, 0, {}},
        {2, SIZE_MAX, {2, 3, 4}},
        {SIZE_MAX, 2, {}},
        {SIZE_MAX - 1, SIZE_MAX, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SubBytes(bytes, c.offset, c.length), c.expected) << c.offset << "+" << c.length;
    EXPECT_TRUE(SubBytes({}, 0, 3).empty());
}
} // namespace
