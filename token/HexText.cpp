#include "token/HexText.h"

#include "core/codec/ByteCodec.h"

#include <cctype>
#include <cstdlib>

namespace
{
// "1G" reads as 0x01 and "G1" as 0x00: the number ends at the first non-digit.
unsigned char PairValue(char high, char low)
{
    char pair[3] = {high, low, '\0'};
    size_t digits = 0;
    while (digits < 2 && std::isxdigit(static_cast<unsigned char>(pair[digits])))
        ++digits;
    pair[digits] = '\0';
    return static_cast<unsigned char>(std::strtoul(pair, nullptr, 16));
}
} // namespace

int BinData2HexStr(const ByteVector& bytes, std::string& text)
{
    text = BytesToHex(bytes, HEX_UPPER | HEX_NO_BLANKS);
    return static_cast<int>(text.size());
}

int HexStr2BinData(const std::string& text, ByteVector& bytes)
{
    if (text.empty() || text.size() % 2 != 0)
        return 0;
    for (size_t i = 0; i < text.size(); i += 2)
        bytes.push_back(PairValue(text[i], text[i + 1]));
    return static_cast<int>(bytes.size());
}
