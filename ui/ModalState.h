#pragma once

#include <wx/dialog.h>

// Whether a dialog's modal loop still waits for the user: EndModal hides the dialog at once,
// while on Windows IsModal() holds until the loop has returned, and a second EndModal would
// replace the first one's code.
inline bool StillOpen(const wxDialog* dialog)
{
    return dialog->IsModal() && dialog->IsShown();
}
