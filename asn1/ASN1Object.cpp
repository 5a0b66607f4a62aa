#include "asn1/ASN1Object.h"

#include <algorithm>
#include <limits>

namespace
{

bool HasValidFirstArcs(const std::vector<uint32_t>& arcs)
{
    return arcs.size() >= 2 && arcs[0] <= 2 && arcs[1] <= 39;
}

// A decimal arc; false for an empty part, a non-digit or a value beyond 32 bits.
bool ReadArc(std::string_view part, uint32_t& arc)
{
    if (part.empty())
        return false;
    uint64_t value = 0;
    for (const char c : part)
    {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > std::numeric_limits<uint32_t>::max())
            return false;
    }
    arc = static_cast<uint32_t>(value);
    return true;
}

void AppendBase128(ByteVector& out, uint32_t value)
{
    unsigned char groups[5];
    size_t count = 0;
    do
    {
        groups[count++] = static_cast<unsigned char>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (count > 0)
    {
        --count;
        out.push_back(static_cast<unsigned char>(groups[count] | (count > 0 ? 0x80 : 0x00)));
    }
}

} // namespace

std::vector<uint32_t> ParseOIDText(std::string_view text)
{
    std::vector<uint32_t> arcs;
    size_t start = 0;
    while (start <= text.size())
    {
        const size_t dot = std::min(text.find('.', start), text.size());
        uint32_t arc = 0;
        if (!ReadArc(text.substr(start, dot - start), arc))
            return {};
        arcs.push_back(arc);
        start = dot + 1;
    }
    if (!HasValidFirstArcs(arcs))
        return {};
    return arcs;
}

namespace Corvane
{

ASN1Object::ASN1Object(uint32_t tagClass, uint32_t constructed, uint8_t tagNumber)
    : tagClass(tagClass), constructed(constructed), tagNumber(tagNumber),
      identifier(static_cast<uint8_t>(tagClass * 64 + constructed * 32 + tagNumber))
{
}

ASN1Object::ASN1Object(const ByteVector& der) : ASN1Object(0, 0, 5)
{
    if (der.size() < 2)
        return;
    size_t headerLength = 2;
    if ((der[1] & 0x80) != 0)
    {
        const size_t lengthOctets = der[1] & 0x7F;
        if (der.size() < lengthOctets + 2)
            return;
        headerLength = lengthOctets + 2;
    }
    identifier = der[0];
    tagClass = der[0] >> 6;
    constructed = (der[0] >> 5) & 1;
    tagNumber = der[0] & 0x1F;
    content.assign(der.begin() + static_cast<std::ptrdiff_t>(headerLength), der.end());
}

void ASN1Object::SetContent(const ByteVector& bytes)
{
    content = bytes;
}

void ASN1Object::AddChild(const ASN1Object& child)
{
    const ByteVector encoding = child.Encode();
    content.insert(content.end(), encoding.begin(), encoding.end());
}

void ASN1Object::SetInteger(uint32_t value)
{
    ByteVector lowestFirst;
    do
    {
        lowestFirst.push_back(static_cast<unsigned char>(value & 0xFF));
        value >>= 8;
    } while (value != 0);
    if ((lowestFirst.back() & 0x80) != 0)
        lowestFirst.push_back(0x00);
    content.insert(content.end(), lowestFirst.rbegin(), lowestFirst.rend());
}

void ASN1Object::SetOID(std::string_view text)
{
    SetOIDArcs(ParseOIDText(text));
}

void ASN1Object::SetOIDArcs(const std::vector<uint32_t>& arcs)
{
    content.clear();
    if (!HasValidFirstArcs(arcs))
        return;
    content.push_back(static_cast<unsigned char>(arcs[0] * 40 + arcs[1]));
    for (size_t i = 2; i < arcs.size(); ++i)
        AppendBase128(content, arcs[i]);
}

ByteVector ASN1Object::EncodeLength() const
{
    size_t length = content.size();
    if (length < 128)
        return {static_cast<unsigned char>(length)};
    ByteVector octets;
    for (; length != 0; length >>= 8)
        octets.insert(octets.begin(), static_cast<unsigned char>(length & 0xFF));
    octets.insert(octets.begin(), static_cast<unsigned char>(0x80 + octets.size()));
    return octets;
}

ByteVector ASN1Object::Encode() const
{
    ByteVector encoding{identifier};
    const ByteVector length = EncodeLength();
    encoding.insert(encoding.end(), length.begin(), length.end());
    encoding.insert(encoding.end(), content.begin(), content.end());
    return encoding;
}

} // namespace Corvane
