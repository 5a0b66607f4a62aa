#include "ui/MainFrame.h"

#include "core/folders/PathUtil.h"
#include "core/logging/Logger.h"
#include "online/CertUpdater.h"
#include "ui/CardListMenu.h"
#include "ui/ConfigValues.h"
#include "ui/DocumentLauncher.h"
#include "ui/InfoboxBereich.h"
#include "ui/Language.h"
#include "ui/NoPersB.h"
#include "ui/StatusLine.h"
#include "ui/TestDialog.h"
#include "ui/WindowIds.h"
#include "ui/WxStringUtil.h"
#include "ui/cards/CertificateFile.h"

#include "ui/art/banner.xpm"
#include "ui/art/card.xpm"
#include "ui/art/error.xpm"
#include "ui/art/icon.xpm"
#include "ui/art/ok.xpm"
#include "ui/art/reload.xpm"

#include <algorithm>
#include <wx/clipbrd.h>
#include <wx/icon.h>
#include <wx/intl.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/utils.h>
#include <wx/weakref.h>

const char* const MainFrame::EmptyCardNumber = "0000000000000000";

namespace
{
constexpr int VersionConfigId = 11;
constexpr int ListPictureWidth = 31;
constexpr int ListPictureHeight = 22;

// Group buttons in the order of the member array, with their labels.
struct LabelledButton
{
    int id;
    const wchar_t* label;
};
const LabelledButton GroupButtonLabels[11] = {
    {ID_CHANGE_SIG_PIN, wxTRANSLATE(L"6 stellige PIN ändern")},
    {ID_UNBLOCK_SIG_PIN, wxTRANSLATE(L"6 stellige PIN entsperren")},
    {ID_SHOW_SIG_CERTIFICATE, wxTRANSLATE(L"Zertifikat anzeigen")},
    {ID_TEST_SIG_KEY, wxTRANSLATE(L"Signatur testen")},
    {ID_CHANGE_ENC_PIN, wxTRANSLATE(L"4 stellige PIN ändern")},
    {ID_UNBLOCK_ENC_PIN, wxTRANSLATE(L"4 stellige PIN entsperren")},
    {ID_SHOW_ENC_CERTIFICATE, wxTRANSLATE(L"Zertifikat anzeigen")},
    {ID_TEST_ENC_KEY, wxTRANSLATE(L"Signatur testen")},
    {ID_CHANGE_INFOBOX_PIN, wxTRANSLATE(L"4 stellige PIN ändern")},
    {ID_UNBLOCK_INFOBOX_PIN, wxTRANSLATE(L"4 stellige PIN entsperren")},
    {ID_SHOW_INFOBOX, wxTRANSLATE(L"Infobox anzeigen")},
};

// The windows EnableControls switches, in its order (the frame itself follows).
const int ControlledIds[] = {ID_CHANGE_SIG_PIN,       ID_UNBLOCK_SIG_PIN, ID_SHOW_SIG_CERTIFICATE,
                             ID_TEST_SIG_KEY,         ID_CHANGE_ENC_PIN,  ID_UNBLOCK_ENC_PIN,
                             ID_SHOW_ENC_CERTIFICATE, ID_TEST_ENC_KEY,    ID_CHANGE_INFOBOX_PIN,
                             ID_UNBLOCK_INFOBOX_PIN,  ID_SHOW_INFOBOX,    ID_UPDATE_CERTIFICATES,
                             ID_WRITE_IDENTITY_LINK,  ID_RELOAD_CARDS,    ID_CARD_LIST};

// Buttons the card type of the selected row switches.
const int TypeRuleIds[6] = {ID_CHANGE_INFOBOX_PIN, ID_UNBLOCK_INFOBOX_PIN, ID_UNBLOCK_ENC_PIN,
                            ID_UNBLOCK_SIG_PIN,    ID_UPDATE_CERTIFICATES, ID_WRITE_IDENTITY_LINK};
enum class Rule
{
    On,
    Off,
    Kept
};
struct TypeRules
{
    Rule button[6];
};

TypeRules RulesFor(int cardType)
{
    constexpr Rule on = Rule::On, off = Rule::Off, kept = Rule::Kept;
    switch (cardType)
    {
    case 0:
        return {{on, on, kept, kept, off, on}};
    case 1:
    case 2:
    case 7:
        return {{off, off, on, on, on, on}};
    case 3:
    case 4:
    case 5:
    case 6:
        return {{off, off, off, off, off, off}};
    default:
        return {{kept, kept, kept, kept, kept, kept}};
    }
}

// The 32 x 32 pictures fitted into the card list's 31 x 22 cells, centred, keeping their shape.
wxBitmap FitListPicture(const char* const* xpm)
{
    wxImage image(xpm);
    image.InitAlpha();
    image.Rescale(ListPictureHeight, ListPictureHeight, wxIMAGE_QUALITY_HIGH);
    image.Resize(wxSize(ListPictureWidth, ListPictureHeight),
                 wxPoint((ListPictureWidth - ListPictureHeight) / 2, 0));
    return wxBitmap(image);
}

struct ColumnSpec
{
    const wchar_t* heading;
    int width;
};
const ColumnSpec CardListColumns[4] = {{wxTRANSLATE(L"Kartennummer"), 170},
                                       {wxTRANSLATE(L"Ausgestellt für"), 350},
                                       {wxTRANSLATE(L"Kartentyp"), 190},
                                       {wxTRANSLATE(L"Personenbindung"), 115}};

// Where the platform draws the row picture inside the first column or uses a wider font, the
// given widths cut a heading or the card number. The list measures what it needs on a scratch
// row holding the picture and a full card number; a scratch column keeps each measured column
// from being the last, which would stretch over the rest of the list.
void WidenColumnsToContent(wxListCtrl* list, const wxString& widestNumber, int cardPicture)
{
    const int scratchColumn = list->GetColumnCount();
    list->InsertColumn(scratchColumn, wxString());
    const long row = list->InsertItem(0, widestNumber, cardPicture);
    for (int column = 0; column < scratchColumn; ++column)
    {
        const int givenWidth = list->GetColumnWidth(column);
        list->SetColumnWidth(column, wxLIST_AUTOSIZE_USEHEADER);
        list->SetColumnWidth(column, std::max(givenWidth, list->GetColumnWidth(column)));
    }
    list->DeleteItem(row);
    list->DeleteColumn(scratchColumn);
}
} // namespace

