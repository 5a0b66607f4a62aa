#include "core/codec/ByteCodec.h"

namespace
{
bool IsUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

void AppendHexByte(std::string& out, unsigned char byte, const char* digits)
{
    out += digits[byte >> 4];
    out += digits[byte & 15];
}
} // namespace

std::string BytesToHex(const ByteVector& bytes, uint16_t flags)
{
    const char* digits = (flags & HEX_UPPER) ? "0123456789ABCDEF" : "0123456789abcdef";
    const bool blanks = !(flags & HEX_NO_BLANKS);
    std::string text;
    text.reserve(bytes.size() * 3);
    for (size_t i = 0; i < bytes.size(); ++i)
    {
        if (i > 0 && blanks)
            text += ' ';
        AppendHexByte(text, bytes[i], digits);
    }
    return text;
}

std::string UrlEncode(const std::string& text)
{
    std::string encoded;
    // The text counts up to its first zero byte, as a C string would.
    for (char c : std::string(text.c_str()))
    {
        const auto byte = static_cast<unsigned char>(c);
        if (IsUnreserved(byte))
        {
            encoded += c;
            continue;
        }
        encoded += '%';
        AppendHexByte(encoded, byte, "0123456789ABCDEF");
    }
    return encoded;
}

ByteVector CopyBytes(ByteVector bytes)
{
    return bytes;
}

ByteVector BytesFromBuffer(const unsigned char* data, uint32_t length)
{
    if (data == nullptr)
        return {};
    return ByteVector(data, data + length);
}

ByteVector ZeroBytes(unsigned count)
{
    return ByteVector(count, 0);
}

ByteVector SubBytes(const ByteVector& bytes, size_t offset, size_t length)
{
    if (offset >= bytes.size())
        return {};
    // Compared against what remains, so offset + length never has to be formed.
    const size_t available = bytes.size() - offset;
    const size_t count = length < available ? length : available;
    return ByteVector(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                      bytes.begin() + static_cast<std::ptrdiff_t>(offset + count));
}
