#pragma once

#include "core/Bytes.h"
#include "ui/cards/InfoboxEntryList.h"

#include <memory>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/listbox.h>
#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

namespace Corvane
{
class acPKCS11;
}

// The views of a chosen Infobox entry.
constexpr int VIEWS_EMPTY = 0;
constexpr int VIEWS_IDENTITY_LINK = 1;
constexpr int VIEWS_PLAIN = 2;

// The card's Infobox: its entries on the left, the chosen entry's value as content and as
// hexadecimal digits on the right, a button that stores a container entry encrypted or not.
// Where the card holds no readable identity link it offers the identity-link wizard.
class InfoboxBereich : public wxDialog
{
public:
    InfoboxBereich(wxWindow* parent, int cardType);
    ~InfoboxBereich() override;

    // Before the entries are loaded: the card, by the wrapper's slot-list index.
    void Setup(Corvane::acPKCS11* wrapper, int slotIndex);
    // Fills the entries again 2 ms after the dialog came up.
    int ShowModal() override;
    // Everything but the toggle button, which keeps its state.
    void EnableControls(bool enable);
    // True when the entry list holds at least one entry afterwards.
    bool LoadEntries();
    bool ListInfoboxEntries();
    bool ReadDataObject(std::string label, ByteVector& out);

    virtual void OnToggleEncryption(wxCommandEvent& event);
    virtual void OnClose(wxCommandEvent& event);
    virtual void OnEntrySelected(wxCommandEvent& event);
    virtual void OnTimer(wxTimerEvent& event);

    wxListBox* EntryList() const { return entryList; }
    wxNotebook* Notebook() const { return notebook; }
    wxTextCtrl* ContentView() const { return contentView; }
    wxTextCtrl* HexView() const { return hexView; }
    wxTextCtrl* TextView() const { return textView; }
    wxButton* ToggleButton() const { return toggleButton; }
    const wxTimer& Timer() const { return timer; }

private:
    void SetProperties();
    void CreateLayout();
    void ShowEntry(const wxString& text);
    void ShowLegacyEntry(const wxString& text);
    void FillViews(ByteVector bytes, int mode);
    void ShowEntryLines();
    void SetToggleLabel(uint8_t flags);
    void OfferIdentityLinkWizard();
    // Ends the modal run unless something has ended it already.
    void EndDialog(int code);

    wxListBox* entryList = nullptr;
    wxTextCtrl* contentView = nullptr;
    wxPanel* contentPage = nullptr;
    wxTextCtrl* hexView = nullptr;
    wxPanel* hexPage = nullptr;
    wxTextCtrl* textView = nullptr;
    wxPanel* textPage = nullptr;
    wxNotebook* notebook = nullptr;
    wxButton* toggleButton = nullptr;
    wxButton* closeButton = nullptr;
    wxTimer timer;
    Corvane::acPKCS11* token = nullptr;
    int slotIndex = 0;
    std::unique_ptr<InfoboxEntryList> entries;
    wxString selectedEntry;
    int cardType = 0;

    wxDECLARE_EVENT_TABLE();
};