MainFrame::MainFrame()
    : wxFrame(nullptr, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
              wxDEFAULT_FRAME_STYLE, "frame")
{
    pleaseWait = new PleaseWait(this, wxEmptyString);
    pleaseWait->Hide();
    pleaseWait->Centre(wxBOTH);

    std::string version;
    ReadConfigText(VersionConfigId, version);

    CreateControls();
    SetProperties();
    CreateLayout();
    CreateImageList();
    statusPicture->Hide();
    statusText->Hide();
    SetIcon(wxIcon(icon_xpm));
    SetFrameTitle(version);
    InsertColumns();

    // A module that cannot be loaded now is tried again by the first refresh.
    token = std::make_unique<Corvane::acPKCS11>();
    ShowStatus(wxEmptyString, false);

    fadeTimer.SetOwner(this, ID_FADE_TIMER);
    startupTimer.SetOwner(this, ID_STARTUP_TIMER);
    startupTimer.StartOnce(2);
}

MainFrame::~MainFrame()
{
    fadeTimer.Stop();
    startupTimer.Stop();
    // The worker borrows the wrapper: it must be gone before the module is unloaded.
    if (refreshWorker)
    {
        refreshWorker->Wait();
        refreshWorker.reset();
        wxEndBusyCursor(); // the refresh that began it never ends now
    }
    if (token)
    {
        token->Destroy();
        token.reset();
    }
    if (cardList != nullptr)
    {
        cardList->SetImageList(nullptr, wxIMAGE_LIST_NORMAL);
        cardList->SetImageList(nullptr, wxIMAGE_LIST_SMALL);
    }
}

