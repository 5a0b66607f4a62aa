#include "core/codec/Base64.h"
#include "core/codec/ByteCodec.h"
#include "fuzz/FuzzCheck.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

namespace
{
const std::string kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void CheckBase64RoundTrips(const ByteVector& bytes)
{
    std::string text;
    FUZZ_CHECK(Base64Encode(bytes, text) == (bytes.size() + 2) / 3 * 4);
    ByteVector back;
    FUZZ_CHECK(Base64Decode(text, back) == bytes.size());
    FUZZ_CHECK(back == bytes);

    Base64 wrapped;
    wrapped.lineLength = 76;
    FUZZ_CHECK(Base64().Decode(wrapped.Encode(bytes)) == bytes);
    Base64 unpadded;
    unpadded.padding = false;
    FUZZ_CHECK(unpadded.Decode(unpadded.Encode(bytes)) == bytes);
}

// The alphabet letters of a text in order; false when it holds a character that makes decoding
// fail (blanks, line ends and "=" are skipped).
bool AlphabetLetters(const std::string& text, std::string& letters)
{
    for (char c : text)
    {
        if (c == '=' || c == ' ' || (c >= '\t' && c <= '\r'))
            continue;
        if (c == '\0' || kLetters.find(c) == std::string::npos)
            return false;
        letters += c;
    }
    return true;
}

// Each group of four letters decodes on its own: the last, short group gives the same bytes
// alone as at the end of the whole text.
void CheckBase64Decoding(const std::string& text)
{
    const ByteVector decoded = Base64().Decode(text);
    std::string letters;
    if (!AlphabetLetters(text, letters))
    {
        FUZZ_CHECK(decoded.empty());
        return;
    }
    static const size_t kTailBytes[] = {0, 1, 1, 2};
    const size_t tail = kTailBytes[letters.size() % 4];
    FUZZ_CHECK(decoded.size() == letters.size() / 4 * 3 + tail);
    const ByteVector last = Base64().Decode(letters.substr(letters.size() / 4 * 4));
    FUZZ_CHECK(last.size() == tail);
    FUZZ_CHECK(ByteVector(decoded.end() - static_cast<std::ptrdiff_t>(tail), decoded.end()) ==
               last);
    std::string again;
    Base64Encode(decoded, again);
    FUZZ_CHECK(Base64().Decode(again) == decoded);
}

unsigned HexValue(char c)
{
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

void CheckHex(const ByteVector& bytes)
{
    for (uint16_t flags = 0; flags < 4; ++flags)
    {
        const std::string hex = BytesToHex(bytes, flags);
        const size_t step = (flags & HEX_NO_BLANKS) ? 2 : 3;
        FUZZ_CHECK(hex.size() == (bytes.empty() ? 0 : bytes.size() * step - (step - 2)));
        for (size_t i = 0; i < bytes.size(); ++i)
            FUZZ_CHECK(HexValue(hex[i * step]) * 16 + HexValue(hex[i * step + 1]) == bytes[i]);
    }
}

void CheckUrlEncoding(const std::string& text)
{
    const std::string encoded = UrlEncode(text);
    std::string decoded;
    for (size_t i = 0; i < encoded.size(); ++i)
    {
        if (encoded[i] != '%')
        {
            FUZZ_CHECK(std::isalnum(static_cast<unsigned char>(encoded[i])) ||
                       std::string("-._~").find(encoded[i]) != std::string::npos);
            decoded += encoded[i];
            continue;
        }
        FUZZ_CHECK(i + 2 < encoded.size());
        decoded += static_cast<char>(HexValue(encoded[i + 1]) * 16 + HexValue(encoded[i + 2]));
        i += 2;
    }
    FUZZ_CHECK(decoded == std::string(text.c_str())); // up to the first zero byte
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ByteVector bytes(data, data + size);
    const std::string text(bytes.begin(), bytes.end());
    CheckBase64RoundTrips(bytes);
    CheckBase64Decoding(text);
    CheckHex(bytes);
    CheckUrlEncoding(text);
    return 0;
}
