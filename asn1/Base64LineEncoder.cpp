#include "asn1/Base64LineEncoder.h"

#include <algorithm>

namespace
{

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char lineBreak[] = "\r\n";

} // namespace

std::string Base64LineEncoder::Encode(const ByteVector& bytes) const
{
    std::string text;
    const size_t groupsPerLine = GroupsPerLine();
    size_t groupsInLine = 0;
    for (size_t offset = 0; offset < bytes.size(); offset += 3)
    {
        EncodeGroup(bytes.data() + offset, std::min<size_t>(3, bytes.size() - offset), text);
        if (groupsPerLine != 0 && ++groupsInLine == groupsPerLine)
        {
            text += lineBreak;
            groupsInLine = 0;
        }
    }
    return text;
}

size_t Base64LineEncoder::GroupsPerLine() const
{
    switch (lineMode)
    {
    case 0:
        return 0;
    case 1:
        return 16;
    default:
        return 19;
    }
}

void Base64LineEncoder::EncodeGroup(const unsigned char* group, size_t count, std::string& out)
{
    const unsigned value =
        (group[0] << 16) | (count > 1 ? group[1] << 8 : 0) | (count > 2 ? group[2] : 0);
    out += alphabet[(value >> 18) & 0x3F];
    out += alphabet[(value >> 12) & 0x3F];
    out += count > 1 ? alphabet[(value >> 6) & 0x3F] : '=';
    out += count > 2 ? alphabet[value & 0x3F] : '=';
}
