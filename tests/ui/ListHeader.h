#pragma once

#include <wx/font.h>
#include <wx/gdicmn.h>
#include <wx/listctrl.h>

namespace GuiTest
{
// Where the column headings of a list in report view stand on the screen and the font they are
// drawn in; false when the list shows none. GTK's heading row is a window of the toolkit's, the
// Windows one a native control of the list's.
bool FindListHeader(wxListCtrl* list, wxRect& screenPlace, wxFont& font);
} // namespace GuiTest
