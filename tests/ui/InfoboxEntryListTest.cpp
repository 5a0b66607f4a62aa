// The Infobox entry rule against the simulated card module, for both kinds of card.
#include "ui/cards/InfoboxEntryList.h"
#include "sim/cardmodule/testsupport/SimEnvironment.h"
#include "token/HexText.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace
{
ByteVector Hex(const std::string& text)
{
    ByteVector bytes;
    HexStr2BinData(text, bytes);
    return bytes;
}

std::string Padded(unsigned long bytes)
{
    return "41494B0001000100AA" + std::string(2 * (bytes - 9), '0');
}

class InfoboxEntryListTest : public ::testing::Test
{
protected:
    void SetUp() override { Corvane::acPKCS11::SetModuleFile(sim.ModulePath()); }
    void TearDown() override
    {
        if (token)
            token->Destroy();
        token.reset();
        Corvane::acPKCS11::SetModuleFile("");
    }

    // Leaves only the card of that type; its "INFOBOX" value replaced when given.
    void UseCard(int cardType, const ByteVector* infobox = nullptr)
    {
        QuendrySim::CardSet cards = sim.Load();
        std::vector<QuendrySim::Slot> kept;
        for (QuendrySim::Slot& slot : cards.slots)
        {
            if (slot.card && slot.card->cardType == cardType)
                kept.push_back(slot);
        }
        ASSERT_EQ(kept.size(), 1u);
        if (infobox != nullptr)
        {
            QuendrySim::CardObject* object = kept[0].card->FindObject("INFOBOX");
            ASSERT_NE(object, nullptr);
            object->value = *infobox;
        }
        cards.slots = kept;
        ASSERT_TRUE(sim.Save(cards));
        token = std::make_unique<Corvane::acPKCS11>();
        std::vector<Corvane::TokenSlot*> slots;
        ASSERT_TRUE(token->GetSlots(slots, true));
        ASSERT_EQ(slots.size(), 1u);
    }

    int OpenedSessions() const
    {
        int opened = 0;
        for (const auto& call : sim.Calls())
            opened += call.function == "C_OpenSession";
        return opened;
    }

    QuendrySim::SimEnvironment sim;
    std::unique_ptr<Corvane::acPKCS11> token;
};
} // namespace

TEST_F(InfoboxEntryListTest, ContainerValuesGiveTheirLines)
{
    const struct
    {
        const char* name;
        std::string value;
        bool listed;
        std::vector<std::string> lines;
    } cases[] = {
        {"one entry", "41494B0001000300AABBCC00", true, {"01 PERSONENBINDUNG"}},
        {"tags 2 and 0x0A", "41494B00020001001F0A00010020", true, {"02 RFU1", "0a RFU2"}},
        {"duplicate tags",
         "41494B000100010011010001002200",
         true,
         {"01 PERSONENBINDUNG", "01 PERSONENBINDUNG"}},
        {"header only", "41494B01", true, {}},
        {"version 2", "41494B020100010011", false, {}},
        {"three bytes", "41494B", false, {}},
        {"wrong magic", "41494C0001000100AA", false, {}},
        {"second entry too long", "41494B0001000100AA02000900BBBB", false, {}},
        {"128 zero bytes first", std::string(256, '0') + "41494B0001000100AA", false, {}},
        {"20 zero bytes", std::string(40, '0'), false, {}},
        // One entry, then zero bytes up to the buffer's size and one above it.
        {"filling the buffer",
         Padded(InfoboxEntryList::ValueBufferSize),
         true,
         {"01 PERSONENBINDUNG"}},
        {"one byte above the buffer", Padded(InfoboxEntryList::ValueBufferSize + 1), false, {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const ByteVector value = Hex(c.value);
        UseCard(1, &value);
        InfoboxEntryList list(*token, 0, 1);
        EXPECT_EQ(list.ListInfoboxEntries(), c.listed);
        EXPECT_EQ(list.Entries(), c.lines);
        EXPECT_EQ(list.LoadEntries(), !c.lines.empty());
        EXPECT_TRUE(list.ContainerMode());
        EXPECT_EQ(list.Entries(), c.lines);
        EXPECT_EQ(token->CurrentSlotIndex(), -1);
        token->Destroy();
    }
}

TEST_F(InfoboxEntryListTest, CardWithoutContainerListsTheFixedEntriesEveryTime)
{
    UseCard(0);
    InfoboxEntryList list(*token, 0, 0);
    const std::vector<std::string> fixed = {"Personenbindung", "RFU1", "RFU2"};
    for (int pass = 0; pass < 2; ++pass)
    {
        EXPECT_TRUE(list.LoadEntries());
        EXPECT_EQ(list.Entries(), fixed);
    }
    EXPECT_FALSE(list.ContainerMode());
}

TEST_F(InfoboxEntryListTest, ReadDataObjectReadsOnlyAnObjectOfACardInTheSlotList)
{
    const ByteVector value = Hex("41494B0001000100AA");
    UseCard(1, &value);
    InfoboxEntryList list(*token, 0, 1);
    ByteVector out;
    ASSERT_TRUE(list.ReadDataObject("INFOBOX", out));
    EXPECT_EQ(out, value);
    EXPECT_EQ(list.CurrentEntryBytes(), value);
    ByteVector missing;
    EXPECT_FALSE(list.ReadDataObject("NO SUCH OBJECT", missing));
    EXPECT_TRUE(missing.empty());
    EXPECT_TRUE(list.CurrentEntryBytes().empty());

    for (int index : {-1, 1})
    {
        SCOPED_TRACE(index);
        const int before = OpenedSessions();
        InfoboxEntryList outside(*token, index, 1);
        EXPECT_FALSE(outside.ReadDataObject("INFOBOX", out));
        EXPECT_EQ(OpenedSessions(), before);
        EXPECT_FALSE(outside.ListInfoboxEntries());
        EXPECT_TRUE(outside.Entries().empty());
    }
}

TEST_F(InfoboxEntryListTest, DemoCardSetStartsOnlyTheIdentityLinkCardWithoutEntries)
{
    const std::string command = "bash -c '. \"" QUENDRY_SOURCE_DIR "/scripts/demo-cards.sh\" && "
                                "demo_cards_empty_infobox \"$0\"' '" +
                                sim.CardSetPath() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const QuendrySim::CardSet demo = sim.Load();
    for (int cardType = 0; cardType <= 8; ++cardType)
    {
        SCOPED_TRACE(cardType);
        ASSERT_TRUE(sim.Save(demo));
        UseCard(cardType);
        InfoboxEntryList list(*token, 0, cardType);
        EXPECT_EQ(list.LoadEntries(), cardType != 1);
        ByteVector identityLink;
        EXPECT_TRUE(list.ReadDataObject("PERSONENBINDUNG", identityLink));
        EXPECT_EQ(identityLink.empty(), cardType == 1);
        token->Destroy();
    }
}
