// The Infobox dialog opened from the real main window against the simulated card module.
#include "tests/ui/FrameFixture.h"
#include "tests/ui/ModalScript.h"

#include "core/codec/ByteCodec.h"
#include "ui/InfoboxBereich.h"
#include "ui/NoPersB.h"
#include "ui/WindowIds.h"

#include <wx/msgdlg.h>

namespace
{
using QuendrySim::DialogAnswer;

// Lets the Infobox dialog run its modal loop and hands it to drive once its timer has filled it;
// the wizard ends at once with the code given, message boxes with OK. Records what the user saw:
// "wizard", "Title: message" and "end N" when the Infobox dialog ends.
class InfoboxUser : public wxModalDialogHook
{
public:
    InfoboxUser(std::function<void(InfoboxBereich&)> drive, int wizardEnd = IdentityLinkNotWritten,
                std::function<void()> onShow = {})
        : drive(std::move(drive)), wizardEnd(wizardEnd), onShow(std::move(onShow))
    {
        Register();
    }
    ~InfoboxUser() override { Unregister(); }
    std::vector<std::string> seen;

protected:
    int Enter(wxDialog* dialog) override
    {
        if (auto* box = dynamic_cast<InfoboxBereich*>(dialog))
        {
            if (onShow)
                onShow();
            box->CallAfter([this, box] { Drive(*box); });
            return wxID_NONE;
        }
        if (dynamic_cast<NoPersB*>(dialog) != nullptr)
        {
            seen.push_back("wizard");
            return wizardEnd;
        }
        if (auto* message = dynamic_cast<wxMessageDialogBase*>(dialog))
        {
            seen.push_back((message->GetTitle() + ": " + message->GetMessage()).utf8_string());
            return wxID_OK;
        }
        ADD_FAILURE() << "unexpected dialog " << dialog->GetTitle();
        return wxID_CANCEL;
    }
    void Exit(wxDialog* dialog) override
    {
        if (dynamic_cast<InfoboxBereich*>(dialog) != nullptr)
            seen.push_back("end " + std::to_string(dialog->GetReturnCode()));
    }

private:
    void Drive(InfoboxBereich& box)
    {
        EXPECT_TRUE(GuiTest::WaitUntil(
            [&] { return !box.IsModal() || (!box.Timer().IsRunning() && box.IsEnabled()); }));
        if (box.IsModal())
            drive(box);
        if (box.IsModal())
            box.EndModal(wxID_ABORT);
    }

    std::function<void(InfoboxBereich&)> drive;
    int wizardEnd;
    std::function<void()> onShow;
};

void Choose(InfoboxBereich& box, const char* line)
{
    wxListBox* list = box.EntryList();
    const int index = list->FindString(line, true);
    ASSERT_NE(index, wxNOT_FOUND) << line;
    list->SetSelection(index);
    wxCommandEvent event(wxEVT_LISTBOX, ID_INFOBOX_ENTRY_LIST);
    event.SetInt(index);
    event.SetEventObject(list);
    list->GetEventHandler()->ProcessEvent(event);
}

std::vector<std::string> Lines(InfoboxBereich& box)
{
    std::vector<std::string> lines;
    for (const wxString& line : box.EntryList()->GetStrings())
        lines.push_back(line.utf8_string());
    return lines;
}

const ByteVector Container = {0x41, 0x49, 0x4B, 0x01, 1, 0, 0, 0, 2, 2, 0, 0, 3, 1, 0, 0, 0};
const ByteVector AbValue = {0x00, 0x41, 0x42};
const ByteVector AnsiValue = {0x4B, 0xE4, 0x80, 0x00, 0x5A};

class InfoboxDialogTest : public FrameFixture
{
protected:
    // One card of each type, the container's tags 1 to 3 with the flags 0, 2 and 1.
    void OpenWith(const std::vector<int>& types)
    {
        KeepCardTypes(types);
        for (QuendrySim::Slot& slot : cards.slots)
        {
            QuendrySim::Card& card = *slot.card;
            const bool container = card.FindObject("INFOBOX") != nullptr;
            if (container)
                card.FindObject("INFOBOX")->value = Container;
            card.FindObject(container ? "0x02" : "RFU1")->value = AbValue;
            card.FindObject(container ? "0x03" : "RFU2")->value = AnsiValue;
        }
        SaveCards();
        OpenFrame();
    }
    void ShowInfobox(int cardType)
    {
        SelectRow(RowOfType(cardType));
        Press(ID_SHOW_INFOBOX);
    }
    // The card of that type as the module keeps it now.
    QuendrySim::Card& CardOfType(int cardType)
    {
        cards = sim.Load();
        for (QuendrySim::Slot& slot : cards.slots)
        {
            if (slot.card && slot.card->cardType == cardType)
                return *slot.card;
        }
        ADD_FAILURE() << "no card of type " << cardType;
        return *cards.slots.front().card;
    }
    QuendrySim::CardObject& CardObject(int cardType, const char* label)
    {
        return *CardOfType(cardType).FindObject(label);
    }
};

struct ShownEntry
{
    const char* line;
    std::string hex;      // of the card's value when empty
    std::wstring text;    // of the identity link its first character
    std::wstring content; // the text view's when empty
    bool toggle;
    const wchar_t* label;
};

const std::wstring JoergsLink =
    L"Vorname: Jörg\r\nNachname: Weiß\r\nGeburtsdatum: 1963-02-11\r\n\r\n"
    L"IssuerTemplate: http://idl.quendry.example/template/1\r\n"
    L"IssueInstant: 2024-03-01T10:00:00+01:00\r\n";
const std::wstring LenasLink =
    L"Vorname: Lena\r\nNachname: Hofbauer\r\nGeburtsdatum: 1960-01-10\r\n\r\n"
    L"IssuerTemplate: http://idl.quendry.example/template/1\r\n"
    L"IssueInstant: 2024-03-01T10:00:00+01:00\r\n";
} // namespace

