// The main window's controls, title and layout as the user meets them.
#include "tests/ui/FrameFixture.h"
#include "ui/Language.h"
#include "ui/WindowIds.h"

#include <wx/statbox.h>

namespace
{
struct ControlCase
{
    int id;
    const char* label; // UTF-8
    const char* groupBox;
};

const ControlCase Buttons[] = {
    {ID_UPDATE_CERTIFICATES, "Zertifikate ersetzen", "Onlinedienste"},
    {ID_CHANGE_INFOBOX_PIN, "4 stellige PIN ändern", "Infoboxbereich"},
    {ID_UNBLOCK_INFOBOX_PIN, "4 stellige PIN entsperren", "Infoboxbereich"},
    {ID_WRITE_IDENTITY_LINK, "Personenbindung aufbringen", "Onlinedienste"},
    {ID_SHOW_INFOBOX, "Infobox anzeigen", "Infoboxbereich"},
    {ID_CHANGE_ENC_PIN, "4 stellige PIN ändern", "Geheimhaltungszertifikat"},
    {ID_UNBLOCK_ENC_PIN, "4 stellige PIN entsperren", "Geheimhaltungszertifikat"},
    {ID_SHOW_ENC_CERTIFICATE, "Zertifikat anzeigen", "Geheimhaltungszertifikat"},
    {ID_TEST_ENC_KEY, "Signatur testen", "Geheimhaltungszertifikat"},
    {ID_CHANGE_SIG_PIN, "6 stellige PIN ändern", "Signaturzertifikat"},
    {ID_UNBLOCK_SIG_PIN, "6 stellige PIN entsperren", "Signaturzertifikat"},
    {ID_SHOW_SIG_CERTIFICATE, "Zertifikat anzeigen", "Signaturzertifikat"},
    {ID_TEST_SIG_KEY, "Signatur testen", "Signaturzertifikat"},
};

// The group box whose frame holds the window on the screen.
wxString EnclosingBox(wxWindow* window)
{
    const wxRect place = window->GetRect();
    for (wxWindow* sibling : window->GetParent()->GetChildren())
    {
        auto* box = dynamic_cast<wxStaticBox*>(sibling);
        if (box != nullptr && box->GetRect().Contains(place))
            return box->GetLabel();
    }
    return wxString();
}

class MainWindowTest : public FrameFixture
{
};
} // namespace

TEST_F(MainWindowTest, EveryControlHasItsIdLabelParentAndGroup)
{
    OpenFrame();
    wxWindow* panel = frame->CardList()->GetParent();
    EXPECT_EQ(panel->GetParent(), frame);
    EXPECT_EQ(panel->GetName(), "panel");
    for (const ControlCase& control : Buttons)
    {
        SCOPED_TRACE(control.id);
        wxWindow* button = frame->FindWindow(control.id);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->GetLabel(), wxString::FromUTF8(control.label));
        EXPECT_EQ(button->GetParent(), panel);
        EXPECT_EQ(button->GetName(), "button");
        EXPECT_EQ(EnclosingBox(button), wxString::FromUTF8(control.groupBox));
    }
    wxWindow* reload = frame->FindWindow(ID_RELOAD_CARDS);
    ASSERT_NE(reload, nullptr);
    EXPECT_EQ(reload->GetParent(), panel);
    EXPECT_EQ(frame->FindWindow(ID_CARD_LIST), frame->CardList());
    EXPECT_EQ(frame->CardList()->GetName(), "listCtrl");
    EXPECT_EQ(frame->StatusText()->GetParent(), panel);
    EXPECT_EQ(frame->StatusText()->GetName(), "staticText");
    EXPECT_EQ(frame->StatusText()->GetWindowStyleFlag() & wxALIGN_CENTRE, wxALIGN_CENTRE);
    EXPECT_EQ(frame->StatusPicture()->GetParent(), panel);
    EXPECT_EQ(frame->StatusPicture()->GetName(), "staticBitmap");
    EXPECT_TRUE(frame->CardList()->HasFlag(wxLC_REPORT));
    EXPECT_TRUE(frame->CardList()->HasFlag(wxLC_SINGLE_SEL));
    EXPECT_TRUE(GuiTest::SaveScreenshot(frame, "main-window"));
}

