// The card list as the start-up refresh and the reload button fill it from the card-list worker.
#include "tests/ui/FrameFixture.h"
#include "ui/WindowIds.h"

#include <algorithm>
#include <map>
#include <openssl/x509.h>
#include <wx/utils.h>

namespace
{
const char* const DisplayNames[9] = {
    "Quendry Tavrel ACOS 03",   "Quendry Tavrel ACOS 04",    "Quendry Tavrel ACOS 05",
    "Quendry Tavrel e-Card G2", "Quendry Tavrel e-Card G3A", "Quendry Tavrel e-Card G3B",
    "Quendry Tavrel e-Card G4", "Quendry Tavrel CardOS 5.3", "Quendry Tavrel ACOS-ID"};

// The holder's name straight from the certificate, read with libcrypto.
std::string CommonName(const ByteVector& der)
{
    const unsigned char* cursor = der.data();
    X509* certificate = d2i_X509(nullptr, &cursor, static_cast<long>(der.size()));
    if (certificate == nullptr)
        return std::string();
    char name[256] = {};
    X509_NAME_get_text_by_NID(X509_get_subject_name(certificate), NID_commonName, name,
                              sizeof name);
    X509_free(certificate);
    return name;
}

struct ExpectedRow
{
    std::string number;
    std::string holder;
    std::string typeName;
    bool mark;
    int cardType;
};

class CardListTest : public FrameFixture
{
protected:
    // Every container card gets one entry, except the type-2 card whose container is empty; the
    // type-5 card loses its certificates. Gives the rows expected, in the order of reading.
    std::vector<ExpectedRow> PrepareCards()
    {
        std::vector<ExpectedRow> rows;
        for (QuendrySim::Slot& slot : cards.slots)
        {
            if (!slot.card)
                continue;
            QuendrySim::Card& card = *slot.card;
            if (QuendrySim::CardObject* infobox = card.FindObject("INFOBOX"))
                infobox->value = card.cardType == 2
                                     ? ByteVector{0x41, 0x49, 0x4B, 0x01}
                                     : ByteVector{0x41, 0x49, 0x4B, 0x00, 0x01, 0x00,
                                                  0x03, 0x00, 0xAA, 0xBB, 0xCC, 0x00};
            if (card.cardType == 5)
                card.objects.erase(std::remove_if(card.objects.begin(), card.objects.end(),
                                                  [](const QuendrySim::CardObject& object) {
                                                      return object.objectClass ==
                                                             QuendrySim::ObjectClass::Certificate;
                                                  }),
                                   card.objects.end());
            QuendrySim::CardObject* certificate = card.FindObject("C.CH.EKEY");
            rows.push_back({card.serial, certificate ? CommonName(certificate->value) : "unbekannt",
                            DisplayNames[card.cardType], certificate && card.cardType != 2,
                            card.cardType});
        }
        SaveCards();
        return rows;
    }

    // Opens the window on these cards while the worker's slot list is held.
    void OpenDuringAHeldRefresh(const std::vector<int>& types)
    {
        KeepCardTypes(types);
        HoldNextCall("C_GetSlotList");
        OpenFrame(false);
        ASSERT_TRUE(GuiTest::WaitUntil([this] { return frame->IsRefreshing(); }));
    }

    int ImageOf(long row, int column)
    {
        wxListItem item;
        item.SetId(row);
        item.SetColumn(column);
        item.SetMask(wxLIST_MASK_IMAGE);
        frame->CardList()->GetItem(item);
        return item.GetImage();
    }
};
} // namespace

