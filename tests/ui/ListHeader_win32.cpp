#include "tests/ui/ListHeader.h"

#include <cstdlib>
#include <wx/fontutil.h>

#include <windows.h>

#include <commctrl.h>

namespace GuiTest
{
bool FindListHeader(wxListCtrl* list, wxRect& screenPlace, wxFont& font)
{
    const HWND header = ListView_GetHeader(static_cast<HWND>(list->GetHWND()));
    RECT rect;
    if (header == nullptr || !IsWindowVisible(header) || !GetWindowRect(header, &rect))
        return false;
    screenPlace = wxRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    // A header without a font of its own draws in the system's font.
    const auto headerFont = reinterpret_cast<HFONT>(SendMessageW(header, WM_GETFONT, 0, 0));
    wxNativeFontInfo info;
    if (GetObjectW(headerFont != nullptr ? headerFont : GetStockObject(SYSTEM_FONT), sizeof info.lf,
                   &info.lf) == 0)
        return false;
    font = wxFont(info);
    // The description alone gives the font no size: the heading's height is in pixels.
    font.SetPixelSize(wxSize(0, std::abs(info.lf.lfHeight)));
    return true;
}
} // namespace GuiTest
