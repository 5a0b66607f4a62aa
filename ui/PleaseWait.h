#pragma once

#include <wx/dialog.h>
#include <wx/panel.h>

// The modeless box shown while the card list is read or certificates are renewed.
class PleaseWait : public wxDialog
{
public:
    PleaseWait(wxWindow* parent, const wxString& title);
    ~PleaseWait() override = default;

private:
    void SetProperties();
    void CreateLayout();

    wxPanel* leftSpacer = nullptr;
    wxPanel* rightSpacer = nullptr;
};
