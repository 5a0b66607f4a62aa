#include "ui/TestDialog.h"

#include "core/codec/Base64.h"
#include "ui/WindowIds.h"
#include "ui/WxStringUtil.h"

#include "ui/art/icon.xpm"

#include <string>
#include <wx/icon.h>
#include <wx/intl.h>
#include <wx/sizer.h>

namespace
{
const char* const PrivateKeyLabels[] = {"SK.CH.SIG", "SK.CH.EKEY"};
const char* const PublicKeyLabels[] = {"PK.CH.SIG", "PK.CH.EKEY"};

struct HashName
{
    const char* name;
    int algorithm;
};
const HashName HashNames[] = {{"SHA-1", Corvane::HASH_SHA1},
                              {"RIPEMD-160", Corvane::HASH_RIPEMD160},
                              {"SHA-256", Corvane::HASH_SHA256},
                              {"SHA-384", Corvane::HASH_SHA384},
                              {"SHA-512", Corvane::HASH_SHA512}};

// clang-format off
const wchar_t* const DefaultTestText = wxTRANSLATE(L"Das ist ein Test!\n\nDie Signatur dieses Textes wird nur virtuell erstellt und nicht abgespeichert.");
// clang-format on

constexpr int StatusRowHeight = 38;

wxPanel* NewPanel(wxWindow* parent)
{
    return new wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                       wxTAB_TRAVERSAL | wxNO_BORDER, "panel");
}
} // namespace

TestDialog::TestDialog(wxWindow* parent, const wxString& title)
    : wxDialog(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE),
      fadeTimer(this, ID_FADE_TIMER) // a status shown before Setup ends must reach this dialog
{
    CreateControls();
    CreateLayout();
    SetSize(wxSize(600, 350));
    // Where the controls are larger than the size allows (other fonts), the status row stays in.
    wxSize client = GetClientSize();
    client.IncTo(GetSizer()->GetMinSize());
    SetClientSize(client);
    SetIcon(wxIcon(icon_xpm));
    ShowStatus(wxEmptyString, false);
    signButton->SetFocus();
    CentreOnParent();
}

TestDialog::~TestDialog()
{
    fadeTimer.Stop();
}

void TestDialog::CreateControls()
{
    const long textStyle = wxTE_MULTILINE | wxTE_PROCESS_TAB | wxTE_PROCESS_ENTER;
    testText = new wxTextCtrl(this, wxID_ANY, wxGetTranslation(DefaultTestText), wxDefaultPosition,
                              wxDefaultSize, textStyle);
    signatureText = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                   textStyle | wxTE_READONLY);
    const wxString firstHashes[] = {"SHA-1", "RIPEMD-160"};
    hashChoice = new wxComboBox(this, wxID_ANY, firstHashes[0], wxDefaultPosition, wxDefaultSize, 2,
                                firstHashes, wxCB_DROPDOWN | wxCB_READONLY);
    hashChoice->SetSelection(0);
    spacer = NewPanel(this);
    algorithmLabel = new wxStaticText(this, wxID_ANY, "ECC");
    statusLeftSpacer = NewPanel(this);
    statusPicture = new wxStaticBitmap(this, wxID_ANY, wxNullBitmap);
    statusText = new wxStaticText(this, wxID_ANY, "Fehler beim ", wxDefaultPosition, wxDefaultSize,
                                  wxALIGN_CENTRE);
    statusRightSpacer = NewPanel(this);
    signButton = new wxButton(this, ID_TEST_DIALOG_SIGN, _(L"Unterschreiben"));
    verifyButton = new wxButton(this, ID_TEST_DIALOG_VERIFY, _(L"Prüfen"));
    closeButton = new wxButton(this, ID_TEST_DIALOG_CLOSE, _(L"Dialog schließen"));
    endSpacer = NewPanel(this);
}

