// A card renewed through the simulated server goes on taking identity links: the register search
// and the download are signed with the renewed encryption certificate, which the requester must
// accept as it accepts the card issuer's own.

#include "RenewalFixture.h"
#include "ZmrTestScenario.h"

#include <algorithm>

namespace
{
using RenewedCardIdentityLink = RenewalFixture;

TEST_F(RenewedCardIdentityLink, ARenewedCardSignsWithItsNewCertificateAndTakesTheLink)
{
    for (const int cardType : {2, kCardOsType})
    {
        SCOPED_TRACE(cardType);
        ResetCard(original, cardType,
                  [](QuendrySim::Card& card)
                  { card.FindObject("PERSONENBINDUNG")->value.clear(); });
        ASSERT_TRUE(Renew(OnlineServicesSim::RenewalScenario(), cardType));
        const ByteVector renewed = service->Runs().back().encryptionCertificate;
        ASSERT_FALSE(renewed.empty());
        const size_t before = server.Requests().size();
        // The register answers any signer with the card's number.
        OnlineServicesSim::AddZmrService(
            server, ZmrTest::Scenario(CardOfType(original, cardType).serial.substr(0, 12)));

        std::string link;
        TakeIdentityLink(cardType, link);
        QuendrySim::CardSet set = env.Load();
        EXPECT_EQ(CardOfType(set, cardType).FindObject("PERSONENBINDUNG")->value,
                  ZmrTest::IdentityRecord());
        const auto requests = server.Requests();
        const auto search = std::find_if(
            requests.begin() + static_cast<std::ptrdiff_t>(before), requests.end(),
            [](const auto& request) { return request.endpoint == "ZmrSession/ZmrSearch"; });
        ASSERT_NE(search, requests.end());
        const std::string signedSearchText = Member(search->body, "ZmrSearchReq");
        ASSERT_FALSE(signedSearchText.empty());
        const ByteVector signedSearch = Base64().Decode(signedSearchText);
        EXPECT_TRUE(std::search(signedSearch.begin(), signedSearch.end(), renewed.begin(),
                                renewed.end()) != signedSearch.end())
            << "the search is signed with the renewed certificate";
    }
}
} // namespace