void MainFrame::CreateControls()
{
    auto panel = [](wxWindow* parent)
    {
        return new wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                           wxTAB_TRAVERSAL | wxNO_BORDER, "panel");
    };
    auto groupBox = [this](const wchar_t* label)
    {
        return new wxStaticBox(mainPanel, wxID_ANY, wxGetTranslation(label), wxDefaultPosition,
                               wxDefaultSize, 0, "groupBox");
    };
    auto button = [this](int id, const wchar_t* label)
    {
        return new wxButton(mainPanel, id, wxGetTranslation(label), wxDefaultPosition,
                            wxDefaultSize, 0, wxDefaultValidator, "button");
    };

    mainPanel = panel(this);
    encryptionBox = groupBox(wxTRANSLATE(L"Geheimhaltungszertifikat"));
    infoboxBox = groupBox(wxTRANSLATE(L"Infoboxbereich"));
    signatureBox = groupBox(wxTRANSLATE(L"Signaturzertifikat"));
    onlineBox = groupBox(wxTRANSLATE(L"Onlinedienste"));
    banner = new wxStaticBitmap(mainPanel, wxID_ANY, wxBitmap(banner_xpm), wxDefaultPosition,
                                wxDefaultSize, 0, "staticBitmap");
    cardList = new wxListCtrl(mainPanel, ID_CARD_LIST, wxDefaultPosition, wxDefaultSize,
                              wxLC_REPORT | wxLC_SINGLE_SEL | wxSUNKEN_BORDER, wxDefaultValidator,
                              "listCtrl");
    reloadButton =
        new wxBitmapButton(mainPanel, ID_RELOAD_CARDS, wxBitmap(reload_xpm), wxDefaultPosition,
                           wxDefaultSize, 0, wxDefaultValidator, "button");
    renewalButton = button(ID_UPDATE_CERTIFICATES, wxTRANSLATE(L"Zertifikate ersetzen"));
    identityLinkButton = button(ID_WRITE_IDENTITY_LINK, wxTRANSLATE(L"Personenbindung aufbringen"));
    for (int i = 0; i < 11; ++i)
        groupButtons[i] = button(GroupButtonLabels[i].id, GroupButtonLabels[i].label);
    statusPicture = new wxStaticBitmap(mainPanel, wxID_ANY, wxNullBitmap, wxDefaultPosition,
                                       wxDefaultSize, 0, "staticBitmap");
    statusText = new wxStaticText(mainPanel, wxID_ANY, wxEmptyString, wxDefaultPosition,
                                  wxDefaultSize, wxALIGN_CENTRE, "staticText");
    statusLeftSpacer = panel(mainPanel);
    statusRightSpacer = panel(mainPanel);
    endSpacer = panel(mainPanel);
}

void MainFrame::SetProperties()
{
    SetTitle(_(L"Tessaview"));
    SetMinSize(wxSize(800, 600));
    reloadButton->SetSize(reloadButton->GetBestSize());
    statusPicture->SetMinSize(wxSize(32, 32));
    endSpacer->SetSize(wxSize(1, 32));
    endSpacer->SetMinSize(wxSize(1, 32));
}

void MainFrame::CreateLayout()
{
    auto* listRow = new wxBoxSizer(wxHORIZONTAL);
    listRow->SetMinSize(wxSize(888, 100));
    listRow->Add(cardList, 1, wxEXPAND | wxLEFT | wxTOP, 6);
    listRow->Add(reloadButton, 0, wxALIGN_BOTTOM | wxTOP | wxBOTTOM, 6);

    auto* groupRow = new wxBoxSizer(wxHORIZONTAL);
    auto addGroup = [this, groupRow](wxStaticBox* box, std::initializer_list<int> buttonIds)
    {
        static const int borders[4] = {wxALL, wxTOP | wxBOTTOM | wxRIGHT, wxTOP | wxBOTTOM | wxLEFT,
                                       wxALL};
        auto* group = new wxStaticBoxSizer(box, wxVERTICAL);
        int position = 0;
        for (int id : buttonIds)
            group->Add(FindWindow(id), 0, wxEXPAND | borders[position++], 6);
        groupRow->Add(group, 1, wxEXPAND | wxALL, 12);
    };
    addGroup(signatureBox,
             {ID_CHANGE_SIG_PIN, ID_UNBLOCK_SIG_PIN, ID_SHOW_SIG_CERTIFICATE, ID_TEST_SIG_KEY});
    addGroup(encryptionBox,
             {ID_CHANGE_ENC_PIN, ID_UNBLOCK_ENC_PIN, ID_SHOW_ENC_CERTIFICATE, ID_TEST_ENC_KEY});
    addGroup(infoboxBox, {ID_CHANGE_INFOBOX_PIN, ID_UNBLOCK_INFOBOX_PIN, ID_SHOW_INFOBOX});
    addGroup(onlineBox, {ID_WRITE_IDENTITY_LINK, ID_UPDATE_CERTIFICATES});

    auto* statusRow = new wxBoxSizer(wxHORIZONTAL);
    statusRow->Add(statusLeftSpacer, 1, wxEXPAND, 0);
    statusRow->Add(statusPicture, 0, 0, 0);
    statusRow->Add(statusText, 0, wxALIGN_CENTER_VERTICAL | wxRESERVE_SPACE_EVEN_IF_HIDDEN, 0);
    statusRow->Add(statusRightSpacer, 1, wxEXPAND, 0);
    statusRow->Add(endSpacer, 0, 0, 0);

    auto* panelSizer = new wxBoxSizer(wxVERTICAL);
    panelSizer->Add(banner, 0, wxALIGN_CENTER, 0);
    panelSizer->Add(listRow, 1, wxEXPAND, 0);
    panelSizer->Add(groupRow, 0, wxEXPAND, 0);
    panelSizer->Add(statusRow, 0, wxALIGN_CENTER_HORIZONTAL | wxALL, 3);
    mainPanel->SetSizer(panelSizer);

    auto* frameSizer = new wxBoxSizer(wxVERTICAL);
    frameSizer->Add(mainPanel, 1, wxEXPAND, 0);
    SetSizer(frameSizer);
    frameSizer->Fit(this);
    Layout();
    Centre(wxBOTH);
}

