#include "ui/InfoboxBereich.h"

#include "core/codec/ByteCodec.h"
#include "infobox/Personenbindung.h"
#include "platform/Cp1252.h"
#include "ui/ModalState.h"
#include "ui/NoPersB.h"
#include "ui/StatusLine.h"
#include "ui/WindowIds.h"
#include "ui/WxStringUtil.h"

#include "ui/art/icon.xpm"

#include <algorithm>
#include <cstdlib>
#include <wx/fontenum.h>
#include <wx/icon.h>
#include <wx/intl.h>
#include <wx/sizer.h>

namespace
{
const wchar_t* const HexFontFace = L"Courier New";

wxPanel* NewPage(wxNotebook* notebook)
{
    return new wxPanel(notebook, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                       wxTAB_TRAVERSAL | wxNO_BORDER);
}

wxTextCtrl* NewView(wxWindow* page, long extraStyle)
{
    return new wxTextCtrl(page, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                          wxTE_MULTILINE | wxTE_READONLY | wxTE_CHARWRAP | extraStyle);
}

// "Courier New" where it is installed, else the system's fixed-pitch font.
wxFont HexViewFont()
{
    wxFontInfo font(10);
    font.Family(wxFONTFAMILY_TELETYPE).Style(wxFONTSTYLE_NORMAL).Weight(wxFONTWEIGHT_NORMAL);
    if (wxFontEnumerator::IsValidFacename(HexFontFace))
        font.FaceName(HexFontFace);
    return wxFont(font);
}

// The bytes as Windows-1252 text up to the first zero byte.
wxString AnsiText(const ByteVector& bytes)
{
    const auto end = std::find(bytes.begin(), bytes.end(), 0);
    std::wstring wide;
    platform::Cp1252ToWide(std::string(bytes.begin(), end), wide);
    return wxString(wide);
}

wxString IdentityLinkSummary(const ByteVector& bytes)
{
    // A record the parse stops in early still shows every label.
    Personenbindung record;
    record.parse(bytes);
    const struct
    {
        const wchar_t* label;
        const std::string& value;
        const char* end;
    } lines[] = {{wxTRANSLATE(L"Vorname: "), record.givenName, "\r\n"},
                 {wxTRANSLATE(L"Nachname: "), record.familyName, "\r\n"},
                 {wxTRANSLATE(L"Geburtsdatum: "), record.dateOfBirth, "\r\n\r\n"},
                 {wxTRANSLATE(L"IssuerTemplate: "), record.issuerTemplate, "\r\n"},
                 {wxTRANSLATE(L"IssueInstant: "), record.issueInstant, "\r\n"}};
    wxString summary;
    for (const auto& line : lines)
        summary << wxGetTranslation(line.label) << wxString::FromUTF8(line.value) << line.end;
    return summary;
}

// The tag a container line begins with: two hexadecimal digits and a blank.
int TagOfLine(const wxString& line)
{
    const std::string digits = WxStringToStdString(line.Left(3));
    return static_cast<int>(std::strtol(digits.c_str(), nullptr, 16));
}

bool IsECard(int cardType)
{
    return cardType >= 3 && cardType <= 6;
}
} // namespace

InfoboxBereich::InfoboxBereich(wxWindow* parent, int type)
    : wxDialog(parent, wxID_ANY, _(L"Infoboxbereich"), wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE),
      timer(this, ID_INFOBOX_TIMER), cardType(type)
{
    notebook = new wxNotebook(this, wxID_ANY);
    contentPage = NewPage(notebook);
    hexPage = NewPage(notebook);
    textPage = NewPage(notebook);
    contentView = NewView(contentPage, wxTE_PROCESS_TAB | wxTE_PROCESS_ENTER);
    hexView = NewView(hexPage, 0);
    textView = NewView(textPage, 0);
    entryList = new wxListBox(this, ID_INFOBOX_ENTRY_LIST, wxDefaultPosition, wxDefaultSize, 0,
                              nullptr, wxLB_SINGLE);
    toggleButton = new wxButton(this, ID_INFOBOX_TOGGLE, _(L"verschlüsselt speichern"));
    toggleButton->Disable(); // until an entry's value has been read
    closeButton = new wxButton(this, ID_INFOBOX_CLOSE, _(L"Schließen"));
    SetProperties();
    CreateLayout();
    SetIcon(wxIcon(icon_xpm));
    // The text view is filled like the others but never shown.
    notebook->RemovePage(2);
    textPage->Hide();
}

