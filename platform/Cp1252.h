#pragma once

#include <string>

namespace platform
{
// Conversions between wide text and Windows-1252, the "ANSI code page" on every system, so signed
// texts have the same bytes everywhere. False (output empty) when a character has no mapping.
bool WideToCp1252(const std::wstring& wide, std::string& out);
bool Cp1252ToWide(const std::string& narrow, std::wstring& out);
} // namespace platform