TEST_F(MainWindowTest, ColumnsHaveTheirLabelsAndWidths)
{
    OpenFrame();
    const struct
    {
        const char* label;
        int width;
    } columns[] = {{"Kartennummer", 170},
                   {"Ausgestellt für", 350},
                   {"Kartentyp", 190},
                   {"Personenbindung", 115}};
    wxListCtrl* list = frame->CardList();
    ASSERT_EQ(list->GetColumnCount(), 4);
    for (int i = 0; i < 4; ++i)
    {
        wxListItem column;
        column.SetMask(wxLIST_MASK_TEXT | wxLIST_MASK_WIDTH | wxLIST_MASK_FORMAT);
        ASSERT_TRUE(list->GetColumn(i, column));
        EXPECT_EQ(column.GetText(), wxString::FromUTF8(columns[i].label));
        EXPECT_EQ(column.GetWidth(), columns[i].width);
        EXPECT_EQ(column.GetAlign(), wxLIST_FORMAT_LEFT);
    }
}

TEST_F(MainWindowTest, KeyboardOrderFollowsCreationOrder)
{
    OpenFrame();
    std::vector<int> buttonOrder;
    for (wxWindow* child : frame->CardList()->GetParent()->GetChildren())
    {
        if (child->GetId() >= ID_RELOAD_CARDS && child->GetId() <= ID_TEST_SIG_KEY)
            buttonOrder.push_back(child->GetId());
    }
    const std::vector<int> expected = {
        ID_RELOAD_CARDS,         ID_UPDATE_CERTIFICATES, ID_WRITE_IDENTITY_LINK,
        ID_CHANGE_SIG_PIN,       ID_UNBLOCK_SIG_PIN,     ID_SHOW_SIG_CERTIFICATE,
        ID_TEST_SIG_KEY,         ID_CHANGE_ENC_PIN,      ID_UNBLOCK_ENC_PIN,
        ID_SHOW_ENC_CERTIFICATE, ID_TEST_ENC_KEY,        ID_CHANGE_INFOBOX_PIN,
        ID_UNBLOCK_INFOBOX_PIN,  ID_SHOW_INFOBOX};
    EXPECT_EQ(buttonOrder, expected);
}

TEST_F(MainWindowTest, FrameCannotShrinkBelowItsMinimum)
{
    OpenFrame();
    frame->SetSize(wxSize(300, 200));
    GuiTest::RunFor(50);
    EXPECT_GE(frame->GetSize().x, 800);
    EXPECT_GE(frame->GetSize().y, 600);
}

TEST_F(MainWindowTest, TitleWithoutVersion)
{
    OpenFrame(false);
    EXPECT_EQ(frame->GetTitle(), "Tessaview (x64)");
}

TEST_F(MainWindowTest, TitleWithVersion)
{
    registry.reset();
    registry = std::make_unique<GuiTest::RegistryFixture>(
        std::vector<std::string>{"\"Version\"=\"4.2.1\""});
    OpenFrame(false);
    EXPECT_EQ(frame->GetTitle(), "Tessaview (4.2.1, x64)");
}

TEST_F(MainWindowTest, StatusAreaIsHiddenAtStart)
{
    OpenFrame();
    EXPECT_FALSE(frame->StatusText()->IsShown());
    EXPECT_FALSE(frame->StatusPicture()->IsShown());
    EXPECT_FALSE(frame->PleaseWaitBox()->IsShown());
}

TEST_F(MainWindowTest, EnglishLanguageShowsTheEnglishCatalogue)
{
    GuiTest::ModalAnswerer noBoxes;
    ASSERT_EQ(InitLocale(LocaleCell(), LanguageFromStored(StoredLanguageEnglish)), 0);
    OpenFrame(false);
    EXPECT_EQ(frame->FindWindow(ID_CHANGE_SIG_PIN)->GetLabel(), "Change 6-digit PIN");
    EXPECT_EQ(frame->FindWindow(ID_UPDATE_CERTIFICATES)->GetLabel(), "Replace certificates");
    wxListItem column;
    column.SetMask(wxLIST_MASK_TEXT);
    frame->CardList()->GetColumn(0, column);
    EXPECT_EQ(column.GetText(), "Card number");
    EXPECT_TRUE(GuiTest::SaveScreenshot(frame, "main-window-english"));
    CloseFrame();
    LocaleCell().reset();
}
