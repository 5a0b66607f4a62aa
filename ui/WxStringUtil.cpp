#include "ui/WxStringUtil.h"

#include "platform/Cp1252.h"

std::string WxStringToStdString(wxString text)
{
    // The whole text must convert, also what follows a NUL.
    std::string narrow;
    if (!platform::WideToCp1252(text.ToStdWstring(), narrow))
        return std::string();
    return narrow.substr(0, narrow.find('\0'));
}