void TestDialog::CreateLayout()
{
    testText->SetMinSize(wxSize(572, 100));
    signatureText->SetMinSize(wxSize(572, 80));
    wxSize hashSize(94, 22);
    hashSize.IncTo(hashChoice->GetBestSize()); // room for the longest name on any platform
    hashChoice->SetMinSize(hashSize);
    spacer->SetMinSize(wxSize(75, 25));
    statusLeftSpacer->SetMinSize(wxSize(5, StatusRowHeight));
    statusRightSpacer->SetMinSize(wxSize(5, StatusRowHeight));
    statusPicture->SetMinSize(wxSize(32, 32));
    endSpacer->SetMinSize(wxSize(1, StatusRowHeight));
    endSpacer->SetSize(wxSize(1, StatusRowHeight));

    auto label = [this](const wchar_t* text)
    { return new wxStaticText(this, wxID_ANY, wxString::Format("%s:", wxGetTranslation(text))); };
    auto* hashRow = new wxBoxSizer(wxHORIZONTAL);
    hashRow->Add(label(wxTRANSLATE(L"Hashalgorithmus")), 0, wxALIGN_CENTER_VERTICAL | wxALL, 6);
    hashRow->Add(hashChoice, 0, wxALIGN_CENTER_VERTICAL | wxALL, 6);
    hashRow->Add(spacer, 0, wxALL, 6);
    hashRow->Add(label(wxTRANSLATE(L"Signaturalgorithmus")), 0, wxALIGN_CENTER_VERTICAL | wxALL, 6);
    hashRow->Add(algorithmLabel, 0, wxALIGN_CENTER_VERTICAL | wxALL, 6);

    auto* buttonRow = new wxBoxSizer(wxHORIZONTAL);
    for (wxButton* button : {signButton, verifyButton, closeButton})
        buttonRow->Add(button, 0, wxALL, 6);

    auto* statusRow = new wxBoxSizer(wxHORIZONTAL);
    statusRow->Add(statusLeftSpacer, 1, wxEXPAND, 0);
    statusRow->Add(statusPicture, 0, wxALIGN_CENTER_VERTICAL, 0);
    statusRow->Add(statusText, 0, wxLEFT | wxALIGN_CENTER_VERTICAL, 6);
    statusRow->Add(statusRightSpacer, 1, wxEXPAND, 0);
    statusRow->Add(endSpacer, 0, 0, 0);

    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(testText, 0, wxEXPAND | wxALL, 6);
    top->Add(signatureText, 0, wxEXPAND | wxALL, 6);
    top->Add(hashRow, 0, 0, 0);
    top->Add(buttonRow, 0, wxALIGN_CENTER_HORIZONTAL, 0);
    top->Add(statusRow, 0, wxEXPAND | wxALL, 3);
    SetSizer(top);
    Layout();
}

void TestDialog::Setup(Corvane::acPKCS11* wrapper, int index, int kind)
{
    token = wrapper;
    slotIndex = index;
    keyKind = kind;
    if (token == nullptr)
        return;
    Corvane::CardInfo info;
    if (!token->GetCardInfo(slotIndex, info))
    {
        hashChoice->Clear(); // key algorithm and length unknown: no hash fits
        ShowStatus(_(L"Ungültige Karte"), true);
        return;
    }
    if (!HasKeyKind())
    {
        ShowStatus(_(L"Ungültige Karte"), true);
        return;
    }
    const bool signatureKey = keyKind == TEST_KEY_SIGNATURE;
    const int algorithm = signatureKey ? info.sigKeyAlgorithm : info.encKeyAlgorithm;
    const int bits = signatureKey ? info.sigKeyLength : info.encKeyLength;
    if (algorithm == Corvane::KEY_ALGORITHM_RSA)
        algorithmLabel->SetLabel("RSA");
    else if (algorithm == Corvane::KEY_ALGORITHM_ECC)
        algorithmLabel->SetLabel("ECC");

    hashChoice->Clear();
    if (bits >= 256)
        hashChoice->Append("SHA-256");
    if (bits >= 2048)
    {
        hashChoice->Append("SHA-384");
        hashChoice->Append("SHA-512");
    }
    if (!hashChoice->IsListEmpty())
        hashChoice->SetSelection(0);
}

