#include "platform/Cp1252.h"

#include <type_traits>
#include <utility>

namespace platform
{
namespace
{
// Code points of the bytes 0x80 to 0x9F. The five bytes the code page leaves undefined map to the
// control characters of the same number, as Windows maps them, so every byte decodes.
constexpr char32_t kHighControlRange[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t ByteToCodePoint(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return kHighControlRange[byte - 0x80];
    return byte;
}

bool CodePointToByte(char32_t codePoint, unsigned char& byte)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
    {
        byte = static_cast<unsigned char>(codePoint);
        return true;
    }
    for (unsigned index = 0; index < 32; ++index)
    {
        if (kHighControlRange[index] == codePoint)
        {
            byte = static_cast<unsigned char>(0x80 + index);
            return true;
        }
    }
    return false;
}
} // namespace

bool WideToCp1252(const std::wstring& wide, std::string& out)
{
    out.clear();
    std::string result;
    result.reserve(wide.size());
    for (wchar_t character : wide)
    {
        unsigned char byte = 0;
        // wchar_t is signed on some systems; the unsigned form keeps large values large.
        const auto codePoint =
            static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(character));
        if (!CodePointToByte(codePoint, byte))
            return false;
        result.push_back(static_cast<char>(byte));
    }
    out = std::move(result);
    return true;
}

bool Cp1252ToWide(const std::string& narrow, std::wstring& out)
{
    out.clear();
    out.reserve(narrow.size());
    for (char character : narrow)
        out.push_back(static_cast<wchar_t>(ByteToCodePoint(static_cast<unsigned char>(character))));
    return true;
}
} // namespace platform
