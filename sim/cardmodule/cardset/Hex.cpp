#include "sim/cardmodule/cardset/Hex.h"

namespace QuendrySim
{
namespace
{
int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
} // namespace

std::string ToHex(const unsigned char* data, size_t length)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(length * 2);
    for (size_t i = 0; i < length; ++i)
    {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 0x0F];
    }
    return text;
}

std::string ToHex(const ByteVector& bytes)
{
    return ToHex(bytes.data(), bytes.size());
}

bool FromHex(const std::string& text, ByteVector& out)
{
    ByteVector bytes;
    int high = -1;
    for (char c : text)
    {
        if (c == ' ')
            continue;
        int value = DigitValue(c);
        if (value < 0)
            return false;
        if (high < 0)
        {
            high = value;
            continue;
        }
        bytes.push_back(static_cast<unsigned char>(high << 4 | value));
        high = -1;
    }
    if (high >= 0)
        return false;
    out = std::move(bytes);
    return true;
}
} // namespace QuendrySim
