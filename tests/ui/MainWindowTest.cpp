// The main window's controls, title and layout as the user meets them.
#include "tests/ui/FrameFixture.h"
#include "ui/Language.h"
#include "ui/WindowIds.h"

#include <algorithm>
#include <wx/statbox.h>

namespace
{
struct ControlCase
{
    int id;
    const char* label; // UTF-8
    const char* groupBox;
};

// In the order of creation, which is the keyboard order.
const ControlCase Buttons[] = {
    {ID_RELOAD_CARDS, "", ""},
    {ID_UPDATE_CERTIFICATES, "Zertifikate ersetzen", "Onlinedienste"},
    {ID_WRITE_IDENTITY_LINK, "Personenbindung aufbringen", "Onlinedienste"},
    {ID_CHANGE_SIG_PIN, "6 stellige PIN ändern", "Signaturzertifikat"},
    {ID_UNBLOCK_SIG_PIN, "6 stellige PIN entsperren", "Signaturzertifikat"},
    {ID_SHOW_SIG_CERTIFICATE, "Zertifikat anzeigen", "Signaturzertifikat"},
    {ID_TEST_SIG_KEY, "Signatur testen", "Signaturzertifikat"},
    {ID_CHANGE_ENC_PIN, "4 stellige PIN ändern", "Geheimhaltungszertifikat"},
    {ID_UNBLOCK_ENC_PIN, "4 stellige PIN entsperren", "Geheimhaltungszertifikat"},
    {ID_SHOW_ENC_CERTIFICATE, "Zertifikat anzeigen", "Geheimhaltungszertifikat"},
    {ID_TEST_ENC_KEY, "Signatur testen", "Geheimhaltungszertifikat"},
    {ID_CHANGE_INFOBOX_PIN, "4 stellige PIN ändern", "Infoboxbereich"},
    {ID_UNBLOCK_INFOBOX_PIN, "4 stellige PIN entsperren", "Infoboxbereich"},
    {ID_SHOW_INFOBOX, "Infobox anzeigen", "Infoboxbereich"},
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

wxString ColumnText(wxListCtrl* list, int column, int* width = nullptr)
{
    wxListItem item;
    item.SetMask(wxLIST_MASK_TEXT | wxLIST_MASK_WIDTH | wxLIST_MASK_FORMAT);
    EXPECT_TRUE(list->GetColumn(column, item));
    EXPECT_EQ(item.GetAlign(), wxLIST_FORMAT_LEFT);
    if (width != nullptr)
        *width = item.GetWidth();
    return item.GetText();
}

class MainWindowTest : public FrameFixture
{
};
} // namespace

TEST_F(MainWindowTest, EveryControlHasItsIdLabelParentGroupAndOrderStatusHiddenMinimumKept)
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
    std::vector<int> order;
    for (wxWindow* child : panel->GetChildren())
    {
        if (child->GetId() >= ID_RELOAD_CARDS && child->GetId() <= ID_TEST_SIG_KEY)
            order.push_back(child->GetId());
    }
    ASSERT_EQ(order.size(), std::size(Buttons));
    for (size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(order[i], Buttons[i].id) << "creation order at " << i;

    wxListCtrl* list = frame->CardList();
    EXPECT_EQ(frame->FindWindow(ID_CARD_LIST), list);
    EXPECT_EQ(list->GetName(), "listCtrl");
    EXPECT_TRUE(list->HasFlag(wxLC_REPORT) && list->HasFlag(wxLC_SINGLE_SEL));
    const std::pair<const char*, int> columns[] = {{"Kartennummer", 170},
                                                   {"Ausgestellt für", 350},
                                                   {"Kartentyp", 190},
                                                   {"Personenbindung", 115}};
    ASSERT_EQ(list->GetColumnCount(), 4);
    for (int i = 0; i < 4; ++i)
    {
        int width = 0;
        EXPECT_EQ(ColumnText(list, i, &width), wxString::FromUTF8(columns[i].first));
        // Wider only where the platform needs more for the number or the heading.
        if (i == 1 || i == 2)
            EXPECT_EQ(width, columns[i].second);
        else
            EXPECT_GE(width, columns[i].second);
    }
    EXPECT_EQ(frame->StatusText()->GetParent(), panel);
    EXPECT_EQ(frame->StatusText()->GetName(), "staticText");
    EXPECT_EQ(frame->StatusText()->GetWindowStyleFlag() & wxALIGN_CENTRE, wxALIGN_CENTRE);
    EXPECT_EQ(frame->StatusPicture()->GetParent(), panel);
    EXPECT_EQ(frame->StatusPicture()->GetName(), "staticBitmap");
    EXPECT_FALSE(frame->StatusText()->IsShown() || frame->StatusPicture()->IsShown());
    EXPECT_FALSE(frame->PleaseWaitBox()->IsShown());
    // The banner shows; the hidden status line shows no picture.
    wxImage shot;
    ASSERT_TRUE(GuiTest::SaveScreenshot(frame, "main-window", &shot));
    const wxRect groupRow = GuiTest::AreaIn(frame->FindWindow(ID_SHOW_INFOBOX), frame);
    const wxRect statusRow(0, groupRow.GetBottom() + 20, shot.GetWidth(),
                           shot.GetHeight() - groupRow.GetBottom() - 20);
    const auto coloured = [](unsigned char r, unsigned char g, unsigned char b) {
        return std::max({r, g, b}) - std::min({r, g, b}) > 60;
    };
    EXPECT_EQ(GuiTest::CountPixels(shot, statusRow, coloured), 0);
    const wxRect bannerArea(0, 0, shot.GetWidth(), frame->CardList()->GetPosition().y);
    EXPECT_GT(GuiTest::CountPixels(shot, bannerArea,
                                   [](unsigned char r, unsigned char g, unsigned char b)
                                   { return b > r + 40 && b > g; }),
              10000);

    frame->SetSize(wxSize(300, 200));
    EXPECT_TRUE(GuiTest::WaitUntil(
        [this] { return frame->GetSize().x >= 800 && frame->GetSize().y >= 600; }))
        << "below the minimum";
}

TEST_F(MainWindowTest, TitleShowsTheConfiguredVersion)
{
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "Tessaview (x64)"}, {{"\"Version\"=\"4.2.1\""}, "Tessaview (4.2.1, x64)"}};
    for (const auto& [lines, title] : cases)
    {
        SCOPED_TRACE(title);
        registry.reset(); // the old store goes before the new one is set up
        registry = std::make_unique<GuiTest::RegistryFixture>(lines);
        OpenFrame(false);
        EXPECT_EQ(frame->GetTitle(), title);
        CloseFrame();
    }
}

TEST_F(MainWindowTest, EnglishLanguageShowsTheEnglishCatalogue)
{
    GuiTest::ModalAnswerer noBoxes; // a missing locale must not show a message either
    ASSERT_EQ(InitLocale(LocaleCell(), LanguageFromStored(StoredLanguageEnglish)), 0);
    OpenFrame(false);
    EXPECT_EQ(frame->FindWindow(ID_CHANGE_SIG_PIN)->GetLabel(), "Change 6-digit PIN");
    EXPECT_EQ(frame->FindWindow(ID_UPDATE_CERTIFICATES)->GetLabel(), "Replace certificates");
    EXPECT_EQ(ColumnText(frame->CardList(), 0), "Card number");
    CloseFrame();
    LocaleCell().reset();
}