TEST_F(InfoboxDialogTest, ViewsOfContainerAndFixedEntries)
{
    const wchar_t* encrypt = L"verschlüsselt speichern";
    const wchar_t* decrypt = L"unverschlüsselt speichern";
    const struct
    {
        int cardType;
        std::vector<std::string> lines;
        const char* identityLabel;
        std::vector<ShownEntry> shown;
    } cases[] = {
        {1,
         {"01 PERSONENBINDUNG", "02 RFU1", "03 RFU2"},
         "0x01",
         {{"03 RFU2", "4B E4 80 00 5A", L"Kä€", L"", true, decrypt},
          {"02 RFU1", "00 41 42", L"", L"", true, encrypt}, // flags 2: bit 0 clear
          {"01 PERSONENBINDUNG", "", L"0", JoergsLink, true, encrypt}}},
        {0,
         {"Personenbindung", "RFU1", "RFU2"},
         "PERSONENBINDUNG",
         {{"RFU2", "4B E4 80 00 5A", L"Kä€", L"", false, encrypt},
          {"Personenbindung", "", L"0", LenasLink, false, encrypt},
          {"RFU1", "00 41 42", L"", L"", false, encrypt}}},
    };
    OpenWith({0, 1});
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.cardType);
        const ByteVector identityLink = CardObject(c.cardType, c.identityLabel).value;
        InfoboxUser user(
            [&](InfoboxBereich& box)
            {
                EXPECT_EQ(Lines(box), c.lines);
                EXPECT_EQ(box.EntryList()->GetSelection(), wxNOT_FOUND);
                ASSERT_EQ(box.Notebook()->GetPageCount(), 2u);
                EXPECT_EQ(box.Notebook()->GetPageText(0), "Inhalt");
                EXPECT_EQ(box.Notebook()->GetPageText(1), "Binary");
                EXPECT_TRUE(box.HexView()->GetFont().IsFixedWidth());
                for (const ShownEntry& entry : c.shown)
                {
                    SCOPED_TRACE(entry.line);
                    Choose(box, entry.line);
                    const int reads = CallsOf("C_GetAttributeValue");
                    Choose(box, entry.line);
                    EXPECT_EQ(CallsOf("C_GetAttributeValue"), reads) << "read again";
                    EXPECT_EQ(box.HexView()->GetValue(),
                              entry.hex.empty() ? BytesToHex(identityLink, HEX_UPPER) : entry.hex);
                    const wxString text = box.TextView()->GetValue();
                    EXPECT_EQ(entry.hex.empty() ? text.Left(1) : text, entry.text);
                    EXPECT_EQ(box.ContentView()->GetValue(),
                              entry.content.empty() ? box.TextView()->GetValue() : entry.content);
                    EXPECT_EQ(box.ToggleButton()->IsEnabled(), entry.toggle);
                    EXPECT_EQ(box.ToggleButton()->GetLabel(), entry.label);
                }
                GuiTest::Click(&box, ID_INFOBOX_CLOSE);
            });
        ShowInfobox(c.cardType);
        EXPECT_EQ(user.seen, std::vector<std::string>{"end 0"});
    }
}