bool TestDialog::HasKeyKind() const
{
    return keyKind == TEST_KEY_SIGNATURE || keyKind == TEST_KEY_ENCRYPTION;
}

bool TestDialog::GetHashAlgorithm(int& algorithm)
{
    const std::string name = WxStringToStdString(hashChoice->GetStringSelection());
    if (name.empty())
    {
        ShowStatus(_(L"Ungültiger Hashwert ausgewählt"), true);
        return false;
    }
    for (const HashName& hash : HashNames)
    {
        if (name == hash.name)
        {
            algorithm = hash.algorithm;
            return true;
        }
    }
    ShowStatus(_(L"Ungültiger Hashwert"), true);
    return false;
}

bool TestDialog::DigestOfText(ByteVector& digest)
{
    const std::string text = WxStringToStdString(testText->GetValue());
    int algorithm = 0;
    if (!GetHashAlgorithm(algorithm))
        return false;
    if (!ComputeDigest(ByteVector(text.begin(), text.end()), digest, algorithm))
    {
        ShowStatus(_(L"Fehler beim Hashen des Textes"), true);
        return false;
    }
    return true;
}

bool TestDialog::OpenCardSession()
{
    if (token->OpenSession(slotIndex))
        return true;
    ShowStatus(_(L"Fehler beim Aufbau der Verbindung zur Karte"), true);
    return false;
}

void TestDialog::OnSign(wxCommandEvent&)
{
    ShowStatus(wxEmptyString, false);
    signatureText->Clear();
    if (token == nullptr || !HasKeyKind())
        return;
    ByteVector digest;
    if (!DigestOfText(digest) || !OpenCardSession())
        return;
    ByteVector signature;
    const bool signedDigest = token->Sign(PrivateKeyLabels[keyKind], digest, signature);
    token->CloseSession();
    if (!signedDigest)
    {
        ShowStatus(_(L"Fehler beim Signieren"), true);
        return;
    }
    std::string encoded;
    Base64Encode(signature, encoded);
    signatureText->SetValue(wxString::FromUTF8(encoded));
    ShowStatus(_(L"Signatur erfolgreich!"), false);
}

void TestDialog::OnVerify(wxCommandEvent&)
{
    ShowStatus(wxEmptyString, false);
    if (token == nullptr || !HasKeyKind())
        return;
    ByteVector digest;
    if (!DigestOfText(digest))
        return;
    ByteVector signature; // an empty or broken text gives none, which no key accepts
    Base64Decode(WxStringToStdString(signatureText->GetValue()), signature);
    if (!OpenCardSession())
        return;
    const bool valid = token->Verify(PublicKeyLabels[keyKind], signature, digest);
    token->CloseSession();
    if (valid)
        ShowStatus(_(L"Signaturprüfung erfolgreich!"), false);
    else
        ShowStatus(_(L"Fehler beim Verifizieren der Signatur"), true);
}

void TestDialog::OnClose(wxCommandEvent&)
{
    EndModal(0);
}

void TestDialog::ShowStatus(const wxString& text, bool error)
{
    const wxBitmap picture = SetStatusLine(StatusParts(), text, error);
    NudgeHeight(this);
    YieldForDisplay();
    if (!text.empty())
        StartStatusFade(StatusParts(), picture);
}

void TestDialog::OnFadeTimer(wxTimerEvent&)
{
    StatusFadeStep(StatusParts());
}

StatusLineParts TestDialog::StatusParts()
{
    return {statusPicture, statusText, fadeTimer, fader, closeButton};
}

// clang-format off
wxBEGIN_EVENT_TABLE(TestDialog, wxDialog)
    EVT_BUTTON(ID_TEST_DIALOG_SIGN, TestDialog::OnSign)
    EVT_BUTTON(ID_TEST_DIALOG_VERIFY, TestDialog::OnVerify)
    EVT_BUTTON(ID_TEST_DIALOG_CLOSE, TestDialog::OnClose)
    EVT_TIMER(ID_FADE_TIMER, TestDialog::OnFadeTimer)
wxEND_EVENT_TABLE()
