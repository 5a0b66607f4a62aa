#include "ui/WxStringUtil.h"

#include "platform/Cp1252.h"

std::string WxStringToStdString(wxString text)
{
    std::wstring wide = text.ToStdWstring();
    wide = wide.substr(0, wide.find(L'\0'));
    std::string narrow;
    if (!platform::WideToCp1252(wide, narrow))
        return std::string();
    return narrow;
}
