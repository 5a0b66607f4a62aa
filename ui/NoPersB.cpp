#include "ui/NoPersB.h"

#include "ui/WindowIds.h"

#include <algorithm>
#include <wx/dcclient.h>
#include <wx/intl.h>
#include <wx/msgdlg.h>
#include <wx/scrolwin.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/utils.h>

namespace
{
// clang-format off
const wchar_t* const IntroHeading = wxTRANSLATE(L"ZMR Stammzahl (Personenbindung)\nauf Ihre Karte schreiben.");
const wchar_t* const IntroText = wxTRANSLATE(L"Mit dieser Funktion können Sie nach der Personenbindung zu Ihrer\nKarte beim ZMR suchen. Nach Ihrer Zustimmung, wird sie dann auf der\nKarte gespeichert. (Wenn schon eine Personbindung auf der Karte\nexistiert, wird sie mit dem aktuellen Wert überschrieben).\n\nDie Personenbindung stellt eine Verbindung zwischen Ihrem \nqualifizierten Zertifikat und Ihrer Stammzahl her.\nDa Sie im Zertifikat nur durch Ihren Namen identifiziert sind, \nwären sonst Verwechslungen zwischen mehreren Personen möglich.");
const wchar_t* const IntroQuestion = wxTRANSLATE(L"Wollen Sie nach ZMR Daten suchen?");
const wchar_t* const DataHeading = wxTRANSLATE(L"ZMR Daten");
const wchar_t* const DataQuestion = wxTRANSLATE(L"Stimmen die angegebenen Daten mit den Daten Ihrer Person überein?");
const wchar_t* const DataNote = wxTRANSLATE(L"HINWEIS:\nZum Aufbringen Ihrer Personenbindung ist es notwendig, dass die angezeigte Meldeadresse Bezug zu Ihrer Person hat.\nDie Meldeadresse selbst wird nicht auf den Chip gespeichert. Sollte die angezeigte Meldeadresse lediglich nicht mehr\naktuell oder nicht ganz vollständig sein, so können Sie dies bei Ihrer zuständigen Meldebehörde ändern lassen.");
const wchar_t* const WriteQuestion = wxTRANSLATE(L"Wollen Sie die Personenbindung auf die Karte schreiben?");
// clang-format on

constexpr int TextBorder = 6;
constexpr int ButtonBorder = 12;
constexpr int ButtonRowBorder = 3;
constexpr int HeadingPoints = 10;

// The register text's room: with the page's other parts the dialog stays on a 1024 x 768
// screen; a taller text scrolls.
constexpr int RegisterTextWidth = 720;
constexpr int RegisterTextHeight = 360;
constexpr int ScrollStep = 10;

// A line too wide for the width breaks after its last blank that fits, else inside the word.
// Breaks are only added: without them the text is the same.
wxString WrappedLine(const wxString& line, wxDC& dc, int width)
{
    wxString wrapped;
    wxString rest = line;
    wxArrayInt extents;
    while (dc.GetPartialTextExtents(rest, extents) && !extents.empty() && extents.Last() > width)
    {
        size_t fits = 1;
        while (fits < extents.size() && extents[fits] <= width)
            ++fits;
        const size_t blank = rest.find_last_of(' ', fits - 1);
        const size_t cut = blank != wxString::npos && blank > 0 ? blank + 1 : fits;
        wrapped += rest.substr(0, cut) + '\n';
        rest = rest.substr(cut);
    }
    return wrapped + rest;
}

// The text as the label shows it within the width; only for display.
wxString WrappedForDisplay(const wxString& text, wxWindow* label, int width)
{
    wxClientDC dc(label);
    dc.SetFont(label->GetFont());
    wxString wrapped;
    size_t start = 0;
    for (size_t end = text.find('\n'); end != wxString::npos; end = text.find('\n', start))
    {
        wrapped += WrappedLine(text.substr(start, end - start), dc, width) + '\n';
        start = end + 1;
    }
    return wrapped + WrappedLine(text.substr(start), dc, width);
}

wxPanel* NewSpacer(wxWindow* parent)
{
    return new wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                       wxTAB_TRAVERSAL | wxNO_BORDER, "panel");
}
} // namespace

