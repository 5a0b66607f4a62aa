#pragma once

#include "token/acPKCS11.h"
#include "ui/PleaseWait.h"
#include "ui/RefreshCardThread.h"
#include "ui/StatusFader.h"
#include "ui/StatusLine.h"

#include <memory>
#include <string>
#include <wx/bmpbuttn.h>
#include <wx/button.h>
#include <wx/frame.h>
#include <wx/imaglist.h>
#include <wx/listctrl.h>
#include <wx/panel.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/timer.h>

// The program's one frame: the card list, the reload button, the command buttons in their
// group boxes and the status line. It owns the token wrapper for its whole life.
class MainFrame : public wxFrame
{
public:
    MainFrame();
    ~MainFrame() override;

    // Every command button, the reload button, the list and the frame; while a card-list worker
    // exists everything stays disabled.
    void EnableControls(bool enable);
    void GetSelectedCardNumber(std::string& number, int& cardType);
    bool GetSelectedCard(int& index, int& cardType);
    // GetSelectedCard; when it finds no card, the card list is reloaded.
    bool GetSelectedCardOrReload(int& index, int& cardType);
    bool OpenSession();
    bool ShowCertificate(bool signatureCertificate);
    void ShowStatus(wxString text, bool error);
    void ShowPinChangeResult(int result);
    void ShowPinUnblockResult(int result);

    virtual void OnChangeSigPin(wxCommandEvent& event);
    virtual void OnUnblockSigPin(wxCommandEvent& event);
    virtual void OnShowSigCertificate(wxCommandEvent& event);
    virtual void OnTestSigKey(wxCommandEvent& event);
    virtual void OnChangeEncPin(wxCommandEvent& event);
    virtual void OnUnblockEncPin(wxCommandEvent& event);
    virtual void OnShowEncCertificate(wxCommandEvent& event);
    virtual void OnTestEncKey(wxCommandEvent& event);
    virtual void OnChangeInfoboxPin(wxCommandEvent& event);
    virtual void OnUnblockInfoboxPin(wxCommandEvent& event);
    virtual void OnShowInfobox(wxCommandEvent& event);
    virtual void OnWriteIdentityLink(wxCommandEvent& event);
    virtual void OnReloadCards(wxCommandEvent& event);
    virtual void OnUpdateCertificates(wxCommandEvent& event);
    virtual void OnStartupTimer(wxTimerEvent& event);
    virtual void OnFadeTimer(wxTimerEvent& event);
    virtual void OnListItemSelected(wxListEvent& event);
    virtual void OnListRightClick(wxListEvent& event);
    virtual void OnListItemActivated(wxListEvent& event);
    virtual void OnListKeyDown(wxListEvent& event);
    virtual void OnRefreshDone(wxCommandEvent& event);
    virtual void OnPopupMenu(wxCommandEvent& event);

    // The UI language number (wx 3.1 numbering, as the configuration keeps it).
    int language = 0;

    wxListCtrl* CardList() const { return cardList; }
    Corvane::acPKCS11* Token() const { return token.get(); }
    wxStaticBitmap* StatusPicture() const { return statusPicture; }
    wxStaticText* StatusText() const { return statusText; }
    const wxTimer& StartupTimer() const { return startupTimer; }
    const wxTimer& FadeTimer() const { return fadeTimer; }
    const StatusFader& Fader() const { return statusFader; }
    PleaseWait* PleaseWaitBox() const { return pleaseWait; }
    bool IsRefreshing() const { return refreshWorker != nullptr; }
    int CardPictureIndex() const { return cardPictureIndex; }
    int OkPictureIndex() const { return okPictureIndex; }

    // The empty-card number: a card without a serial number.
    static const char* const EmptyCardNumber;

private:
    void CreateControls();
    void SetProperties();
    void CreateLayout();
    void CreateImageList();
    void SetFrameTitle(const std::string& version);
    void InsertColumns();
    void FillCardList(const std::vector<std::shared_ptr<ListEntryData>>& rows);
    void ApplyCardTypeRules(int cardType);
    void RunPinCommand(bool change, int target);
    struct PinResultTexts
    {
        const wchar_t* done;
        const wchar_t* wrong;
        const wchar_t* locked;
        const wchar_t* other;
        bool translateOther;
    };
    void ShowPinResult(int result, const PinResultTexts& texts);
    void EndRefresh();
    void RunTestDialog(int keyKind);
    enum class RenewalOutcome
    {
        NoUpdate,
        Renewed,
        Failed
    };
    RenewalOutcome RunRenewal(int index, int cardType);
    void ShowRenewalOutcome(RenewalOutcome outcome);
    void CopySelectedCardNumber();
    StatusLineParts StatusParts();

    wxStaticBox* infoboxBox = nullptr;
    wxStaticBox* encryptionBox = nullptr;
    wxStaticBox* signatureBox = nullptr;
    wxStaticBox* onlineBox = nullptr;
    wxStaticBitmap* banner = nullptr;
    wxListCtrl* cardList = nullptr;
    wxBitmapButton* reloadButton = nullptr;
    wxButton* groupButtons[11] = {};
    wxButton* identityLinkButton = nullptr;
    wxButton* renewalButton = nullptr;
    wxPanel* statusLeftSpacer = nullptr;
    wxStaticBitmap* statusPicture = nullptr;
    wxStaticText* statusText = nullptr;
    wxPanel* statusRightSpacer = nullptr;
    wxPanel* mainPanel = nullptr;
    wxPanel* endSpacer = nullptr;
    std::unique_ptr<wxImageList> imageList;
    int cardPictureIndex = -1;
    int okPictureIndex = -1;
    int errorPictureIndex = -1;
    wxTimer startupTimer;
    std::unique_ptr<Corvane::acPKCS11> token;
    std::unique_ptr<RefreshCardThread> refreshWorker;
    PleaseWait* pleaseWait = nullptr;
    wxTimer fadeTimer;
    StatusFader statusFader;

    wxDECLARE_EVENT_TABLE();
};
