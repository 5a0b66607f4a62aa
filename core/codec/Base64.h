#pragma once

#include "core/Bytes.h"

#include <cstdint>
#include <string>

class Base64
{
public:
    Base64();
    ~Base64() = default;

    std::string Encode(ByteVector bytes);
    ByteVector Decode(std::string text); // empty on failure

    bool strict = true;
    bool padding = true;
    std::string separator = "\r\n";
    int32_t lineLength = 0;
};

uint32_t Base64Decode(const std::string& text, ByteVector& out);
uint32_t Base64Encode(const ByteVector& bytes, std::string& out);

// Whether the text, white space aside, decodes to exactly the bytes it was made from: only
// alphabet characters, "=" only at its end, and no single character left after the groups of
// four (which the decoder would turn into a byte with its low bits lost).
bool IsWholeBase64(const std::string& text);