NoPersB::NoPersB(wxWindow* parent, int, const wxString& title)
    : wxDialog(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE)
{
    CreateIntroPage();
}

NoPersB::~NoPersB() = default;

void NoPersB::SetProperties()
{
    SetTitle(_(L"Personenbindung aufbringen"));
}

void NoPersB::CreateIntroPage()
{
    BuildPage({{wxGetTranslation(IntroHeading), TextStyle::Heading, false},
               {wxGetTranslation(IntroText), TextStyle::Plain, false},
               {wxGetTranslation(IntroQuestion), TextStyle::Plain, false}},
              ID_SEARCH_REGISTER, _(L"JA, ZMR abfragen"));
    searchButton = yesButton;
}

void NoPersB::CreateDataPage()
{
    // The register's text is shown as the holder signs it; only lines too wide are broken.
    BuildPage({{wxGetTranslation(DataHeading), TextStyle::Heading, false},
               {registerText, TextStyle::Plain, true},
               {wxGetTranslation(DataQuestion), TextStyle::Bold, false},
               {wxGetTranslation(DataNote), TextStyle::Plain, false}},
              ID_SIGN_REGISTER_TEXT, _(L"JA, ich unterschreibe"));
}

void NoPersB::CreateWritePage()
{
    BuildPage({{wxGetTranslation(WriteQuestion), TextStyle::Plain, false}}, ID_WRITE_TO_CARD,
              _(L"JA, Daten schreiben"));
    SetDefaultItem(yesButton);
}

void NoPersB::BuildPage(const std::vector<PageText>& texts, int yesId, const wxString& yesLabel)
{
    // The page whose button is being handled goes once its handler has returned, so no two
    // buttons of one id live side by side.
    if (wxPanel* old = page)
    {
        old->Hide();
        CallAfter([old] { old->Destroy(); });
    }
    SetDefaultItem(nullptr);
    page = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                       wxTAB_TRAVERSAL | wxNO_BORDER, "page");
    leftSpacer = NewSpacer(page);
    rightSpacer = NewSpacer(page);
    yesButton = new wxButton(page, yesId, yesLabel, wxDefaultPosition, wxDefaultSize, 0,
                             wxDefaultValidator, "button");
    cancelButton = new wxButton(page, ID_CANCEL_IDENTITY_LINK, _(L"NEIN, Abbruch"),
                                wxDefaultPosition, wxDefaultSize, 0, wxDefaultValidator, "button");
    SetProperties();

    auto* column = new wxBoxSizer(wxVERTICAL);
    for (const PageText& entry : texts)
    {
        const bool heading = entry.style == TextStyle::Heading;
        column->Add(NewLabel(entry), 0, wxALL | (heading ? wxEXPAND : 0), TextBorder);
    }
    auto* buttonRow = new wxBoxSizer(wxHORIZONTAL);
    buttonRow->Add(leftSpacer, 1, wxEXPAND, 0);
    buttonRow->Add(yesButton, 0, wxALL, ButtonBorder);
    buttonRow->Add(cancelButton, 0, wxALL, ButtonBorder);
    buttonRow->Add(rightSpacer, 1, wxEXPAND, 0);
    column->Add(buttonRow, 0, wxEXPAND | wxTOP, ButtonRowBorder);
    page->SetSizer(column);

    auto* dialogSizer = new wxBoxSizer(wxVERTICAL);
    dialogSizer->Add(page, 1, wxEXPAND, 0);
    SetSizer(dialogSizer, true);
    dialogSizer->SetSizeHints(this);
    Fit();
    Layout();
    CentreOnParent(wxBOTH);
}

wxWindow* NoPersB::NewLabel(const PageText& entry)
{
    if (entry.literal)
        return NewRegisterView(entry.text);
    auto* label = new wxStaticText(
        page, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
        entry.style == TextStyle::Heading ? wxALIGN_CENTRE_HORIZONTAL : 0, "staticText");
    if (entry.style != TextStyle::Plain)
        label->SetFont(
            wxFont(HeadingPoints, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_BOLD));
    label->SetLabel(entry.text);
    return label;
}

