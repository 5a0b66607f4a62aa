// The card list's context menu, double click and Ctrl+C on the real main window.
#include "tests/platform/ScopedEnvironment.h"
#include "tests/ui/FrameFixture.h"
#include "ui/DocumentLauncher.h"
#include "ui/WindowIds.h"

#include <functional>
#include <wx/clipbrd.h>
#include <wx/menu.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

namespace
{
// The main window with the menu's command handlers recording that they ran, and a popup that
// plays a script on the menu instead of waiting for the mouse.
class RecordingFrame : public MainFrame
{
public:
    std::vector<std::string> ran;
    std::function<void(wxMenu*)> onPopup;

#define RECORDED(handler)                                                                          \
    void handler(wxCommandEvent&) override                                                         \
    {                                                                                              \
        ran.push_back(#handler);                                                                   \
    }
    RECORDED(OnChangeSigPin)
    RECORDED(OnUnblockSigPin)
    RECORDED(OnShowSigCertificate)
    RECORDED(OnTestSigKey)
    RECORDED(OnChangeEncPin)
    RECORDED(OnUnblockEncPin)
    RECORDED(OnShowEncCertificate)
    RECORDED(OnTestEncKey)
    RECORDED(OnChangeInfoboxPin)
    RECORDED(OnUnblockInfoboxPin)
    RECORDED(OnShowInfobox)
    RECORDED(OnWriteIdentityLink)
    RECORDED(OnUpdateCertificates)
#undef RECORDED

protected:
    bool DoPopupMenu(wxMenu* menu, int, int) override
    {
        if (onPopup)
            onPopup(menu);
        return true;
    }
};

// "id label" a command, "label[...]" a submenu, "-" a separator, a help text after "|".
std::string Describe(const wxMenu& menu)
{
    std::string text;
    for (const wxMenuItem* item : menu.GetMenuItems())
    {
        text += text.empty() ? "" : ", ";
        if (item->IsSeparator())
            text += "-";
        else if (item->IsSubMenu())
            text +=
                item->GetItemLabelText().utf8_string() + "[" + Describe(*item->GetSubMenu()) + "]";
        else
            text += std::to_string(item->GetId()) + " " + item->GetItemLabelText().utf8_string();
        text += item->GetHelp().empty() ? "" : "|" + item->GetHelp().utf8_string();
    }
    return text;
}

// Chooses the entry as GTK does: the command comes from the menu that holds the entry.
void Choose(wxMenu* menu, int id)
{
    wxMenu* holder = nullptr;
    ASSERT_NE(menu->FindItem(id, &holder), nullptr) << "no entry " << id;
    holder->SendEvent(id);
}

wxString ClipboardText()
{
    wxTextDataObject data;
    if (!wxTheClipboard->Open())
        return "(closed)";
    if (wxTheClipboard->IsSupported(wxDF_UNICODETEXT))
        wxTheClipboard->GetData(data);
    wxTheClipboard->Close();
    return data.GetText();
}

void SetClipboardText(const wxString& text)
{
    ASSERT_TRUE(wxTheClipboard->Open());
    wxTheClipboard->SetData(new wxTextDataObject(text));
    wxTheClipboard->Close();
}

class CardListMenuTest : public FrameFixture
{
protected:
    void SetUp() override
    {
        FrameFixture::SetUp();
        environment.Set("TEMP", temp.Path().string());
        SetDocumentLauncher([this](const std::string& path, const LaunchFailed&)
                            { launched.push_back(ReadTextFile(path)); });
    }

    void TearDown() override
    {
        SetDocumentLauncher(nullptr);
        FrameFixture::TearDown();
    }

    RecordingFrame* OpenRecordingFrame()
    {
        recording = new RecordingFrame();
        frame = recording;
        frame->Show();
        EXPECT_TRUE(WaitForRefresh());
        return recording;
    }

    // Sends the list event as the list control does; true when it was not passed on.
    bool SendListEvent(wxEventType type, int keyCode = 0)
    {
        wxListEvent event(type, ID_CARD_LIST);
        event.SetEventObject(frame->CardList());
        event.SetKeyCode(keyCode);
        return frame->CardList()->GetEventHandler()->ProcessEvent(event);
    }

