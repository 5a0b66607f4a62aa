// The status line: its fader's steps and the fade of a message on the real window.
#include "tests/ui/FrameFixture.h"
#include "ui/StatusFader.h"
#include "ui/WindowIds.h"

namespace
{
wxImage OpaqueSquare()
{
    wxImage image(4, 4);
    image.SetRGB(wxRect(0, 0, 4, 4), 10, 200, 10);
    image.SetMaskColour(0, 0, 0);
    image.SetRGB(0, 0, 0, 0, 0); // one transparent pixel
    return image;
}

class StatusLineTest : public FrameFixture
{
};
} // namespace

TEST(StatusFader, ColourAndAlphaFollowTheStepsUntilTheLastEndsTheFade)
{
    const struct
    {
        int step;
        unsigned char grey;
        unsigned char alpha;
    } steps[] = {{1, 4, 249}, {25, 120, 127}, {49, 235, 5}};
    StatusFader fader;
    fader.Setup(*wxBLACK, wxColour(240, 240, 240), OpaqueSquare());
    int advances = 0;
    for (const auto& expected : steps)
    {
        SCOPED_TRACE(expected.step);
        for (; advances < expected.step; ++advances)
            ASSERT_TRUE(fader.Advance());
        EXPECT_EQ(fader.GetColour(), wxColour(expected.grey, expected.grey, expected.grey));
        const wxImage faded = fader.GetImage();
        ASSERT_TRUE(faded.HasAlpha());
        EXPECT_EQ(faded.GetAlpha(2, 2), expected.alpha);
        EXPECT_EQ(faded.GetAlpha(0, 0), 0); // transparent stays transparent
    }
    EXPECT_FALSE(fader.Advance()); // the 50th step is the last
    EXPECT_FALSE(fader.Advance());
    EXPECT_EQ(fader.Step(), 50);
    EXPECT_EQ(fader.GetColour(), wxColour(240, 240, 240));
}

TEST_F(StatusLineTest, NewMessageStartsOverFadesAfterItsTimelineAndEmptyTextHides)
{
    KeepCardTypes({});
    OpenFrame();
    frame->ShowStatus("erste", true);
    EXPECT_TRUE(StatusShowsError());
    ASSERT_TRUE(GuiTest::WaitUntil([this] { return frame->Fader().Step() >= 4; }, 5000));

    frame->ShowStatus("Fertig", false);
    EXPECT_EQ(StatusText(), "Fertig");
    EXPECT_FALSE(StatusShowsError());
    EXPECT_EQ(frame->Fader().Step(), 1);
    EXPECT_EQ(frame->FadeTimer().GetInterval(), 1500);
    // The picture shows the green picture beside the whole text, not over it.
    wxImage shot;
    ASSERT_TRUE(GuiTest::SaveScreenshot(frame, "status-line", &shot));
    const auto green = [](unsigned char r, unsigned char g, unsigned char b)
    { return g > r + 60 && g > b + 60; };
    const wxRect textArea = GuiTest::AreaIn(frame->StatusText(), frame);
    EXPECT_GT(GuiTest::CountPixels(shot, GuiTest::AreaIn(frame->StatusPicture(), frame), green),
              100);
    EXPECT_EQ(GuiTest::CountPixels(shot, textArea, green), 0);
    EXPECT_NEAR(GuiTest::InkWidth(shot, textArea),
                GuiTest::InkWidthOfText("Fertig", frame->StatusText()->GetFont()), 2);

    ASSERT_TRUE(GuiTest::WaitUntil([this] { return frame->Fader().Step() >= 2; }, 5000));
    EXPECT_EQ(frame->FadeTimer().GetInterval(), 100);
    ASSERT_TRUE(GuiTest::WaitUntil([this] { return !frame->StatusText()->IsShown(); }, 15000));
    EXPECT_EQ(frame->Fader().Step(), 50) << "hidden only at the last step of the fade";
    EXPECT_FALSE(frame->StatusPicture()->IsShown());
    EXPECT_FALSE(frame->FadeTimer().IsRunning());
    EXPECT_EQ(frame->StatusText()->GetForegroundColour(),
              frame->FindWindow(ID_SHOW_INFOBOX)->GetForegroundColour());

    frame->ShowStatus("zweite", false);
    frame->ShowStatus(wxEmptyString, false); // hides at once
    EXPECT_FALSE(frame->StatusText()->IsShown());
    EXPECT_FALSE(frame->StatusPicture()->IsShown());
}

TEST_F(StatusLineTest, DrawingTheStatusDispatchesNoWaitingCommand)
{
    KeepCardTypes({});
    OpenFrame();
    // A press that waits in the queue while the status line is drawn runs only afterwards.
    wxWindow* button = frame->FindWindow(ID_CHANGE_SIG_PIN);
    wxQueueEvent(button, new wxCommandEvent(wxEVT_BUTTON, ID_CHANGE_SIG_PIN));
    frame->ShowStatus("Fertig", false);
    EXPECT_EQ(StatusText(), "Fertig");
    ASSERT_TRUE(GuiTest::WaitUntil([this] { return StatusText() != "Fertig"; }, 5000));
    EXPECT_EQ(StatusText(), "Dieser Befehl ist mit einer leeren Karte nicht erlaubt!");
}
