// The Infobox dialog opened from the real main window against the simulated card module.
#include "core/codec/ByteCodec.h"
#include "tests/ui/FrameFixture.h"
#include "tests/ui/ModalScript.h"
#include "ui/InfoboxBereich.h"
#include "ui/NoPersB.h"
#include "ui/WindowIds.h"

#include <wx/msgdlg.h>

namespace
{
// Runs the Infobox dialog's real modal loop and hands it to `drive` once its timer has filled it;
// the wizard ends at once with `wizardEnd`, message boxes with OK. `seen` records, in order,
// "wizard", "Title: message" and "end N" for the Infobox dialog.
struct InfoboxUser : wxModalDialogHook
{
    InfoboxUser(
        std::function<void(InfoboxBereich&)> drive, int wizardEnd = IdentityLinkNotWritten,
        std::function<void()> onShow = [] {})
        : drive(std::move(drive)), wizardEnd(wizardEnd), onShow(std::move(onShow))
    {
        Register();
    }
    ~InfoboxUser() override { Unregister(); }
    int Enter(wxDialog* dialog) override
    {
        auto* box = dynamic_cast<InfoboxBereich*>(dialog);
        if (box == nullptr)
        {
            auto* message = dynamic_cast<wxMessageDialogBase*>(dialog);
            seen.push_back(message
                               ? (message->GetTitle() + ": " + message->GetMessage()).utf8_string()
                               : "wizard");
            return message ? wxID_OK : wizardEnd;
        }
        onShow();
        box->CallAfter(
            [this, box]
            {
                GuiTest::WaitUntil(
                    [box] {
                        return !StillOpen(box) ||
                               (!box->Timer().IsRunning() && box->IsEnabled());
                    });
                if (StillOpen(box))
                    drive(*box);
                if (StillOpen(box))
                    box->EndModal(wxID_ABORT);
            });
        return wxID_NONE;
    }
    void Exit(wxDialog* dialog) override
    {
        if (dynamic_cast<InfoboxBereich*>(dialog) != nullptr)
            seen.push_back("end " + std::to_string(dialog->GetReturnCode()));
    }
    std::function<void(InfoboxBereich&)> drive;
    int wizardEnd;
    std::function<void()> onShow;
    std::vector<std::string> seen;
};

void Choose(InfoboxBereich& box, const char* line)
{
    box.EntryList()->SetStringSelection(line);
    wxCommandEvent event(wxEVT_LISTBOX, ID_INFOBOX_ENTRY_LIST);
    box.EntryList()->GetEventHandler()->ProcessEvent(event);
}

// A text control breaks lines at "\r\n" and at "\n" alike; Windows' control gives back "\n".
wxString LineBreaksAsShown(wxString text)
{
    text.Replace("\r\n", "\n");
    return text;
}

std::wstring Summary(const wchar_t* given, const wchar_t* family, const wchar_t* birth)
{
    return std::wstring(L"Vorname: ") + given + L"\r\nNachname: " + family + L"\r\nGeburtsdatum: " +
           birth +
           L"\r\n\r\nIssuerTemplate: http://idl.quendry.example/template/1\r\n"
           L"IssueInstant: 2024-03-01T10:00:00+01:00\r\n";
}

// The container's tags 1 to 4 carry the flags 0, 2, 1 and 0; tag 4 has no data object.
const ByteVector Container = {0x41, 0x49, 0x4B, 0x01, 1, 0, 0, 0, 2, 2, 0,
                              0,    3,    1,    0,    0, 4, 0, 0, 0, 0};
const ByteVector AbValue = {0x00, 0x41, 0x42};
const ByteVector AnsiValue = {0x4B, 0xE4, 0x80, 0x00, 0x5A};

class InfoboxDialogTest : public FrameFixture
{
protected:
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
    // As the module keeps it now.
    QuendrySim::CardObject& CardObject(int cardType, const char* label)
    {
        cards = sim.Load();
        for (QuendrySim::Slot& slot : cards.slots)
        {
            if (slot.card->cardType == cardType)
                return *slot.card->FindObject(label);
        }
        throw std::runtime_error("no such card");
    }
};
} // namespace

