#pragma once

#include "online/ZmrRequester.h"

#include <memory>
#include <string>
#include <vector>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/panel.h>

namespace Corvane
{
class acPKCS11;
}

// End code of the wizard when the identity link was written.
constexpr int IdentityLinkWritten = 4;
// End code after "NEIN, Abbruch" or a failed step.
constexpr int IdentityLinkNotWritten = 1;

// The identity-link wizard: three pages, each "JA" button one step of the requester (register
// search, download, write). Each page is a panel of its own, replaced whole by the next.
class NoPersB : public wxDialog
{
public:
    // The id is not used; the pages set the title.
    NoPersB(wxWindow* parent, int id, const wxString& title);
    ~NoPersB() override;

    virtual void OnSearch(wxCommandEvent& event);
    virtual void OnWrite(wxCommandEvent& event);
    virtual void OnSign(wxCommandEvent& event);
    virtual void OnCancel(wxCommandEvent& event);

    void SetToken(Corvane::acPKCS11* wrapper) { token = wrapper; }
    void SetSlotIndex(int index) { slotIndex = index; }
    // "DE" unless the caller sets "EN".
    void SetLanguageCode(const std::string& code) { languageCode = code; }

    // The page shown now.
    wxPanel* Page() const { return page; }
    const wxString& RegisterText() const { return registerText; }

private:
    enum class TextStyle
    {
        Plain,
        Heading, // centred, bold
        Bold
    };
    struct PageText
    {
        wxString text;
        TextStyle style;
        bool literal; // the register's text: shown as it is, "&" included
    };

    void ShowError(const wxString& message);
    void SetProperties();
    void CreateIntroPage();
    void CreateDataPage();
    void CreateWritePage();
    void BuildPage(const std::vector<PageText>& texts, int yesId, const wxString& yesLabel);
    wxWindow* NewLabel(const PageText& entry);
    // The register's text, its long lines broken for display, scrolling when it is too tall.
    wxWindow* NewRegisterView(const wxString& text);
    void DisablePageButtons();
    std::unique_ptr<ZmrRequester> NewRequester() const;

    std::string languageCode = "DE";
    wxString registerText;
    Corvane::acPKCS11* token = nullptr;
    int slotIndex = 0;
    std::string identityLinkData;
    std::string cardNumber;
    std::unique_ptr<ZmrRequester> requester;
    wxPanel* leftSpacer = nullptr;
    wxButton* searchButton = nullptr;
    wxButton* yesButton = nullptr;
    wxButton* cancelButton = nullptr;
    wxPanel* rightSpacer = nullptr;
    wxPanel* page = nullptr;

    wxDECLARE_EVENT_TABLE();
};
