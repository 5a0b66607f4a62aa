#include "ui/PleaseWait.h"

#include <wx/font.h>
#include <wx/intl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

PleaseWait::PleaseWait(wxWindow* parent, const wxString& title)
    : wxDialog(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, 0, "dialog")
{
    leftSpacer = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                             wxTAB_TRAVERSAL | wxNO_BORDER, "panel");
    rightSpacer = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                              wxTAB_TRAVERSAL | wxNO_BORDER, "panel");
    SetProperties();
    CreateLayout();
    Hide();
}

void PleaseWait::SetProperties()
{
    SetTitle(_(L"Bitte warten"));
    SetSize(wxSize(220, 100));
}

void PleaseWait::CreateLayout()
{
    auto* sizer = new wxBoxSizer(wxHORIZONTAL);
    sizer->Add(leftSpacer, 1, wxEXPAND, 0);
    auto* label = new wxStaticText(this, wxID_ANY, _(L"Bitte warten..."), wxDefaultPosition,
                                   wxDefaultSize, 0, "staticText");
    label->SetFont(wxFont(14, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL));
    sizer->Add(label, 0, wxALIGN_CENTER, 0);
    sizer->Add(rightSpacer, 1, wxEXPAND, 0);
    SetSizer(sizer);
    Layout();
    Centre(wxBOTH);
}
