#pragma once

#include <string>
#include <wx/string.h>

// The GUI's text as Windows-1252 bytes up to its first NUL, the code page the program uses on
// every system; empty when a character has no Windows-1252 form.
std::string WxStringToStdString(wxString text);