TEST_F(CardListTest, StartupListsEveryCardInReverseReadingOrderWithMarksAndClosesItsSessions)
{
    const std::vector<ExpectedRow> expected = PrepareCards();
    ASSERT_EQ(expected.size(), 9u);
    OpenFrame();
    wxListCtrl* list = frame->CardList();
    ASSERT_EQ(list->GetItemCount(), 9);
    for (long row = 0; row < 9; ++row)
    {
        const ExpectedRow& card = expected[expected.size() - 1 - row];
        SCOPED_TRACE(card.typeName);
        EXPECT_EQ(list->GetItemText(row, 0), wxString::FromUTF8(card.number));
        EXPECT_EQ(list->GetItemText(row, 1), wxString::FromUTF8(card.holder));
        EXPECT_EQ(list->GetItemText(row, 2), wxString::FromUTF8(card.typeName));
        EXPECT_EQ(static_cast<long>(list->GetItemData(row)), card.cardType);
        EXPECT_EQ(ImageOf(row, 0), frame->CardPictureIndex());
        EXPECT_EQ(ImageOf(row, 3), card.mark ? frame->OkPictureIndex() : -1);
    }
    // The card read last is on top and selected.
    EXPECT_EQ(list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED), 0);
    // The picture shows the ok mark exactly in the rows that have one.
    wxImage shot;
    ASSERT_TRUE(GuiTest::SaveScreenshot(frame, "card-list", &shot));
    const wxRect listArea = GuiTest::AreaIn(list, frame);
    int rowsSeen = 0;
    for (long row = 0; row < 9; ++row)
    {
        wxRect cell;
        ASSERT_TRUE(list->GetSubItemRect(row, 3, cell));
        if (cell.GetBottom() >= list->GetClientSize().y)
            break;
        ++rowsSeen;
        cell.Offset(listArea.GetPosition());
        const bool mark = expected[expected.size() - 1 - row].mark;
        const int green = GuiTest::CountPixels(shot, cell,
                                               [](unsigned char r, unsigned char g, unsigned char b)
                                               { return g > r + 60 && g > b + 60; });
        EXPECT_EQ(green > 20, mark) << "row " << row << ": " << green << " green pixels";
    }
    EXPECT_GE(rowsSeen, 3);

    // Each card's token information is read by the slot list and once by the card information,
    // which asks for the session once; the ACOS-ID key length is searched once.
    int open = 0;
    int sessionInfo = 0;
    int keyLengthSearches = 0;
    std::map<std::string, int> tokenInfoBySlot;
    for (const auto& call : sim.Calls())
    {
        if (call.rv == 0)
            open += (call.function == "C_OpenSession") - (call.function == "C_CloseSession");
        sessionInfo += call.function == "C_GetSessionInfo";
        keyLengthSearches +=
            call.function == "C_FindObjectsInit" && call.Field("label") == "PK.CH.EKEY";
        if (call.function == "C_GetTokenInfo")
            ++tokenInfoBySlot[call.Field("slot")];
    }
    EXPECT_EQ(open, 0);
    EXPECT_EQ(frame->Token()->CurrentSlotIndex(), -1);
    EXPECT_EQ(sessionInfo, 9);
    EXPECT_EQ(keyLengthSearches, 1);
    EXPECT_EQ(tokenInfoBySlot.size(), 9u);
    for (const auto& [slot, reads] : tokenInfoBySlot)
        EXPECT_EQ(reads, 2) << "slot " << slot;
}

TEST_F(CardListTest, CardOfNoKnownTypeShowsItsLabel)
{
    KeepCardTypes({1});
    cards.slots[0].card->model = "Mystery 1.0";
    SaveCards();
    OpenFrame();
    ASSERT_EQ(frame->CardList()->GetItemCount(), 1);
    EXPECT_EQ(frame->CardList()->GetItemText(0, 2).Trim(), "Quendry Tavrel ACOS 04");
    EXPECT_EQ(static_cast<long>(frame->CardList()->GetItemData(0)), -1);
}

TEST_F(CardListTest, CardWhoseSessionFailsIsMissing)
{
    KeepCardTypes({0, 3, 4});
    cards.faults.push_back({"C_OpenSession", 0x30, 1, 1}); // the second card's session
    SaveCards();
    OpenFrame();
    wxListCtrl* list = frame->CardList();
    ASSERT_EQ(list->GetItemCount(), 2);
    EXPECT_EQ(static_cast<long>(list->GetItemData(0)), 4);
    EXPECT_EQ(static_cast<long>(list->GetItemData(1)), 0);
}

TEST_F(CardListTest, NoCardsLeavesEveryControlEnabledAndReloadReadsTheCardsAgain)
{
    KeepCardTypes({});
    OpenFrame();
    EXPECT_EQ(frame->CardList()->GetItemCount(), 0);
    EXPECT_TRUE(frame->IsEnabled());
    EXPECT_EQ(ControlsNotIn(true), std::vector<int>{});

    KeepCardTypes({0, 7});
    Press(ID_RELOAD_CARDS);
    ASSERT_TRUE(WaitForRefresh());
    ASSERT_EQ(frame->CardList()->GetItemCount(), 2);
    EXPECT_EQ(static_cast<long>(frame->CardList()->GetItemData(0)), 7);
}