TEST_F(InfoboxDialogTest, ViewsOfContainerAndFixedEntries)
{
    const wchar_t* encrypt = L"verschlüsselt speichern";
    const wchar_t* decrypt = L"unverschlüsselt speichern";
    // clang-format off
    const struct { int cardType; const char* line; const char* hex; const wchar_t* text; const wchar_t* label; bool on; } rows[] = {
        {1, "03 RFU2", "4B E4 80 00 5A", L"Kä€", decrypt, true}, // flags 1
        {1, "04 RFU2", "", L"", encrypt, false},                 // unreadable
        {1, "02 RFU1", "00 41 42", L"", encrypt, true},          // flags 2: bit 0 clear
        {1, "01 PERSONENBINDUNG", nullptr, L"0", encrypt, true}, // the text's first character
        {0, "RFU2", "4B E4 80 00 5A", L"Kä€", encrypt, false},
        {0, "Personenbindung", nullptr, L"0", encrypt, false},
        {0, "RFU1", "00 41 42", L"", encrypt, false}};
    // clang-format on
    const std::map<int, std::wstring> summaries = {
        {1, Summary(L"Jörg", L"Weiß", L"1963-02-11")},
        {0, Summary(L"Lena", L"Hofbauer", L"1960-01-10")}};
    OpenWith({0, 1});
    for (const auto& [cardType, summary] : summaries)
    {
        SCOPED_TRACE(cardType);
        const std::string link =
            BytesToHex(CardObject(cardType, cardType ? "0x01" : "PERSONENBINDUNG").value, 1);
        InfoboxUser user(
            [&, cardType = cardType, summary = summary](InfoboxBereich& box)
            {
                EXPECT_EQ(box.EntryList()->GetSelection(), wxNOT_FOUND);
                ASSERT_EQ(box.Notebook()->GetPageCount(), 2u);
                EXPECT_EQ(box.Notebook()->GetPageText(0) + box.Notebook()->GetPageText(1),
                          "InhaltBinary");
                EXPECT_TRUE(box.HexView()->GetFont().IsFixedWidth());
                for (const auto& row : rows)
                {
                    if (row.cardType != cardType)
                        continue;
                    SCOPED_TRACE(row.line);
                    Choose(box, row.line);
                    const int reads = CallsOf("C_GetAttributeValue");
                    Choose(box, row.line);
                    EXPECT_EQ(CallsOf("C_GetAttributeValue"), reads) << "read again";
                    const wxString text = box.TextView()->GetValue();
                    EXPECT_EQ(box.HexView()->GetValue(), row.hex ? row.hex : link);
                    EXPECT_EQ(row.hex ? text : text.Left(1), row.text);
                    EXPECT_EQ(LineBreaksAsShown(box.ContentView()->GetValue()),
                              LineBreaksAsShown(row.hex ? text : summary));
                    EXPECT_EQ(box.ToggleButton()->IsEnabled(), row.on);
                    EXPECT_EQ(box.ToggleButton()->GetLabel(), row.label);
                }
                GuiTest::Click(&box, ID_INFOBOX_CLOSE);
            });
        ShowInfobox(cardType);
        EXPECT_EQ(user.seen, std::vector<std::string>{"end 0"});
    }
}