TEST_F(InfoboxDialogTest, ToggleStoresTheEntryWithItsPrivateFlagTurnedOver)
{
    OpenWith({1});
    const struct
    {
        const char* line;
        const char* label;
        unsigned char flags;       // in the container afterwards
        const wchar_t* labelAfter; // once the entry is chosen again
    } steps[] = {{"02 RFU1", "0x02", 3, L"unverschlüsselt speichern"},
                 {"02 RFU1", "0x02", 2, L"verschlüsselt speichern"},
                 {"03 RFU2", "0x03", 0, L"verschlüsselt speichern"}};
    InfoboxUser user(
        [&](InfoboxBereich& box)
        {
            // The private value read back asks for the PIN once.
            sim.ScriptDialog({DialogAnswer::Enter({"1234"})});
            for (const auto& step : steps)
            {
                SCOPED_TRACE(step.line);
                Choose(box, step.line);
                GuiTest::Click(&box, ID_INFOBOX_TOGGLE);
                EXPECT_EQ(box.EntryList()->GetSelection(), wxNOT_FOUND);
                EXPECT_FALSE(box.ToggleButton()->IsEnabled());
                EXPECT_EQ(box.HexView()->GetValue(), "");
                const QuendrySim::CardObject& object = CardObject(1, step.label);
                EXPECT_EQ(object.value, step.flags == 0 ? AnsiValue : AbValue);
                EXPECT_EQ(object.isPrivate, (step.flags & 1) != 0);
                EXPECT_EQ(CardObject(1, "INFOBOX").value[4 * (step.line[1] - '0') + 1], step.flags);
                Choose(box, step.line);
                EXPECT_EQ(box.ToggleButton()->GetLabel(), step.labelAfter);
            }
            // A card that refuses the write changes nothing, on the card or on screen.
            cards = sim.Load();
            cards.faults.push_back({"C_SetAttributeValue", 6, 0, 1, 0});
            SaveCards();
            const ByteVector before = CardObject(1, "INFOBOX").value;
            GuiTest::Click(&box, ID_INFOBOX_TOGGLE);
            EXPECT_EQ(box.EntryList()->GetStringSelection(), "03 RFU2");
            EXPECT_EQ(box.HexView()->GetValue(), "4B E4 80 00 5A");
            EXPECT_TRUE(box.ToggleButton()->IsEnabled());
            EXPECT_EQ(CardObject(1, "INFOBOX").value, before);
        });
    ShowInfobox(1);
}

TEST_F(InfoboxDialogTest, WizardOfferedWhereNoIdentityLinkCanBeRead)
{
    const std::string noEntries =
        "Information: Derzeit ist keine Personenbindung auf Ihrer Karte vorhanden";
    const struct
    {
        int cardType;
        bool emptyBeforeCommand; // the container, else when the dialog comes up
        const char* chosen;      // an entry without an identity link
        int wizardEnd;
        std::vector<std::string> seen;
    } cases[] = {
        {1, true, nullptr, IdentityLinkNotWritten, {noEntries}},
        {1, false, nullptr, IdentityLinkNotWritten, {"wizard", "end 0"}},
        {2, false, nullptr, IdentityLinkWritten, {"wizard", "end 1"}},
        {5, false, nullptr, IdentityLinkNotWritten, {"end 1"}},
        {6, false, nullptr, IdentityLinkNotWritten, {"end 1"}},
        {0, false, "Personenbindung", IdentityLinkNotWritten, {"wizard", "end 0"}},
        {3, false, "Personenbindung", IdentityLinkNotWritten, {"end 0"}},
        {4, false, "Personenbindung", IdentityLinkNotWritten, {"end 0"}},
    };
    KeepCardTypes({0, 1, 2, 3, 4, 5, 6});
    OpenFrame();
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.cardType);
        QuendrySim::Card& card = CardOfType(c.cardType);
        const char* emptied = c.chosen ? "PERSONENBINDUNG" : "INFOBOX";
        const ByteVector kept = card.FindObject(emptied)->value;
        card.FindObject(emptied)->value.clear();
        if (c.emptyBeforeCommand || c.chosen)
            SaveCards();
        InfoboxUser user(
            [&](InfoboxBereich& box)
            {
                if (c.chosen)
                    Choose(box, c.chosen);
                EXPECT_EQ(box.HexView()->GetValue(), "");
                if (box.IsModal())
                    GuiTest::Click(&box, ID_INFOBOX_CLOSE);
            },
            c.wizardEnd, [&] { SaveCards(); });
        ShowInfobox(c.cardType);
        EXPECT_EQ(user.seen, c.seen);
        card.FindObject(emptied)->value = kept;
        SaveCards();
    }
}
