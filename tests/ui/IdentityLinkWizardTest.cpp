// The identity-link wizard driven through the real main window against the simulated card module
// and the simulated server over real sockets.
#include "tests/online/ZmrTestScenario.h"
#include "tests/ui/FrameFixture.h"

#include "online/OnlineServicesClient.h"
#include "sim/onlineservices/LoopbackServer.h"
#include "ui/NoPersB.h"
#include "ui/WindowIds.h"

#include <functional>
#include <wx/msgdlg.h>
#include <wx/stattext.h>
#include <wx/utils.h>

namespace
{
using QuendrySim::DialogAnswer;

// Lets the wizard be shown and hands it to drive once its modal loop runs; message boxes are
// answered with OK. Records what the user saw, in order: "Title: message" for each box and
// "end N" when the wizard ends.
class WizardDriver : public wxModalDialogHook
{
public:
    explicit WizardDriver(std::function<void(NoPersB&)> drive) : drive(std::move(drive))
    {
        Register();
    }
    ~WizardDriver() override { Unregister(); }
    const std::vector<std::string>& Seen() const { return seen; }

protected:
    int Enter(wxDialog* dialog) override
    {
        if (auto* wizard = dynamic_cast<NoPersB*>(dialog))
        {
            wizard->CallAfter([this, wizard] { drive(*wizard); });
            return wxID_NONE;
        }
        if (auto* box = dynamic_cast<wxMessageDialogBase*>(dialog))
        {
            seen.push_back((box->GetTitle() + ": " + box->GetMessage()).utf8_string());
            return wxID_OK;
        }
        ADD_FAILURE() << "unexpected dialog " << dialog->GetTitle();
        return wxID_CANCEL;
    }
    void Exit(wxDialog* dialog) override
    {
        if (dynamic_cast<NoPersB*>(dialog) != nullptr)
            seen.push_back("end " + std::to_string(dialog->GetReturnCode()));
    }

private:
    std::function<void(NoPersB&)> drive;
    std::vector<std::string> seen;
};

int WindowsWithId(wxWindow* window, int id)
{
    int count = window->GetId() == id;
    for (wxWindow* child : window->GetChildren())
        count += WindowsWithId(child, id);
    return count;
}

// Presses a button of the page shown; false when the page has none of that id.
bool Click(NoPersB& wizard, int id)
{
    wxWindow* button = wizard.Page()->FindWindow(id);
    if (button == nullptr || !button->IsEnabled())
        return false;
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(click);
    return true;
}

void CollectTexts(wxWindow* window, std::vector<wxString>& texts)
{
    for (wxWindow* child : window->GetChildren())
    {
        if (auto* text = dynamic_cast<wxStaticText*>(child))
            texts.push_back(text->GetLabelText());
        CollectTexts(child, texts);
    }
}

// The texts of the page shown, as the user reads them.
std::vector<wxString> PageTexts(NoPersB& wizard)
{
    std::vector<wxString> texts;
    CollectTexts(wizard.Page(), texts);
    return texts;
}

std::string TallText(int lines)
{
    std::string text = "Zeile 1";
    for (int line = 2; line <= lines; ++line)
        text += "\nZeile " + std::to_string(line);
    return text;
}

// The register's text on the data page, as signed but for added line breaks, and the page with
// its buttons within a 1024 x 768 screen.
void ExpectRegisterTextOnScreen(NoPersB& wizard, const wxString& registerText)
{
    wxString unbroken = registerText;
    unbroken.Replace("\n", "");
    bool shown = false;
    for (wxString text : PageTexts(wizard))
    {
        text.Replace("\n", "");
        shown = shown || text == unbroken;
    }
    EXPECT_TRUE(shown);
    const wxSize size = wizard.GetSize();
    EXPECT_LE(size.x, 1024);
    EXPECT_LE(size.y, 768);
    const wxRect client(wizard.GetClientSize());
    for (int id : {ID_SIGN_REGISTER_TEXT, ID_CANCEL_IDENTITY_LINK})
    {
        wxWindow* button = wizard.Page()->FindWindow(id);
        ASSERT_NE(button, nullptr);
        const wxRect place(wizard.ScreenToClient(button->GetScreenPosition()), button->GetSize());
        EXPECT_TRUE(client.Contains(place)) << "button " << id;
    }
}

const int YesButtons[3] = {ID_SEARCH_REGISTER, ID_SIGN_REGISTER_TEXT, ID_WRITE_TO_CARD};
const std::string Written =
    "Information: Die Personenbindung wurde erfolgreich auf Ihre Karte aufgebracht";

class IdentityLinkWizardTest : public FrameFixture
{
protected:
    void SetUp() override
    {
        FrameFixture::SetUp();
        ASSERT_TRUE(server.StartPlain());
        OnlineServicesClient::SetBaseAddressForTesting(server.BaseUrl());
        KeepCardTypes({0, 1, 4});
        // An empty container: the type-1 row starts without a mark.
        cards.slots[1].card->FindObject("INFOBOX")->value = {0x41, 0x49, 0x4B, 0x01};
        for (QuendrySim::Slot& slot : cards.slots)
        {
            for (const char* label : {"PERSONENBINDUNG", "0x01"})
            {
                if (QuendrySim::CardObject* object = slot.card->FindObject(label))
                    object->value.clear();
            }
        }
        SaveCards();
        Serve(ZmrTest::Base64Of(ZmrTest::IdentityRecord()));
        OpenFrame();
        row = RowOfType(1);
        SelectRow(row);
        marksBefore = Marks();
    }
    void TearDown() override
    {
        FrameFixture::TearDown();
        OnlineServicesClient::SetBaseAddressForTesting("");
    }

