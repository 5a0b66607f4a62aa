// The command buttons follow the card type of the selected row.
#include "tests/ui/FrameFixture.h"
#include "ui/WindowIds.h"

namespace
{
const int RuleButtons[6] = {ID_CHANGE_INFOBOX_PIN, ID_UNBLOCK_INFOBOX_PIN, ID_UNBLOCK_ENC_PIN,
                            ID_UNBLOCK_SIG_PIN,    ID_UPDATE_CERTIFICATES, ID_WRITE_IDENTITY_LINK};
// Buttons outside the rules, never touched by them.
const int OtherButtons[] = {ID_CHANGE_SIG_PIN, ID_SHOW_SIG_CERTIFICATE, ID_TEST_SIG_KEY,
                            ID_CHANGE_ENC_PIN, ID_SHOW_ENC_CERTIFICATE, ID_TEST_ENC_KEY,
                            ID_SHOW_INFOBOX};
using States = std::vector<bool>;
const States AllOff = {false, false, false, false, false, false};

struct RuleCase
{
    int previous; // the type selected when the controls are enabled again, as after a refresh
    int selected;
    States expected;
};

const RuleCase Cases[] = {
    {1, 0, {true, true, true, true, false, true}},
    {3, 0, {true, true, false, false, false, true}}, // 5439 and 5443 kept off
    {3, 1, {false, false, true, true, true, true}},
    {3, 2, {false, false, true, true, true, true}},
    {3, 7, {false, false, true, true, true, true}},
    {1, 3, AllOff},
    {1, 4, AllOff},
    {1, 5, AllOff},
    {1, 6, AllOff},
    {1, 8, {false, false, true, true, true, true}}, // everything kept from type 1
    {3, 8, AllOff},                                 // everything kept from type 3
    {0, 8, {true, true, true, true, false, true}},
    {1, -1, {false, false, true, true, true, true}},
    {4, -1, AllOff},
};

class CardTypeRulesTest : public FrameFixture
{
protected:
    // Every generated card and one of a model that no card type matches.
    void SetUp() override
    {
        FrameFixture::SetUp();
        QuendrySim::Slot unknown = cards.slots[0];
        unknown.id = 42;
        unknown.card->model = "Mystery 1.0";
        unknown.card->serial = "9999888877770001";
        cards.slots.push_back(unknown);
        SaveCards();
    }

    States ButtonStates()
    {
        States states;
        for (int id : RuleButtons)
            states.push_back(frame->FindWindow(id)->IsEnabled());
        return states;
    }
};
} // namespace

TEST_F(CardTypeRulesTest, EveryCardTypeSetsOrKeepsTheSixButtons)
{
    OpenFrame();
    ASSERT_EQ(frame->CardList()->GetItemCount(), 10);
    for (const RuleCase& rule : Cases)
    {
        SCOPED_TRACE(::testing::Message() << rule.previous << " then " << rule.selected);
        ASSERT_GE(RowOfType(rule.previous), 0);
        ASSERT_GE(RowOfType(rule.selected), 0);
        SelectRow(RowOfType(rule.previous));
        frame->EnableControls(true);
        SelectRow(RowOfType(rule.selected));
        EXPECT_EQ(ButtonStates(), rule.expected);
        for (int id : OtherButtons)
            EXPECT_TRUE(frame->FindWindow(id)->IsEnabled()) << id;
    }
}

TEST_F(CardTypeRulesTest, FirstRowAfterARefreshSetsTheButtons)
{
    // The card read last (type 3 here) is selected and decides at once.
    KeepCardTypes({1, 3});
    OpenFrame();
    EXPECT_EQ(static_cast<long>(frame->CardList()->GetItemData(0)), 3);
    EXPECT_EQ(ButtonStates(), AllOff);
}
