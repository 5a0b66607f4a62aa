// Where the main window's parts stand on the screen, and what its pictures show.
#include "tests/ui/FrameFixture.h"
#include "tests/ui/ListHeader.h"
#include "ui/Language.h"
#include "ui/WindowIds.h"

#include <wx/dcclient.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>

namespace
{
std::vector<wxStaticBox*> GroupBoxes(wxWindow* panel)
{
    std::vector<wxStaticBox*> boxes;
    for (wxWindow* child : panel->GetChildren())
        if (auto* box = dynamic_cast<wxStaticBox*>(child))
            boxes.push_back(box);
    std::sort(boxes.begin(), boxes.end(),
              [](wxWindow* a, wxWindow* b) { return a->GetPosition().x < b->GetPosition().x; });
    return boxes;
}

wxWindow* Banner(MainFrame* frame)
{
    for (wxWindow* child : frame->CardList()->GetParent()->GetChildren())
        if (dynamic_cast<wxStaticBitmap*>(child) && child != frame->StatusPicture())
            return child;
    return nullptr;
}

bool Green(unsigned char r, unsigned char g, unsigned char b)
{
    return g > r + 60 && g > b + 60;
}

class LayoutTest : public FrameFixture
{
protected:
    // The ink of the card number in a row that is not selected, and of a column's heading, as
    // the screen shows them, against the same texts drawn whole in the list's fonts.
    void ExpectWholeTexts(const wxImage& picture, const char* language)
    {
        SCOPED_TRACE(language);
        wxListCtrl* list = frame->CardList();
        ASSERT_GE(list->GetItemCount(), 2);
        wxRect cell;
        ASSERT_TRUE(list->GetSubItemRect(1, 0, cell));
        const wxRect listArea = GuiTest::AreaIn(list, frame);
        const int afterPicture = 31 + 2;
        const wxRect numberArea(listArea.x + cell.x + afterPicture, listArea.y + cell.y + 1,
                                cell.width - afterPicture, cell.height - 2);
        const wxString number = list->GetItemText(1, 0);
        EXPECT_EQ(number.length(), 16u);
        EXPECT_NEAR(GuiTest::InkWidth(picture, numberArea),
                    GuiTest::InkWidthOfText(number, list->GetFont()), 2)
            << "card number " << number;

        wxRect headerPlace;
        wxFont headerFont;
        ASSERT_TRUE(GuiTest::FindListHeader(list, headerPlace, headerFont));
        const wxRect headerArea(headerPlace.GetPosition() - frame->GetScreenPosition(),
                                headerPlace.GetSize());
        int left = headerArea.x;
        for (int column = 0; column < list->GetColumnCount(); ++column)
        {
            const int width = list->GetColumnWidth(column);
            wxListItem item;
            item.SetMask(wxLIST_MASK_TEXT);
            list->GetColumn(column, item);
            const wxRect area(left + 2, headerArea.y + 2, width - 4, headerArea.height - 4);
            EXPECT_NEAR(GuiTest::InkWidth(picture, area),
                        GuiTest::InkWidthOfText(item.GetText(), headerFont), 2)
                << "heading " << item.GetText();
            left += width;
        }
    }
};
} // namespace

