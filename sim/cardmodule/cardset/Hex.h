#pragma once

#include "core/Bytes.h"

#include <string>

namespace QuendrySim
{
std::string ToHex(const unsigned char* data, size_t length);
std::string ToHex(const ByteVector& bytes);
// Upper and lower case; blanks are skipped. False for an odd count of digits or another character.
bool FromHex(const std::string& text, ByteVector& out);
} // namespace QuendrySim
