#pragma once

#include <string>

namespace platform
{
// Strict UTF-8 to wide text (UTF-16 where wchar_t has 16 bits): false, output empty, for an
// invalid sequence, an overlong form, a surrogate or a value above U+10FFFF.
bool Utf8ToWide(const std::string& text, std::wstring& out);
} // namespace platform