TEST_F(InfoboxDialogTest, ToggleStoresTheEntryWithItsPrivateFlagTurnedOver)
{
    OpenWith({1});
    // The flags in the container afterwards and the label once the entry is chosen again.
    // clang-format off
    const struct { const char* line; const char* label; unsigned char flags; const wchar_t* labelAfter; } steps[] = {
        {"02 RFU1", "0x02", 3, L"unverschlüsselt speichern"},
        {"02 RFU1", "0x02", 2, L"verschlüsselt speichern"},
        {"03 RFU2", "0x03", 0, L"verschlüsselt speichern"}};
    // clang-format on
    InfoboxUser user(
        [&](InfoboxBereich& box)
        {
            // Reading the value back once it is private asks for the PIN.
            sim.ScriptDialog({QuendrySim::DialogAnswer::Enter({"1234"})});
            for (const auto& step : steps)
            {
                SCOPED_TRACE(step.line);
                Choose(box, step.line);
                GuiTest::Click(&box, ID_INFOBOX_TOGGLE);
                EXPECT_EQ(box.EntryList()->GetSelection(), wxNOT_FOUND);
                EXPECT_FALSE(box.ToggleButton()->IsEnabled());
                EXPECT_EQ(box.HexView()->GetValue(), "");
                const QuendrySim::CardObject object = CardObject(1, step.label);
                EXPECT_EQ(object.value, step.flags == 0 ? AnsiValue : AbValue);
                EXPECT_EQ(object.isPrivate, (step.flags & 1) != 0);
                EXPECT_EQ(CardObject(1, "INFOBOX").value[4 * (step.line[1] - '0') + 1], step.flags);
                Choose(box, step.line);
                EXPECT_EQ(box.ToggleButton()->GetLabel(), step.labelAfter);
            }
            // A card that refuses the write changes nothing, on the card or on screen.
            cards = sim.Load();
            cards.faults.push_back({"C_SetAttributeValue", 6, 0, 1});
            SaveCards();
            const ByteVector before = CardObject(1, "INFOBOX").value;
            GuiTest::Click(&box, ID_INFOBOX_TOGGLE);
            EXPECT_EQ(box.EntryList()->GetStringSelection(), "03 RFU2");
            EXPECT_EQ(box.HexView()->GetValue(), "4B E4 80 00 5A");
            EXPECT_TRUE(box.ToggleButton()->IsEnabled());
            EXPECT_EQ(CardObject(1, "INFOBOX").value, before);
            GuiTest::Click(&box, ID_INFOBOX_CLOSE);
        });
    ShowInfobox(1);
    EXPECT_EQ(user.seen, std::vector<std::string>{"end 0"});
}

TEST_F(InfoboxDialogTest, WizardOfferedWhereNoIdentityLinkCanBeRead)
{
    const std::string noEntries =
        "Information: Derzeit ist keine Personenbindung auf Ihrer Karte vorhanden";
    // The container emptied before the command or when the dialog comes up, or the identity
    // link emptied and its entry chosen.
    // clang-format off
    const struct { int cardType; bool emptyBeforeCommand; const char* chosen; int wizardEnd; std::vector<std::string> seen; } cases[] = {
        {1, true, nullptr, 1, {noEntries}},
        {1, false, nullptr, IdentityLinkNotWritten, {"wizard", "end 0"}},
        {2, false, nullptr, IdentityLinkWritten, {"wizard", "end 1"}},
        {5, false, nullptr, 1, {"end 1"}},
        {6, false, nullptr, 1, {"end 1"}},
        {0, false, "Personenbindung", IdentityLinkNotWritten, {"wizard", "end 0"}},
        {3, false, "Personenbindung", 1, {"end 0"}},
        {4, false, "Personenbindung", 1, {"end 0"}}};
    // clang-format on
    KeepCardTypes({0, 1, 2, 3, 4, 5, 6});
    OpenFrame();
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.cardType);
        ByteVector& emptied =
            CardObject(c.cardType, c.chosen ? "PERSONENBINDUNG" : "INFOBOX").value;
        const ByteVector kept = emptied;
        emptied.clear();
        if (c.emptyBeforeCommand || c.chosen)
            SaveCards();
        InfoboxUser user(
            [&](InfoboxBereich& box)
            {
                if (c.chosen)
                    Choose(box, c.chosen);
                EXPECT_EQ(box.HexView()->GetValue(), "");
                if (StillOpen(&box))
                    GuiTest::Click(&box, ID_INFOBOX_CLOSE);
            },
            c.wizardEnd, [&] { SaveCards(); });
        ShowInfobox(c.cardType);
        EXPECT_EQ(user.seen, c.seen);
        emptied = kept;
        SaveCards();
    }
}
