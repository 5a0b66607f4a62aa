#pragma once

#include "core/Bytes.h"

#include <cstdint>
#include <string>

enum HexFlags : uint16_t
{
    HEX_UPPER = 1,    // upper-case digits
    HEX_NO_BLANKS = 2 // no blank between two bytes
};

std::string BytesToHex(const ByteVector& bytes, uint16_t flags);
std::string UrlEncode(const std::string& text);

ByteVector CopyBytes(ByteVector bytes);
ByteVector BytesFromBuffer(const unsigned char* data, uint32_t length);
ByteVector ZeroBytes(unsigned count);
ByteVector SubBytes(const ByteVector& bytes, size_t offset, size_t length);
