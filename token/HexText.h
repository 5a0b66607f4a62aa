#pragma once

#include "core/Bytes.h"

#include <string>

// Card commands travel as upper-case hexadecimal text, two digits a byte, no separators.

// Replaces text with the bytes' hexadecimal; returns the text's length.
int BinData2HexStr(const ByteVector& bytes, std::string& text);
// Appends the bytes of the text's digit pairs; returns the output's size, 0 for an empty text or
// one of odd length (nothing appended then). A pair's value ends at its first non-hex digit.
int HexStr2BinData(const std::string& text, ByteVector& bytes);