void MainFrame::CreateImageList()
{
    imageList = std::make_unique<wxImageList>(ListPictureWidth, ListPictureHeight, true, 1);
    cardPictureIndex = imageList->Add(wxBitmap(card_xpm));
    okPictureIndex = imageList->Add(FitListPicture(ok_xpm));
    errorPictureIndex = imageList->Add(FitListPicture(error_xpm));
    cardList->SetImageList(imageList.get(), wxIMAGE_LIST_NORMAL);
    cardList->SetImageList(imageList.get(), wxIMAGE_LIST_SMALL);
}

void MainFrame::SetFrameTitle(const std::string& version)
{
    if (version.empty())
        SetTitle(wxString::Format("%s (%s)", _(L"Tessaview"), _(L"x64")));
    else
        SetTitle(wxString::Format("%s (%s, %s)", _(L"Tessaview"), wxString::FromUTF8(version),
                                  _(L"x64")));
}

void MainFrame::InsertColumns()
{
    int position = 0;
    for (const ColumnSpec& column : CardListColumns)
        cardList->InsertColumn(position++, wxGetTranslation(column.heading), wxLIST_FORMAT_LEFT,
                               column.width);
    WidenColumnsToContent(cardList, EmptyCardNumber, cardPictureIndex);
}

void MainFrame::EnableControls(bool enable)
{
    const bool on = enable && !refreshWorker;
    for (int id : ControlledIds)
        FindWindow(id)->Enable(on);
    Enable(on);
    if (on)
    {
        wxListEvent none;
        OnListItemSelected(none);
    }
}

void MainFrame::GetSelectedCardNumber(std::string& number, int& cardType)
{
    number.clear();
    long row = cardList->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    if (row < 0)
    {
        if (cardList->GetItemCount() == 0)
            return;
        row = 0;
        cardList->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
        YieldForDisplay();
    }
    number = WxStringToStdString(cardList->GetItemText(row, 0));
    cardType = static_cast<int>(static_cast<long>(cardList->GetItemData(row)));
}

void MainFrame::OnListItemSelected(wxListEvent&)
{
    std::string number;
    int cardType = 0;
    GetSelectedCardNumber(number, cardType);
    if (number.empty())
        return;
    ApplyCardTypeRules(cardType);
    YieldForDisplay();
}

void MainFrame::ApplyCardTypeRules(int cardType)
{
    const TypeRules rules = RulesFor(cardType);
    for (int i = 0; i < 6; ++i)
    {
        if (rules.button[i] != Rule::Kept)
            FindWindow(TypeRuleIds[i])->Enable(rules.button[i] == Rule::On);
    }
}

// ---- status line ----

void MainFrame::ShowStatus(wxString text, bool error)
{
    const wxBitmap picture = SetStatusLine(StatusParts(), text, error);
    if (text.empty())
        return;
    NudgeHeight(this);
    SendSizeEvent();
    YieldForDisplay();
    StartStatusFade(StatusParts(), picture);
}

void MainFrame::OnFadeTimer(wxTimerEvent&)
{
    if (statusPicture == nullptr)
        return;
    StatusFadeStep(StatusParts());
}

StatusLineParts MainFrame::StatusParts()
{
    return {statusPicture, statusText, fadeTimer, statusFader, FindWindow(ID_SHOW_INFOBOX)};
}

// ---- card list refresh ----

void MainFrame::OnStartupTimer(wxTimerEvent&)
{
    wxCommandEvent reload(wxEVT_BUTTON, ID_RELOAD_CARDS);
    OnReloadCards(reload);
}

void MainFrame::OnReloadCards(wxCommandEvent&)
{
    GetAppLogger()->Message("evt_reload");
    if (refreshWorker)
        return; // one refresh at a time
    EnableControls(false);
    wxBeginBusyCursor();
    pleaseWait->Centre(wxBOTH);
    pleaseWait->Show();
    YieldForDisplay();
    cardList->DeleteAllItems();

    refreshWorker = std::make_unique<RefreshCardThread>(this, token.get(), _(L"unbekannt"));
    if (refreshWorker->Create() == wxTHREAD_NO_ERROR)
    {
        refreshWorker->SetPriority(50);
        if (refreshWorker->Run() == wxTHREAD_NO_ERROR)
            return;
    }
    GetAppLogger()->Error("cannot start card refresh thread");
    refreshWorker.reset();
    EndRefresh();
}

