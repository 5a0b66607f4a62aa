// A card renewed through the simulated server goes on taking identity links: the register search
// and the download are signed with the renewed encryption certificate, which the requester must
// accept as it accepts the card issuer's own.

#include "RenewalFixture.h"
#include "ZmrTestScenario.h"

#include "online/ZmrRequester.h"

namespace
{
using RenewedCardIdentityLink = RenewalFixture;

TEST_F(RenewedCardIdentityLink, ARenewedCardTakesAnIdentityLink)
{
    for (const int cardType : {2, kCardOsType})
    {
        SCOPED_TRACE(cardType);
        ResetCard(original, cardType,
                  [](QuendrySim::Card& card)
                  { card.FindObject("PERSONENBINDUNG")->value.clear(); });
        ASSERT_TRUE(Renew(OnlineServicesSim::RenewalScenario(), cardType));
        // The register answers any signer with the card's number.
        OnlineServicesSim::AddZmrService(
            server, ZmrTest::Scenario(CardOfType(original, cardType).serial.substr(0, 12)));
        Script({QuendrySim::DialogAnswer::Enter({"1234"}),
                QuendrySim::DialogAnswer::Enter({"1234"}),
                QuendrySim::DialogAnswer::Enter({"1234"})});

        ZmrRequester requester("DE");
        requester.SetToken(wrapper.get());
        requester.SetSlotIndex(IndexOf(cardType));
        ZmrSearchResult result;
        std::string cin;
        std::string link;
        ASSERT_TRUE(requester.Search(result)) << ::testing::PrintToString(log.Lines());
        ASSERT_TRUE(requester.GetInfobox(result.toBeSigned, cin, link));
        EXPECT_TRUE(requester.DoWriteInfobox(cin, link));
        // The write read the slot list afresh.
        ASSERT_TRUE(wrapper->GetSlots(slots, true));
        QuendrySim::CardSet set = env.Load();
        EXPECT_EQ(CardOfType(set, cardType).FindObject("PERSONENBINDUNG")->value,
                  ZmrTest::IdentityRecord());
    }
}
} // namespace