TEST_F(LayoutTest, PartsStandInTheirPlacesAndTheStatusTextBesideItsPicture)
{
    OpenFrame();
    const wxString message = L"PIN Änderung erfolgreich!";
    frame->ShowStatus(message, false);
    wxWindow* panel = frame->CardList()->GetParent();
    const wxRect list = frame->CardList()->GetRect();
    const wxRect reload = frame->FindWindow(ID_RELOAD_CARDS)->GetRect();
    EXPECT_EQ(reload.x, list.GetRight() + 1) << "reload button right of the list";
    EXPECT_EQ(list.GetBottom() - reload.GetBottom(), 6) << "bottoms aligned but for its border";

    const std::vector<wxStaticBox*> boxes = GroupBoxes(panel);
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes.front()->GetRect().x, 12);
    EXPECT_EQ(boxes.back()->GetRect().GetRight(), panel->GetClientSize().x - 1 - 12);
    for (size_t i = 1; i < boxes.size(); ++i)
    {
        EXPECT_NEAR(boxes[i]->GetSize().x, boxes[0]->GetSize().x, 1) << i;
        EXPECT_EQ(boxes[i]->GetRect().x - boxes[i - 1]->GetRect().GetRight() - 1, 24) << i;
    }

    const int middle = panel->GetClientSize().x / 2;
    const wxRect banner = Banner(frame)->GetRect();
    EXPECT_NEAR(banner.x + banner.width / 2, middle, 1) << "banner centred";

    const wxRect picture = frame->StatusPicture()->GetRect();
    const wxRect text = frame->StatusText()->GetRect();
    EXPECT_LT(picture.GetRight(), text.x) << "picture left of the text, no overlap";
    EXPECT_GE(text.width, frame->StatusText()->GetTextExtent(message).x);
    EXPECT_NEAR((picture.x + text.GetRight()) / 2, middle, 2) << "status row centred";
    EXPECT_NEAR(picture.y + picture.height / 2, text.y + text.height / 2, 1);

    wxImage shot;
    ASSERT_TRUE(GuiTest::SaveScreenshot(frame, "main-window-status", &shot));
    const wxRect pictureArea = GuiTest::AreaIn(frame->StatusPicture(), frame);
    const wxRect textArea = GuiTest::AreaIn(frame->StatusText(), frame);
    EXPECT_GT(GuiTest::CountPixels(shot, pictureArea, Green), 100) << "the ok picture shows";
    EXPECT_EQ(GuiTest::CountPixels(shot, textArea, Green), 0) << "the picture covers the text";
    EXPECT_NEAR(GuiTest::InkWidth(shot, textArea),
                GuiTest::InkWidthOfText(message, frame->StatusText()->GetFont()), 2)
        << "the whole message shows";
}

TEST_F(LayoutTest, WholeCardNumbersAndHeadingsShowInGermanAndEnglish)
{
    const struct
    {
        const char* name;
        int language; // stored number; 0 keeps the German source texts
    } cases[] = {{"german", 0}, {"english", StoredLanguageEnglish}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        if (c.language != 0)
        {
            ASSERT_EQ(InitLocale(LocaleCell(), LanguageFromStored(c.language)), 0);
        }
        OpenFrame();
        wxListCtrl* list = frame->CardList();
        EXPECT_EQ(list->GetColumnWidth(1), 350) << "given widths kept where they fit";
        EXPECT_EQ(list->GetColumnWidth(2), 190);
        EXPECT_GE(list->GetColumnWidth(0), 170);
        EXPECT_GE(list->GetColumnWidth(3), 115);
        wxImage shot;
        ASSERT_TRUE(GuiTest::SaveScreenshot(frame, std::string("card-list-") + c.name, &shot));
        ExpectWholeTexts(shot, c.name);
        CloseFrame();
        LocaleCell().reset();
    }
}

// A grab shows what the window shows now, never an earlier picture of the screen.
TEST_F(LayoutTest, AGrabShowsTheLatestPictureAndAGrabOfNothingFails)
{
    OpenFrame();
    wxWindow* panel = frame->CardList()->GetParent();
    const wxRect area(wxPoint(0, 0), frame->GetSize());
    for (const wxColour& colour : {*wxRED, *wxBLUE, *wxRED})
    {
        panel->SetBackgroundColour(colour);
        panel->Refresh();
        const wxImage shot = GuiTest::GrabWindow(frame);
        ASSERT_TRUE(shot.IsOk());
        EXPECT_GT(GuiTest::CountPixels(shot, area,
                                       [&](unsigned char r, unsigned char g, unsigned char b) {
                                           return r == colour.Red() && g == colour.Green() &&
                                                  b == colour.Blue();
                                       }),
                  1000)
            << colour.GetAsString();
    }
    frame->Move(-5000, -5000);
    ASSERT_TRUE(GuiTest::WaitUntil([this] { return frame->GetScreenPosition().x < -2000; }));
    EXPECT_FALSE(GuiTest::GrabWindow(frame).IsOk()) << "a window off the screen cannot be grabbed";
}