InfoboxBereich::~InfoboxBereich()
{
    timer.Stop();
    // Taken out of the notebook, the page is destroyed here rather than left to it.
    textPage->Destroy();
}

void InfoboxBereich::SetProperties()
{
    SetTitle(_(L"Infoboxbereich"));
    SetSize(wxSize(600, 400));
    hexView->SetFont(HexViewFont());
}

void InfoboxBereich::CreateLayout()
{
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(notebook, 1, wxEXPAND | wxALL, 3);
    column->Add(toggleButton, 0, wxALL, 6);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(entryList, 1, wxEXPAND | wxALL, 3);
    row->Add(column, 3, wxEXPAND, 0);
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(row, 1, wxEXPAND, 0);
    top->Add(closeButton, 0, wxALIGN_CENTER_HORIZONTAL | wxALL, 12);
    for (auto [page, view] : {std::pair(contentPage, contentView), std::pair(hexPage, hexView),
                              std::pair(textPage, textView)})
    {
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(view, 1, wxEXPAND | wxALL, 3);
        page->SetSizer(sizer);
    }
    notebook->AddPage(contentPage, _(L"Inhalt"));
    notebook->AddPage(hexPage, _(L"Binary"));
    notebook->AddPage(textPage, _(L"Text"));
    SetSizer(top);
    Layout();
    CentreOnParent();
}

void InfoboxBereich::Setup(Corvane::acPKCS11* wrapper, int index)
{
    token = wrapper;
    slotIndex = index;
    entries = wrapper ? std::make_unique<InfoboxEntryList>(*wrapper, index, cardType) : nullptr;
}

int InfoboxBereich::ShowModal()
{
    timer.StartOnce(2);
    return wxDialog::ShowModal();
}

void InfoboxBereich::EnableControls(bool enable)
{
    wxWindow* const windows[] = {entryList,   notebook, contentPage, hexPage,    textPage,
                                 contentView, hexView,  textView,    closeButton};
    for (wxWindow* window : windows)
        window->Enable(enable);
    Enable(enable);
}

bool InfoboxBereich::LoadEntries()
{
    if (entries)
        entries->LoadEntries();
    ShowEntryLines();
    return !entryList->IsEmpty();
}

bool InfoboxBereich::ListInfoboxEntries()
{
    const bool listed = entries && entries->ListInfoboxEntries();
    ShowEntryLines();
    return listed;
}

// A fresh list: nothing chosen, so choosing any entry reads it.
void InfoboxBereich::ShowEntryLines()
{
    entryList->Clear();
    if (entries)
    {
        for (const std::string& line : entries->Entries())
            entryList->Append(wxString::FromUTF8(line));
    }
    entryList->SetSelection(wxNOT_FOUND);
    selectedEntry.clear();
    toggleButton->Disable();
}

bool InfoboxBereich::ReadDataObject(std::string label, ByteVector& out)
{
    return entries && entries->ReadDataObject(std::move(label), out);
}

void InfoboxBereich::OnEntrySelected(wxCommandEvent&)
{
    const int chosen = entryList->GetSelection();
    if (chosen == wxNOT_FOUND)
        return;
    const wxString text = entryList->GetString(static_cast<unsigned>(chosen));
    if (text == selectedEntry)
        return; // the entry shown is not read again
    selectedEntry = text;
    // The value read for the previous entry must not be written back for this one.
    toggleButton->Disable();
    FillViews({}, VIEWS_EMPTY);
    if (entries && entries->ContainerMode())
        ShowEntry(text);
    else
        ShowLegacyEntry(text);
}

void InfoboxBereich::ShowEntry(const wxString& text)
{
    const int tag = TagOfLine(text);
    const LibInfobox::InfoboxFSEntry* entry =
        tag > 0 && tag <= 0xFF ? entries->ContainerEntry(static_cast<uint8_t>(tag)) : nullptr;
    if (entry == nullptr)
        return;
    SetToggleLabel(entry->flags);
    ByteVector value;
    if (ReadDataObject(InfoboxEntryList::DataObjectLabel(entry->tag), value))
    {
        FillViews(value, entry->tag == 1 ? VIEWS_IDENTITY_LINK : VIEWS_PLAIN);
        toggleButton->Enable();
    }
    else if (entry->tag == 1)
    {
        OfferIdentityLinkWizard();
    }
}

