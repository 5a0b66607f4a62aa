#include "sim/cardmodule/cardset/Hex.h"

#include <openssl/crypto.h>

namespace QuendrySim
{
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
        int value = OPENSSL_hexchar2int(static_cast<unsigned char>(c));
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