    void Serve(const std::string& identityLink,
               const std::string& registerText = ZmrTest::kRegisterText)
    {
        OnlineServicesSim::ZmrScenario scenario =
            ZmrTest::Scenario(cards.slots[1].card->serial.substr(0, 12));
        scenario.persons[0].identityLink = identityLink;
        scenario.persons[0].fields["toBeSigned"] = registerText;
        OnlineServicesSim::AddZmrService(server, scenario);
    }

    // The next call of an endpoint fails with status 500.
    void FailNext(const std::string& endpoint)
    {
        unsigned calls = 1;
        for (const auto& request : server.Requests())
            calls += request.endpoint == endpoint;
        server.SetReply(endpoint, calls, OnlineServicesSim::JsonReply("{}", 500));
    }

    void ScriptPins(int count)
    {
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(sim.ScriptDialog({DialogAnswer::Enter({"1234"})}));
    }

    std::vector<std::string> RunWizard(const std::function<void(NoPersB&)>& drive)
    {
        WizardDriver driver(drive);
        Press(ID_WRITE_IDENTITY_LINK);
        EXPECT_FALSE(wxIsBusy());
        return driver.Seen();
    }

    // Presses the "JA" buttons of the first pages in turn.
    static void Advance(NoPersB& wizard, int pages)
    {
        for (int page = 0; page < pages; ++page)
            ASSERT_TRUE(Click(wizard, YesButtons[page])) << "page " << page;
    }

    std::vector<int> Marks()
    {
        std::vector<int> marks;
        for (long i = 0; i < frame->CardList()->GetItemCount(); ++i)
        {
            wxListItem item;
            item.SetId(i);
            item.SetColumn(3);
            item.SetMask(wxLIST_MASK_IMAGE);
            frame->CardList()->GetItem(item);
            marks.push_back(item.GetImage());
        }
        return marks;
    }

    ByteVector StoredLink()
    {
        return sim.Load().slots[1].card->FindObject("PERSONENBINDUNG")->value;
    }

