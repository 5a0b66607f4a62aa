#include "core/codec/Base64.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace
{
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
constexpr uint16_t kInvalid = 255;
constexpr uint16_t kPad = 64;

// Indexed by the unsigned byte value; bytes from 128 up have no entry and are invalid.
constexpr std::array<uint16_t, 128> MakeDecodeTable()
{
    std::array<uint16_t, 128> table{};
    for (auto& entry : table)
        entry = kInvalid;
    for (uint16_t value = 0; value < 65; ++value)
        table[static_cast<unsigned char>(kAlphabet[value])] = value;
    return table;
}
constexpr std::array<uint16_t, 128> kDecodeTable = MakeDecodeTable();

uint16_t DecodeValue(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < kDecodeTable.size() ? kDecodeTable[byte] : kInvalid;
}

std::string RemoveWhiteSpace(const std::string& text)
{
    std::string result;
    result.reserve(text.size());
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)))
            result += c;
    return result;
}

// Appends the bytes of a group of up to four six-bit values: a full group gives three, a
// group of three gives two, a group of two or one gives one. Only the group's own values
// count; the slots beyond them still hold the previous group.
void FlushGroup(const std::array<uint16_t, 4>& group, size_t count, ByteVector& out)
{
    if (count == 0)
        return;
    const uint16_t second = count >= 2 ? group[1] : 0;
    out.push_back(static_cast<unsigned char>((group[0] << 2) | (second >> 4)));
    if (count >= 3)
        out.push_back(static_cast<unsigned char>(((group[1] & 15) << 4) | (group[2] >> 2)));
    if (count == 4)
        out.push_back(static_cast<unsigned char>(((group[2] & 3) << 6) | group[3]));
}
} // namespace

Base64::Base64() = default;

std::string Base64::Encode(ByteVector bytes)
{
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    int32_t lineCharacters = 0;
    for (size_t i = 0; i < bytes.size(); i += 3)
    {
        const size_t groupSize = std::min<size_t>(3, bytes.size() - i);
        const unsigned b0 = bytes[i];
        const unsigned b1 = groupSize > 1 ? bytes[i + 1] : 0;
        const unsigned b2 = groupSize > 2 ? bytes[i + 2] : 0;
        text += kAlphabet[b0 >> 2];
        text += kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        text += groupSize > 1 ? kAlphabet[((b1 & 15) << 2) | (b2 >> 6)] : '=';
        text += groupSize > 2 ? kAlphabet[b2 & 63] : '=';
        if (lineLength > 0)
        {
            lineCharacters += 4;
            // A length that is not a multiple of four breaks after the group that reaches it.
            if (lineCharacters >= lineLength)
            {
                text += separator;
                lineCharacters = 0;
            }
        }
    }
    if (!padding)
    {
        while (!text.empty() &&
               (text.back() == '=' || separator.find(text.back()) != std::string::npos))
            text.pop_back();
    }
    return text;
}

ByteVector Base64::Decode(std::string text)
{
    ByteVector out;
    std::array<uint16_t, 4> group{};
    size_t count = 0;
    for (char c : RemoveWhiteSpace(text))
    {
        if (separator.find(c) != std::string::npos)
            continue;
        const uint16_t value = DecodeValue(c);
        if (value == kInvalid)
        {
            if (strict)
                return {};
            continue; // lenient decoding passes over what is not Base64
        }
        if (value == kPad)
        {
            if (!padding && strict)
                return {};
            continue;
        }
        group[count++] = value;
        if (count == 4)
        {
            FlushGroup(group, count, out);
            count = 0;
        }
    }
    FlushGroup(group, count, out);
    return out;
}

uint32_t Base64Decode(const std::string& text, ByteVector& out)
{
    out = Base64().Decode(text);
    return static_cast<uint32_t>(out.size());
}

uint32_t Base64Encode(const ByteVector& bytes, std::string& out)
{
    Base64 codec;
    codec.lineLength = 0;
    out = codec.Encode(bytes);
    return static_cast<uint32_t>(out.size());
}

bool IsWholeBase64(const std::string& text)
{
    size_t characters = 0;
    bool padded = false;
    for (char c : RemoveWhiteSpace(text))
    {
        const uint16_t value = DecodeValue(c);
        if (value == kInvalid || (padded && value != kPad))
            return false;
        padded = value == kPad;
        characters += padded ? 0 : 1;
    }
    return characters % 4 != 1;
}