TEST_F(CardListTest, SlowRefreshDisablesEverythingAndShowsThePleaseWaitBox)
{
    ASSERT_NO_FATAL_FAILURE(OpenDuringAHeldRefresh({0, 1}));
    EXPECT_FALSE(frame->IsEnabled());
    EXPECT_EQ(ControlsNotIn(false), std::vector<int>{});
    EXPECT_TRUE(frame->PleaseWaitBox()->IsShown());
    EXPECT_TRUE(wxIsBusy());
    wxImage shot;
    ASSERT_TRUE(GuiTest::SaveScreenshot(frame->PleaseWaitBox(), "please-wait", &shot));
    wxWindow* label = frame->PleaseWaitBox()->FindWindow("staticText");
    ASSERT_NE(label, nullptr);
    EXPECT_NEAR(GuiTest::InkWidth(shot, GuiTest::AreaIn(label, frame->PleaseWaitBox())),
                GuiTest::InkWidthOfText(label->GetLabel(), label->GetFont()), 2)
        << "the box shows its whole text";

    // A second reload while the worker runs is ignored, and nothing gets enabled.
    wxCommandEvent reload(wxEVT_BUTTON, ID_RELOAD_CARDS);
    frame->OnReloadCards(reload);
    frame->EnableControls(true);
    EXPECT_FALSE(frame->IsEnabled());

    OpenGate();
    ASSERT_TRUE(WaitForRefresh());
    EXPECT_TRUE(frame->IsEnabled());
    EXPECT_FALSE(frame->PleaseWaitBox()->IsShown());
    EXPECT_FALSE(wxIsBusy());
    EXPECT_EQ(frame->CardList()->GetItemCount(), 2);
    EXPECT_EQ(CallsOf("C_Initialize"), 2); // the window's own and one refresh
}

TEST_F(CardListTest, ClosingDuringARefreshJoinsTheWorkerBeforeTheModuleIsUnloaded)
{
    ASSERT_NO_FATAL_FAILURE(OpenDuringAHeldRefresh({0}));
    CloseFrame(); // opens the gate: the worker goes on while the window waits for it
    ASSERT_GT(CallCount(), 0u);
    EXPECT_EQ(sim.Calls().back().function, "C_Finalize");
    EXPECT_EQ(CallsOf("C_Finalize"), 2); // the worker's reload, then the window's end
    EXPECT_FALSE(wxIsBusy());
}

TEST_F(CardListTest, ModuleMissingAtStartLeavesTheWindowWorkingAndTheReloadTriesAgain)
{
    KeepCardTypes({0, 7});
    Corvane::acPKCS11::SetModuleFile(sim.ModulePath() + ".missing");
    OpenFrame();
    EXPECT_EQ(frame->CardList()->GetItemCount(), 0);
    EXPECT_TRUE(frame->IsEnabled());
    EXPECT_EQ(ControlsNotIn(true), std::vector<int>{});
    EXPECT_FALSE(frame->PleaseWaitBox()->IsShown());

    Corvane::acPKCS11::SetModuleFile(sim.ModulePath());
    Press(ID_RELOAD_CARDS);
    ASSERT_TRUE(WaitForRefresh());
    EXPECT_EQ(frame->CardList()->GetItemCount(), 2);
}

TEST_F(CardListTest, CardWhoseInformationCannotBeReadShowsItsLabelAndNoMark)
{
    // Type 0 keeps the fixed Infobox entries, which would give it a mark.
    KeepCardTypes({0});
    cards.slots[0].card->label = "Labelled card";
    // The slot list reads the token information first, the card information second.
    cards.faults.push_back({"C_GetTokenInfo", 0x30, 1, 1});
    SaveCards();
    OpenFrame();
    wxListCtrl* list = frame->CardList();
    ASSERT_EQ(list->GetItemCount(), 1);
    QuendrySim::Card& card = *cards.slots[0].card;
    EXPECT_EQ(list->GetItemText(0, 1),
              wxString::FromUTF8(CommonName(card.FindObject("C.CH.EKEY")->value)));
    EXPECT_EQ(list->GetItemText(0, 2).Trim(), "Labelled card");
    EXPECT_EQ(static_cast<long>(list->GetItemData(0)), -1);
    EXPECT_EQ(ImageOf(0, 3), -1);
}