    ScopedTempFolder temp;
    ScopedEnvironment environment;
    RecordingFrame* recording = nullptr;
    std::vector<std::string> launched; // the contents of the files handed to the desktop
};

const std::string MenuOfType0 =
    "PIN ändern[5456 Geheimhaltungszertifikat, 5457 Signaturzertifikat, 5458 Personenbindung], "
    "PIN entsperren[5459 Geheimhaltungszertifikat, 5460 Signaturzertifikat, 5461 Personenbindung], "
    "-, Zertifikat anzeigen[5462 Geheimhaltungszertifikat, 5463 Signaturzertifikat], "
    "5464 Infobox anzeigen, "
    "-, Signatur testen[5465 Geheimhaltungszertifikat, 5466 Signaturzertifikat]";
const std::string MenuOfType3 =
    "PIN ändern[5456 Geheimhaltungszertifikat, 5457 Signaturzertifikat], "
    "PIN entsperren[5459 Geheimhaltungszertifikat, 5460 Signaturzertifikat], "
    "-, Zertifikat anzeigen[5462 Geheimhaltungszertifikat, 5463 Signaturzertifikat], "
    "5464 Infobox anzeigen, "
    "-, Signatur testen[5465 Geheimhaltungszertifikat, 5466 Signaturzertifikat]";
} // namespace

TEST_F(CardListMenuTest, MenuOffersTheEntriesOfTheCardsTypeAndEachRunsItsButtonsHandlerOnly)
{
    std::string menuOfType7 = MenuOfType3;
    menuOfType7.insert(menuOfType7.find("5464"), "5471 Zertifikate ersetzen, ");
    const std::pair<int, std::string> menus[] = {
        {0, MenuOfType0}, {1, menuOfType7}, {7, menuOfType7}, {3, MenuOfType3}};
    KeepCardTypes({0, 1, 7, 3});
    OpenRecordingFrame();
    for (const auto& [cardType, entries] : menus)
    {
        SCOPED_TRACE(cardType);
        SelectRow(RowOfType(cardType));
        std::string shown;
        recording->onPopup = [&shown](wxMenu* menu) { shown = Describe(*menu); };
        SendListEvent(wxEVT_LIST_ITEM_RIGHT_CLICK);
        EXPECT_EQ(shown, entries);
    }
    EXPECT_TRUE(recording->ran.empty());

    const struct
    {
        int id;
        const char* handler;
        int cardType; // one that offers the entry
    } commands[] = {{ID_MENU_CHANGE_ENC_PIN, "OnChangeEncPin", 7},
                    {ID_MENU_CHANGE_SIG_PIN, "OnChangeSigPin", 7},
                    {ID_MENU_CHANGE_INFOBOX_PIN, "OnChangeInfoboxPin", 0},
                    {ID_MENU_UNBLOCK_ENC_PIN, "OnUnblockEncPin", 7},
                    {ID_MENU_UNBLOCK_SIG_PIN, "OnUnblockSigPin", 7},
                    {ID_MENU_UNBLOCK_INFOBOX_PIN, "OnUnblockInfoboxPin", 0},
                    {ID_MENU_SHOW_ENC_CERTIFICATE, "OnShowEncCertificate", 7},
                    {ID_MENU_SHOW_SIG_CERTIFICATE, "OnShowSigCertificate", 7},
                    {ID_MENU_UPDATE_CERTIFICATES, "OnUpdateCertificates", 7},
                    {ID_MENU_SHOW_INFOBOX, "OnShowInfobox", 7},
                    {ID_MENU_TEST_ENC_KEY, "OnTestEncKey", 7},
                    {ID_MENU_TEST_SIG_KEY, "OnTestSigKey", 0}};
    for (const auto& entry : commands)
    {
        SCOPED_TRACE(entry.handler);
        SelectRow(RowOfType(entry.cardType));
        recording->ran.clear();
        recording->onPopup = [&entry](wxMenu* menu) { Choose(menu, entry.id); };
        SendListEvent(wxEVT_LIST_ITEM_RIGHT_CLICK);
        EXPECT_EQ(recording->ran, std::vector<std::string>{entry.handler});

        // The frame itself does not take the menu's commands once the menu is gone.
        recording->ran.clear();
        wxCommandEvent late(wxEVT_MENU, entry.id);
        frame->ProcessWindowEvent(late);
        EXPECT_TRUE(recording->ran.empty());
    }
    // The refresh worker's own menu command still ends a reload.
    Press(ID_RELOAD_CARDS);
    EXPECT_TRUE(WaitForRefresh());
    EXPECT_EQ(frame->CardList()->GetItemCount(), 4);
}

TEST_F(CardListMenuTest, DoubleClickShowsTheEncryptionCertificateOrElseTheSignatureCertificate)
{
    for (bool withEncryption : {true, false})
    {
        SCOPED_TRACE(withEncryption ? "with encryption certificate" : "without");
        KeepCardTypes({7});
        if (!withEncryption)
        {
            cards.slots[0].card->FindObject("C.CH.EKEY")->label = "C.CH.OTHER";
            SaveCards();
        }
        OpenFrame();
        launched.clear();
        SendListEvent(wxEVT_LIST_ITEM_ACTIVATED);
        const ByteVector& expected =
            cards.slots[0].card->FindObject(withEncryption ? "C.CH.EKEY" : "C.CH.SIG")->value;
        ASSERT_EQ(launched.size(), 1u);
        EXPECT_TRUE(launched[0] == std::string(expected.begin(), expected.end()));
        EXPECT_EQ(frame->Token()->CurrentSlotIndex(), -1);
        CloseFrame();
    }
}

TEST_F(CardListMenuTest, ControlWithCCopiesTheCardNumberAndPlainCDoesNot)
{
    KeepCardTypes({1, 7});
    OpenFrame();
    const wxString firstRow = frame->CardList()->GetItemText(0, 0);
    const struct
    {
        const char* name;
        int keyCode;
        bool control;
        bool copied;
    } cases[] = {{"plain c", 'c', false, false},
                 {"plain C", 'C', false, false},
                 {"Control and c", 99, true, true},
                 {"Control and C", 67, true, true},
                 {"Control and x", 'x', true, false}};
    wxUIActionSimulator keyboard;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        SetClipboardText("before");
        frame->CardList()->SetItemState(0, 0, wxLIST_STATE_SELECTED);
        if (c.control)
        {
            keyboard.KeyDown(WXK_CONTROL);
            ASSERT_TRUE(GuiTest::WaitUntil([] { return wxGetKeyState(WXK_CONTROL); }, 3000));
        }
        EXPECT_FALSE(SendListEvent(wxEVT_LIST_KEY_DOWN, c.keyCode)) << "the key was not passed on";
        if (c.control)
        {
            keyboard.KeyUp(WXK_CONTROL);
            ASSERT_TRUE(GuiTest::WaitUntil([] { return !wxGetKeyState(WXK_CONTROL); }, 3000));
        }
        EXPECT_EQ(ClipboardText(), c.copied ? firstRow : wxString("before"));
        // With no row selected the first row is taken and selected.
        EXPECT_EQ(frame->CardList()->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED),
                  c.copied ? 0 : -1);
    }
}
