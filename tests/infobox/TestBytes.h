#pragma once

#include "core/Bytes.h"

#include <cctype>
#include <string>

// Bytes from hexadecimal text; blanks are ignored.
inline ByteVector Hex(const std::string& text)
{
    ByteVector bytes;
    std::string digits;
    for (char c : text)
        if (std::isxdigit(static_cast<unsigned char>(c)))
            digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes.push_back(static_cast<unsigned char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

inline ByteVector Text(const std::string& text)
{
    return ByteVector(text.begin(), text.end());
}

inline ByteVector Join(std::initializer_list<ByteVector> parts)
{
    ByteVector joined;
    for (const ByteVector& part : parts)
        joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

// One DER element with the shortest length form (short, 81 xx or 82 xx xx).
inline ByteVector Tlv(unsigned char tag, const ByteVector& content)
{
    const size_t n = content.size();
    ByteVector element{tag};
    if (n >= 256)
        element.insert(element.end(), {0x82, static_cast<unsigned char>(n >> 8),
                                       static_cast<unsigned char>(n & 0xFF)});
    else if (n >= 128)
        element.insert(element.end(), {0x81, static_cast<unsigned char>(n)});
    else
        element.push_back(static_cast<unsigned char>(n));
    element.insert(element.end(), content.begin(), content.end());
    return element;
}