wxWindow* NoPersB::NewRegisterView(const wxString& text)
{
    auto* view = new wxScrolledWindow(page, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxVSCROLL,
                                      "registerText");
    auto* label = new wxStaticText(view, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                   0, "staticText");
    label->SetLabelText(WrappedForDisplay(text, label, FromDIP(RegisterTextWidth)));
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(label);
    view->SetSizer(sizer);
    view->SetScrollRate(0, FromDIP(ScrollStep));
    const wxSize best = label->GetBestSize();
    const int height = FromDIP(RegisterTextHeight);
    const int scrollbar = best.y > height ? wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, view) : 0;
    view->SetMinSize(wxSize(best.x + scrollbar, std::min(best.y, height)));
    return view;
}

void NoPersB::DisablePageButtons()
{
    yesButton->Disable();
    cancelButton->Disable();
}

std::unique_ptr<ZmrRequester> NoPersB::NewRequester() const
{
    auto created = std::make_unique<ZmrRequester>(languageCode);
    created->SetToken(token);
    created->SetSlotIndex(slotIndex);
    return created;
}

void NoPersB::ShowError(const wxString& message)
{
    wxMessageDialog box(this, message, _(L"Fehler"), wxOK | wxICON_ERROR | wxCENTRE);
    box.ShowModal();
    EndModal(IdentityLinkNotWritten);
}

void NoPersB::OnSearch(wxCommandEvent&)
{
    DisablePageButtons();
    requester = NewRequester();
    wxBusyCursor busy(wxHOURGLASS_CURSOR);
    ZmrSearchResult result;
    if (requester->Search(result))
    {
        registerText = wxString(result.toBeSigned);
        CreateDataPage();
    }
    else
        ShowError(_(L"ZMR-Suche fehlgeschlagen"));
}

void NoPersB::OnSign(wxCommandEvent&)
{
    DisablePageButtons();
    if (!requester)
    {
        ShowError(_(L"Fehler beim Herunterladen der Personenbindung"));
        return;
    }
    requester->SetToken(token);
    requester->SetSlotIndex(slotIndex);
    wxBusyCursor busy(wxHOURGLASS_CURSOR);
    if (requester->GetInfobox(registerText.ToStdWstring(), cardNumber, identityLinkData))
        CreateWritePage();
    else
        ShowError(_(L"Fehler beim Herunterladen der Personenbindung"));
}

void NoPersB::OnWrite(wxCommandEvent&)
{
    DisablePageButtons();
    // The write runs on a requester of its own; the one of the search keeps its session.
    const std::unique_ptr<ZmrRequester> writer = NewRequester();
    wxBusyCursor busy(wxHOURGLASS_CURSOR);
    if (writer->DoWriteInfobox(cardNumber, identityLinkData))
    {
        wxMessageDialog box(this,
                            _(L"Die Personenbindung wurde erfolgreich auf Ihre Karte aufgebracht"),
                            _(L"Information"), wxOK | wxICON_INFORMATION | wxCENTRE);
        box.ShowModal();
        EndModal(IdentityLinkWritten);
    }
    else
        ShowError(_(L"Fehler beim Schreiben auf die Karte"));
}

void NoPersB::OnCancel(wxCommandEvent&)
{
    EndModal(IdentityLinkNotWritten);
}

// clang-format off
wxBEGIN_EVENT_TABLE(NoPersB, wxDialog)
    EVT_BUTTON(ID_SEARCH_REGISTER, NoPersB::OnSearch)
    EVT_BUTTON(ID_SIGN_REGISTER_TEXT, NoPersB::OnSign)
    EVT_BUTTON(ID_WRITE_TO_CARD, NoPersB::OnWrite)
    EVT_BUTTON(ID_CANCEL_IDENTITY_LINK, NoPersB::OnCancel)
wxEND_EVENT_TABLE()