void InfoboxBereich::SetToggleLabel(uint8_t flags)
{
    // The label names what the button does, and it turns bit 0 over.
    toggleButton->SetLabel((flags & 1) != 0 ? _(L"unverschlüsselt speichern")
                                            : _(L"verschlüsselt speichern"));
}

void InfoboxBereich::ShowLegacyEntry(const wxString& text)
{
    // Data object labels, never translated.
    static const struct
    {
        const char* line;
        const char* label;
        int mode;
    } fixedEntries[] = {{"Personenbindung", "PERSONENBINDUNG", VIEWS_IDENTITY_LINK},
                        {"RFU1", "RFU1", VIEWS_PLAIN},
                        {"RFU2", "RFU2", VIEWS_PLAIN}};
    std::string label;
    int mode = VIEWS_PLAIN;
    for (const auto& fixed : fixedEntries)
    {
        if (text == fixed.line)
        {
            label = fixed.label;
            mode = fixed.mode;
        }
    }
    ByteVector value;
    if (ReadDataObject(label, value) && !value.empty())
        FillViews(value, mode);
    else if (mode == VIEWS_IDENTITY_LINK)
        OfferIdentityLinkWizard();
}

void InfoboxBereich::FillViews(ByteVector bytes, int mode)
{
    if (mode == VIEWS_EMPTY || bytes.empty())
    {
        for (wxTextCtrl* view : {contentView, hexView, textView})
            view->ChangeValue(wxEmptyString);
        return;
    }
    const wxString text = AnsiText(bytes);
    hexView->ChangeValue(BytesToHex(bytes, HEX_UPPER));
    textView->ChangeValue(text);
    contentView->ChangeValue(mode == VIEWS_IDENTITY_LINK ? IdentityLinkSummary(bytes) : text);
}

void InfoboxBereich::OnToggleEncryption(wxCommandEvent&)
{
    const int tag = TagOfLine(entryList->GetStringSelection());
    if (!entries || tag <= 0 || tag > 0xFF ||
        !entries->ToggleEntryPrivate(static_cast<uint8_t>(tag)))
        return;
    FillViews({}, VIEWS_EMPTY);
    ListInfoboxEntries();
}

void InfoboxBereich::OnTimer(wxTimerEvent&)
{
    EnableControls(false);
    YieldForDisplay();
    LoadEntries();
    EnableControls(true);
    if (entryList->IsEmpty())
    {
        OfferIdentityLinkWizard();
        if (!StillOpen(this))
            return; // the wizard's end ended this dialog
        ListInfoboxEntries();
    }
    if (entryList->IsEmpty())
        EndDialog(1);
}

void InfoboxBereich::OfferIdentityLinkWizard()
{
    if (IsECard(cardType))
        return; // the e-cards take no identity link
    NoPersB wizard(this, wxID_ANY, wxEmptyString);
    wizard.SetToken(token);
    wizard.SetSlotIndex(slotIndex);
    if (wizard.ShowModal() == IdentityLinkNotWritten)
        EndDialog(0);
}

void InfoboxBereich::OnClose(wxCommandEvent&)
{
    EndDialog(0);
}

void InfoboxBereich::EndDialog(int code)
{
    if (StillOpen(this))
        EndModal(code);
}

// clang-format off
wxBEGIN_EVENT_TABLE(InfoboxBereich, wxDialog)
    EVT_BUTTON(ID_INFOBOX_TOGGLE, InfoboxBereich::OnToggleEncryption)
    EVT_BUTTON(ID_INFOBOX_CLOSE, InfoboxBereich::OnClose)
    EVT_LISTBOX(ID_INFOBOX_ENTRY_LIST, InfoboxBereich::OnEntrySelected)
    EVT_TIMER(ID_INFOBOX_TIMER, InfoboxBereich::OnTimer)
wxEND_EVENT_TABLE()
    // clang-format on
