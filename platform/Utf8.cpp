#include "platform/Utf8.h"

#include <utility>

namespace platform
{
namespace
{
// Length of the UTF-8 sequence a lead byte starts and the bits it carries; 0 for a byte that
// starts none.
size_t SequenceLength(unsigned char lead, char32_t& codePoint)
{
    if (lead < 0x80)
    {
        codePoint = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF)
    {
        codePoint = lead & 0x1F;
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF)
    {
        codePoint = lead & 0x0F;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4)
    {
        codePoint = lead & 0x07;
        return 4;
    }
    return 0;
}

void AppendWide(char32_t codePoint, std::wstring& out)
{
    if (sizeof(wchar_t) == 2 && codePoint > 0xFFFF)
    {
        codePoint -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (codePoint >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF)));
    }
    else
        out.push_back(static_cast<wchar_t>(codePoint));
}

// The code point of the sequence at text[at], whose length it gives; 0 when none is there.
size_t DecodeOne(const std::string& text, size_t at, char32_t& codePoint)
{
    static const char32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    const size_t length = SequenceLength(static_cast<unsigned char>(text[at]), codePoint);
    if (length == 0 || at + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k)
    {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        codePoint = codePoint << 6 | (next & 0x3F);
    }
    const bool valid = codePoint >= kSmallest[length] && codePoint <= 0x10FFFF &&
                       (codePoint < 0xD800 || codePoint > 0xDFFF);
    return valid ? length : 0;
}
} // namespace

bool Utf8ToWide(const std::string& text, std::wstring& out)
{
    out.clear();
    std::wstring wide;
    for (size_t at = 0; at < text.size();)
    {
        char32_t codePoint = 0;
        const size_t length = DecodeOne(text, at, codePoint);
        if (length == 0)
            return false;
        AppendWide(codePoint, wide);
        at += length;
    }
    out = std::move(wide);
    return true;
}

} // namespace platform
