#include "tests/ui/ListHeader.h"

namespace GuiTest
{
bool FindListHeader(wxListCtrl* list, wxRect& screenPlace, wxFont& font)
{
    for (wxWindow* child : list->GetChildren())
    {
        if (child->GetPosition().y == 0 && child->GetSize().y < list->GetSize().y / 2)
        {
            screenPlace = child->GetScreenRect();
            font = child->GetFont();
            return true;
        }
    }
    return false;
}
} // namespace GuiTest