void MainFrame::OnRefreshDone(wxCommandEvent&)
{
    if (!refreshWorker)
        return;
    refreshWorker->Wait();
    const std::vector<std::shared_ptr<ListEntryData>> rows = refreshWorker->Results();
    refreshWorker.reset();
    FillCardList(rows);
    if (cardList->GetItemCount() > 0)
        cardList->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    EndRefresh();
}

void MainFrame::EndRefresh()
{
    EnableControls(true);
    pleaseWait->Hide();
    wxEndBusyCursor();
    YieldForDisplay();
}

void MainFrame::FillCardList(const std::vector<std::shared_ptr<ListEntryData>>& rows)
{
    long position = 0;
    for (const auto& row : rows)
    {
        // Each row goes to the top: the card read last is listed first.
        position = cardList->InsertItem(position, row->cardNumber, cardPictureIndex);
        cardList->SetItem(position, 1, row->holder);
        cardList->SetItem(position, 2, row->cardTypeName);
        cardList->SetItemData(position, row->cardType);
        if (row->identityLink && cardList->GetColumnCount() > 3)
            cardList->SetItem(position, 3, wxEmptyString, okPictureIndex);
    }
}

// ---- card commands ----

bool MainFrame::GetSelectedCard(int& index, int& cardType)
{
    index = -1;
    cardType = 0;
    std::string number;
    GetSelectedCardNumber(number, cardType);
    if (number.empty() || number == EmptyCardNumber)
    {
        ShowStatus(_(L"Dieser Befehl ist mit einer leeren Karte nicht erlaubt!"), true);
        return false;
    }
    std::vector<Corvane::TokenSlot*> slots;
    if (!token->GetSlots(slots, true))
    {
        GetAppLogger()->Error("cannot load card list");
        return false;
    }
    for (size_t i = 0; i < slots.size(); ++i)
    {
        if (slots[i]->tokenSerial == number)
        {
            index = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

bool MainFrame::GetSelectedCardOrReload(int& index, int& cardType)
{
    if (GetSelectedCard(index, cardType))
        return true;
    // The card has gone from its reader: the list is read afresh.
    wxCommandEvent reload(wxEVT_BUTTON, ID_RELOAD_CARDS);
    OnReloadCards(reload);
    return false;
}

bool MainFrame::OpenSession()
{
    int index = -1;
    int cardType = 0;
    if (!GetSelectedCard(index, cardType))
        return false;
    if (!token->OpenSession(index))
    {
        GetAppLogger()->Error("Error open pkcs#11 session");
        return false;
    }
    return true;
}

void MainFrame::RunPinCommand(bool change, int target)
{
    if (!OpenSession())
        return;
    const int result = change ? token->ChangePIN(target) : token->UnblockPIN(target);
    token->CloseSession();
    if (change)
        ShowPinChangeResult(result);
    else
        ShowPinUnblockResult(result);
}

void MainFrame::ShowPinChangeResult(int result)
{
    static const PinResultTexts texts = {wxTRANSLATE(L"PIN Änderung erfolgreich!"),
                                         wxTRANSLATE(L"Fehler beim PIN Ändern! PIN falsch!"),
                                         wxTRANSLATE(L"Fehler beim PIN Ändern! PIN Gesperrt"),
                                         wxTRANSLATE(L"Fehler beim PIN Ändern!"), true};
    ShowPinResult(result, texts);
}

void MainFrame::ShowPinUnblockResult(int result)
{
    // The last text is shown as it is, in every language.
    static const PinResultTexts texts = {
        wxTRANSLATE(L"PIN Entsperren erfolgreich!"),
        wxTRANSLATE(L"Fehler beim PIN entsperren! PIN/PUK falsch!"),
        wxTRANSLATE(L"Fehler beim PIN entsperren! PUK Gesperrt"), L"Fehler beim PIN entsperren!",
        false};
    ShowPinResult(result, texts);
}

void MainFrame::ShowPinResult(int result, const PinResultTexts& texts)
{
    switch (result)
    {
    case Corvane::PIN_RESULT_DONE:
        ShowStatus(wxGetTranslation(texts.done), false);
        break;
    case Corvane::PIN_RESULT_CANCELLED:
        ShowStatus(_(L"Abbruch durch Benutzer"), true);
        break;
    case Corvane::PIN_RESULT_WRONG:
        ShowStatus(wxGetTranslation(texts.wrong), true);
        break;
    case Corvane::PIN_RESULT_LOCKED:
        ShowStatus(wxGetTranslation(texts.locked), true);
        break;
    default:
        ShowStatus(texts.translateOther ? wxGetTranslation(texts.other) : wxString(texts.other),
                   true);
        break;
    }
}

namespace
{
// The opener may answer after the window has gone.
LaunchFailed NoViewerMessage(MainFrame* frame)
{
    return [window = wxWeakRef<MainFrame>(frame)]
    {
        if (window)
            window->ShowStatus(
                _(L"Zertifikat kann nicht angezeigt werden: kein Programm zum Anzeigen gefunden!"),
                true);
    };
}
} // namespace

bool MainFrame::ShowCertificate(bool signatureCertificate)
{
    const std::string folder = PrivateTempFolder();
    const std::string path = folder.empty() ? folder : JoinPath(folder, "quendrycards_cert.cer");
    wxBusyCursor busy;
    if (!path.empty())
        RemoveFile(path);
    if (!OpenSession())
        return false;
    const bool written = !path.empty() && token->ReadCertificate(signatureCertificate) &&
                         WriteNewFile(path, token->CertificateBytes());
    if (written)
        LaunchDocument(path, NoViewerMessage(this)); // the viewer is not waited for
    else
        GetAppLogger()->Error("error writing cert to file");
    token->CloseSession();
    return written;
}

void MainFrame::OnChangeSigPin(wxCommandEvent&)
{
    RunPinCommand(true, Corvane::PIN_TARGET_SIGNATURE);
}

void MainFrame::OnUnblockSigPin(wxCommandEvent&)
{
    RunPinCommand(false, Corvane::PIN_TARGET_SIGNATURE);
}

void MainFrame::OnChangeEncPin(wxCommandEvent&)
{
    RunPinCommand(true, Corvane::PIN_TARGET_ENCRYPTION);
}

void MainFrame::OnUnblockEncPin(wxCommandEvent&)
{
    RunPinCommand(false, Corvane::PIN_TARGET_ENCRYPTION);
}

void MainFrame::OnChangeInfoboxPin(wxCommandEvent&)
{
    RunPinCommand(true, Corvane::PIN_TARGET_INFOBOX);
}

void MainFrame::OnUnblockInfoboxPin(wxCommandEvent&)
{
    RunPinCommand(false, Corvane::PIN_TARGET_INFOBOX);
}

void MainFrame::OnShowSigCertificate(wxCommandEvent&)
{
    ShowCertificate(true);
}

void MainFrame::OnShowEncCertificate(wxCommandEvent&)
{
    ShowCertificate(false);
}

// ---- certificate renewal ----

namespace
{
constexpr size_t CinLength = 12;

// The serial number of the card's certificate in decimal; empty when it cannot be read or
// decoded.
std::string CertificateSerial(Corvane::acPKCS11& token, bool signatureCertificate)
{
    slcertificate certificate;
    if (!token.ReadCertificate(signatureCertificate) || token.CertificateBytes().empty() ||
        !DecodeCertificate(token.CertificateBytes(), certificate))
        return std::string();
    return std::to_string(certificate.GetSerialNumber());
}
} // namespace

void MainFrame::OnUpdateCertificates(wxCommandEvent&)
{
    if (!OpenSession())
        return;
    int index = -1;
    int cardType = 0;
    if (!GetSelectedCard(index, cardType))
    {
        token->CloseSession();
        wxCommandEvent reload(wxEVT_BUTTON, ID_RELOAD_CARDS);
        OnReloadCards(reload);
        return;
    }
    EnableControls(false);
    wxBeginBusyCursor(wxHOURGLASS_CURSOR);
    pleaseWait->Centre(wxBOTH);
    pleaseWait->Show();
    YieldForDisplay();
    const RenewalOutcome outcome = RunRenewal(index, cardType);
    token->CloseSession();
    ShowRenewalOutcome(outcome);
    // After a success the reload keeps the controls disabled and the box shown until it is done.
    EnableControls(true);
    wxEndBusyCursor();
    if (!refreshWorker)
        pleaseWait->Hide();
    YieldForDisplay();
}

MainFrame::RenewalOutcome MainFrame::RunRenewal(int index, int cardType)
{
    const std::string encSerial = CertificateSerial(*token, false);
    const std::string sigSerial = CertificateSerial(*token, true);
    CertUpdater updater;
    std::string identifier;
    std::string cin;
    std::string csn;
    token->GetCinCsn(identifier);
    if (identifier.size() > CinLength)
    {
        cin = identifier.substr(0, CinLength);
        csn = identifier.substr(CinLength);
    }
    bool newEncCert = false;
    bool newSigCert = false;
    if (!updater.checkforupdate(cardType, cin, csn, encSerial, sigSerial, newEncCert, newSigCert))
        return updater.UpdateCheckFailed() ? RenewalOutcome::Failed : RenewalOutcome::NoUpdate;
    updater.SetToken(token.get(), index);
    updater.SetLanguageCode(OnlineServicesLanguage(language));
    bool renewed = false;
    if (cardType >= 0 && cardType <= 2)
        renewed = updater.UpdateAcos(newEncCert, newSigCert);
    else if (cardType == 7)
        renewed = updater.UpdateCardOS(newEncCert, newSigCert);
    return renewed ? RenewalOutcome::Renewed : RenewalOutcome::Failed;
}

void MainFrame::ShowRenewalOutcome(RenewalOutcome outcome)
{
    wxString message = _(L"Update Fehlgeschlagen");
    wxString caption = _(L"Fehler");
    long icon = wxICON_ERROR;
    if (outcome != RenewalOutcome::Failed)
    {
        caption = _(L"Information");
        icon = wxICON_INFORMATION;
        message = outcome == RenewalOutcome::Renewed ? _(L"Update Erfolgreich")
                                                     : _(L"Es sind keine Updates verfügbar");
    }
    if (outcome == RenewalOutcome::Renewed)
    {
        wxCommandEvent reload(wxEVT_BUTTON, ID_RELOAD_CARDS);
        OnReloadCards(reload);
    }
    wxMessageDialog box(this, message, caption, wxOK | wxCENTRE | icon);
    box.ShowModal();
}

void MainFrame::OnShowInfobox(wxCommandEvent&)
{
    int index = -1;
    int cardType = 0;
    if (!GetSelectedCardOrReload(index, cardType))
        return;
    InfoboxBereich dialog(this, cardType);
    dialog.Setup(token.get(), index);
    if (!dialog.LoadEntries())
    {
        wxMessageBox(_(L"Derzeit ist keine Personenbindung auf Ihrer Karte vorhanden"),
                     _(L"Information"), wxOK | wxICON_INFORMATION | wxCENTRE, this);
        return;
    }
    dialog.CentreOnParent();
    wxSafeYield();
    dialog.ShowModal(); // arms the dialog's own timer first
}

// ---- test signature ----

void MainFrame::OnTestSigKey(wxCommandEvent&)
{
    RunTestDialog(TEST_KEY_SIGNATURE);
}

void MainFrame::OnTestEncKey(wxCommandEvent&)
{
    RunTestDialog(TEST_KEY_ENCRYPTION);
}

void MainFrame::RunTestDialog(int keyKind)
{
    int index = -1;
    int cardType = 0;
    if (!GetSelectedCardOrReload(index, cardType))
        return;
    TestDialog dialog(this,
                      keyKind == TEST_KEY_SIGNATURE
                          ? _(L"Unterschriftentest mit Signaturschlüssel (6-stellige PIN)")
                          : _(L"Unterschriftentest mit Geheimhaltungsschlüssel (4-stellige PIN)"));
    dialog.Setup(token.get(), index, keyKind);
    dialog.ShowModal();
}

// ---- card list menu and keys ----

void MainFrame::OnListRightClick(wxListEvent&)
{
    std::string number;
    int cardType = 0;
    GetSelectedCardNumber(number, cardType);
    const std::unique_ptr<wxMenu> menu = CreateCardListMenu(cardType);
    // Bound to this menu alone, so that no other menu command of the frame reaches it.
    menu->Bind(wxEVT_MENU, &MainFrame::OnPopupMenu, this);
    PopupMenu(menu.get());
}

void MainFrame::OnPopupMenu(wxCommandEvent& event)
{
    using Handler = void (MainFrame::*)(wxCommandEvent&);
    static const struct
    {
        int id;
        Handler handler;
    } commands[] = {{ID_MENU_CHANGE_ENC_PIN, &MainFrame::OnChangeEncPin},
                    {ID_MENU_CHANGE_SIG_PIN, &MainFrame::OnChangeSigPin},
                    {ID_MENU_CHANGE_INFOBOX_PIN, &MainFrame::OnChangeInfoboxPin},
                    {ID_MENU_UNBLOCK_ENC_PIN, &MainFrame::OnUnblockEncPin},
                    {ID_MENU_UNBLOCK_SIG_PIN, &MainFrame::OnUnblockSigPin},
                    {ID_MENU_UNBLOCK_INFOBOX_PIN, &MainFrame::OnUnblockInfoboxPin},
                    {ID_MENU_SHOW_ENC_CERTIFICATE, &MainFrame::OnShowEncCertificate},
                    {ID_MENU_SHOW_SIG_CERTIFICATE, &MainFrame::OnShowSigCertificate},
                    {ID_MENU_UPDATE_CERTIFICATES, &MainFrame::OnUpdateCertificates},
                    {ID_MENU_SHOW_INFOBOX, &MainFrame::OnShowInfobox},
                    {ID_MENU_TEST_ENC_KEY, &MainFrame::OnTestEncKey},
                    {ID_MENU_TEST_SIG_KEY, &MainFrame::OnTestSigKey}};
    for (const auto& command : commands)
    {
        if (command.id == event.GetId())
        {
            wxCommandEvent fresh;
            (this->*command.handler)(fresh);
            return;
        }
    }
}

void MainFrame::OnListItemActivated(wxListEvent&)
{
    if (!ShowCertificate(false))
        ShowCertificate(true);
}

void MainFrame::OnWriteIdentityLink(wxCommandEvent&)
{
    int index = -1;
    int cardType = 0;
    if (!GetSelectedCardOrReload(index, cardType))
        return;
    if (cardType >= 3 && cardType <= 6)
        return; // the e-cards take no identity link
    // The row the command was given for; the modal wizard keeps the list as it is.
    const long row = cardList->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    NoPersB wizard(this, wxID_ANY, wxEmptyString);
    wizard.SetToken(token.get());
    wizard.SetSlotIndex(index);
    wizard.SetLanguageCode(OnlineServicesLanguage(language));
    const bool seeThrough = CanSetTransparent();
    if (seeThrough)
        SetTransparent(220);
    const int endCode = wizard.ShowModal();
    if (seeThrough)
        SetTransparent(255);
    if (endCode == IdentityLinkWritten && row >= 0 && cardList->GetColumnCount() > 3)
        cardList->SetItem(row, 3, wxEmptyString, okPictureIndex);
}

void MainFrame::OnListKeyDown(wxListEvent& event)
{
    const int key = event.GetKeyCode();
    if ((key == 'c' || key == 'C') && wxGetKeyState(WXK_CONTROL))
        CopySelectedCardNumber();
    event.Skip(); // the key goes on to the list
}

void MainFrame::CopySelectedCardNumber()
{
    std::string number;
    int cardType = 0;
    GetSelectedCardNumber(number, cardType);
    if (number.empty() || !wxTheClipboard->Open())
        return;
    wxTheClipboard->SetData(new wxTextDataObject(wxString::FromUTF8(number)));
    wxTheClipboard->Close();
}

// clang-format off
wxBEGIN_EVENT_TABLE(MainFrame, wxFrame)
    EVT_BUTTON(ID_CHANGE_SIG_PIN, MainFrame::OnChangeSigPin)
    EVT_BUTTON(ID_UNBLOCK_SIG_PIN, MainFrame::OnUnblockSigPin)
    EVT_BUTTON(ID_SHOW_SIG_CERTIFICATE, MainFrame::OnShowSigCertificate)
    EVT_BUTTON(ID_TEST_SIG_KEY, MainFrame::OnTestSigKey)
    EVT_BUTTON(ID_CHANGE_ENC_PIN, MainFrame::OnChangeEncPin)
    EVT_BUTTON(ID_UNBLOCK_ENC_PIN, MainFrame::OnUnblockEncPin)
    EVT_BUTTON(ID_SHOW_ENC_CERTIFICATE, MainFrame::OnShowEncCertificate)
    EVT_BUTTON(ID_TEST_ENC_KEY, MainFrame::OnTestEncKey)
    EVT_BUTTON(ID_CHANGE_INFOBOX_PIN, MainFrame::OnChangeInfoboxPin)
    EVT_BUTTON(ID_UNBLOCK_INFOBOX_PIN, MainFrame::OnUnblockInfoboxPin)
    EVT_BUTTON(ID_WRITE_IDENTITY_LINK, MainFrame::OnWriteIdentityLink)
    EVT_BUTTON(ID_SHOW_INFOBOX, MainFrame::OnShowInfobox)
    EVT_BUTTON(ID_UPDATE_CERTIFICATES, MainFrame::OnUpdateCertificates)
    EVT_BUTTON(ID_RELOAD_CARDS, MainFrame::OnReloadCards)
    EVT_TIMER(ID_STARTUP_TIMER, MainFrame::OnStartupTimer)
    EVT_TIMER(ID_FADE_TIMER, MainFrame::OnFadeTimer)
    EVT_LIST_ITEM_SELECTED(ID_CARD_LIST, MainFrame::OnListItemSelected)
    EVT_LIST_ITEM_RIGHT_CLICK(ID_CARD_LIST, MainFrame::OnListRightClick)
    EVT_LIST_ITEM_ACTIVATED(ID_CARD_LIST, MainFrame::OnListItemActivated)
    EVT_LIST_KEY_DOWN(ID_CARD_LIST, MainFrame::OnListKeyDown)
    EVT_MENU(ID_REFRESH_DONE, MainFrame::OnRefreshDone)
wxEND_EVENT_TABLE()