    OnlineServicesSim::LoopbackServer server;
    long row = -1;
    std::vector<int> marksBefore;
};

TEST_F(IdentityLinkWizardTest, TheThreeStepsWriteTheRecordAndMarkOnlyTheSelectedRow)
{
    ASSERT_EQ(marksBefore[row], -1);
    frame->language = 57;
    const struct
    {
        const char* name;
        std::string text; // UTF-8
    } registers[] = {{"register text", ZmrTest::kRegisterText},
                     {"a 440-character line", "Meldeadresse: " + std::string(426, 'W')},
                     {"60 lines", TallText(60)}};
    for (const auto& r : registers)
    {
        SCOPED_TRACE(r.name);
        Serve(ZmrTest::Base64Of(ZmrTest::IdentityRecord()), r.text);
        ScriptPins(3);
        const auto seen = RunWizard(
            [&r](NoPersB& wizard)
            {
                EXPECT_EQ(wizard.GetTitle(), wxString::FromUTF8("Personenbindung aufbringen"));
                ASSERT_TRUE(Click(wizard, ID_SEARCH_REGISTER));
                ExpectRegisterTextOnScreen(wizard, wxString::FromUTF8(r.text));
                EXPECT_EQ(wizard.GetDefaultItem(), nullptr);
                EXPECT_TRUE(GuiTest::WaitUntil(
                    [&] { return WindowsWithId(&wizard, ID_CANCEL_IDENTITY_LINK) == 1; }));
                EXPECT_EQ(WindowsWithId(&wizard, ID_SEARCH_REGISTER), 0);
                ASSERT_TRUE(Click(wizard, ID_SIGN_REGISTER_TEXT));
                ASSERT_NE(wizard.GetDefaultItem(), nullptr);
                EXPECT_EQ(wizard.GetDefaultItem()->GetId(), ID_WRITE_TO_CARD);
                ASSERT_TRUE(Click(wizard, ID_WRITE_TO_CARD));
            });
        // The server hands out the identity link only for the register's text, byte for byte,
        // signed by the card.
        EXPECT_EQ(seen, (std::vector<std::string>{Written, "end 4"}));
        EXPECT_EQ(StoredLink(), ZmrTest::IdentityRecord());
        std::vector<int> expected = marksBefore;
        expected[row] = frame->OkPictureIndex();
        EXPECT_EQ(Marks(), expected);
        EXPECT_EQ(server.Requests().front().body, "{\n    \"lang\": \"EN\"\n}");
    }
}

TEST_F(IdentityLinkWizardTest, CancelOnAnyPageEndsWithOneAndWritesNothing)
{
    for (int page = 0; page < 3; ++page)
    {
        SCOPED_TRACE(page);
        ScriptPins(page);
        const auto seen = RunWizard(
            [page](NoPersB& wizard)
            {
                Advance(wizard, page);
                ASSERT_TRUE(Click(wizard, ID_CANCEL_IDENTITY_LINK));
            });
        EXPECT_EQ(seen, (std::vector<std::string>{"end 1"}));
        EXPECT_TRUE(StoredLink().empty());
        EXPECT_EQ(Marks(), marksBefore);
    }
}

TEST_F(IdentityLinkWizardTest, AFailedStepShowsItsBoxAndEndsWithOne)
{
    const struct
    {
        const char* name;
        std::function<void()> fault;
        int pins;
        int pages;
        std::string box;
    } cases[] = {
        {"search", [this] { FailNext("ZmrSession/ZmrSearch"); }, 1, 1,
         "Fehler: ZMR-Suche fehlgeschlagen"},
        {"download", [this] { FailNext("ZmrSession/ZmrGetInfobox"); }, 2, 2,
         "Fehler: Fehler beim Herunterladen der Personenbindung"},
        {"record of 127 bytes",
         [this]
         {
             ByteVector shortRecord = ZmrTest::IdentityRecord();
             shortRecord.resize(127);
             Serve(ZmrTest::Base64Of(shortRecord));
         },
         2, 3, "Fehler: Fehler beim Schreiben auf die Karte"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        c.fault();
        ScriptPins(c.pins);
        const int pages = c.pages;
        const auto seen = RunWizard([pages](NoPersB& wizard) { Advance(wizard, pages); });
        EXPECT_EQ(seen, (std::vector<std::string>{c.box, "end 1"}));
        EXPECT_TRUE(StoredLink().empty());
        EXPECT_EQ(Marks(), marksBefore);
    }
}

TEST_F(IdentityLinkWizardTest, AnECardGetsNoWizard)
{
    SelectRow(RowOfType(4));
    WizardDriver driver([](NoPersB&) { ADD_FAILURE() << "wizard for an e-card"; });
    wxCommandEvent press(wxEVT_BUTTON, ID_WRITE_IDENTITY_LINK);
    frame->OnWriteIdentityLink(press);
    EXPECT_TRUE(driver.Seen().empty());
}
} // namespace
