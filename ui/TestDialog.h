#pragma once

#include "token/acPKCS11.h"
#include "ui/StatusFader.h"
#include "ui/StatusLine.h"

#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/dialog.h>
#include <wx/panel.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

// Which of the card's keys the test signature uses.
constexpr int TEST_KEY_SIGNATURE = 0;
constexpr int TEST_KEY_ENCRYPTION = 1;

// Signs a text the user may edit with one of the card's keys and verifies the signature against
// the text as it then stands. Nothing is stored; a session is open only during one press.
class TestDialog : public wxDialog
{
public:
    TestDialog(wxWindow* parent, const wxString& title);
    ~TestDialog() override;

    // Before the dialog is shown: the card and the key to test; offers the hashes the key allows.
    void Setup(Corvane::acPKCS11* token, int slotIndex, int keyKind);
    bool GetHashAlgorithm(int& algorithm);
    void ShowStatus(const wxString& text, bool error);

    virtual void OnSign(wxCommandEvent& event);
    virtual void OnVerify(wxCommandEvent& event);
    virtual void OnClose(wxCommandEvent& event);
    virtual void OnFadeTimer(wxTimerEvent& event);

    wxTextCtrl* TestText() const { return testText; }
    wxTextCtrl* SignatureText() const { return signatureText; }
    wxComboBox* HashChoice() const { return hashChoice; }
    wxStaticText* AlgorithmLabel() const { return algorithmLabel; }
    wxStaticText* StatusText() const { return statusText; }
    wxStaticBitmap* StatusPicture() const { return statusPicture; }
    const wxTimer& FadeTimer() const { return fadeTimer; }

private:
    void CreateControls();
    void CreateLayout();
    StatusLineParts StatusParts();
    bool HasKeyKind() const;
    // The digest of the test text as the card signs it; false with the reason shown.
    bool DigestOfText(ByteVector& digest);
    bool OpenCardSession();

    wxTextCtrl* testText = nullptr;
    wxTextCtrl* signatureText = nullptr;
    wxComboBox* hashChoice = nullptr;
    wxPanel* spacer = nullptr;
    wxStaticText* algorithmLabel = nullptr;
    wxPanel* statusLeftSpacer = nullptr;
    wxStaticBitmap* statusPicture = nullptr;
    wxStaticText* statusText = nullptr;
    wxPanel* statusRightSpacer = nullptr;
    wxButton* signButton = nullptr;
    wxButton* verifyButton = nullptr;
    wxButton* closeButton = nullptr;
    wxPanel* endSpacer = nullptr;
    wxTimer fadeTimer;
    StatusFader fader;
    Corvane::acPKCS11* token = nullptr;
    int slotIndex = 0;
    int keyKind = TEST_KEY_ENCRYPTION;

    wxDECLARE_EVENT_TABLE();
};
