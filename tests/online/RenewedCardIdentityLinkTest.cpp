// A card renewed through the simulated server goes on taking identity links: the register search
// and the download are signed with the renewed encryption certificate, which the requester must
// accept as it accepts the card issuer's own.

#include "RenewalFixture.h"
#include "ZmrTestScenario.h"

#include "online/ZmrRequester.h"

#include <rapidjson/document.h>

#include <algorithm>

namespace
{
using QuendrySim::DialogAnswer;

bool Holds(const ByteVector& bytes, const ByteVector& part)
{
    return !part.empty() &&
           std::search(bytes.begin(), bytes.end(), part.begin(), part.end()) != bytes.end();
}

ByteVector SignedRequest(const std::string& body)
{
    rapidjson::Document document;
    document.Parse(body.data(), body.size());
    if (document.HasParseError() || !document.IsObject() || !document.HasMember("ZmrSearchReq") ||
        !document["ZmrSearchReq"].IsString())
        return {};
    return Base64().Decode(document["ZmrSearchReq"].GetString());
}

class RenewedCardIdentityLink : public RenewalFixture
{
protected:
    void SetUp() override
    {
        RenewalFixture::SetUp();
        // The ACOS renewal reads its registry setting; this store has none.
        setenv("QUENDRY_REGISTRY_DIR", env.Folder().c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("QUENDRY_REGISTRY_DIR");
        RenewalFixture::TearDown();
    }

    std::unique_ptr<ZmrRequester> Requester(int cardType)
    {
        EXPECT_TRUE(wrapper->GetSlots(slots, true));
        auto requester = std::make_unique<ZmrRequester>("DE");
        requester->SetToken(wrapper.get());
        requester->SetSlotIndex(IndexOf(cardType));
        return requester;
    }

    // The wizard's three steps; the register answers any signer with the card's number.
    bool WriteIdentityLink(int cardType)
    {
        const std::string cin = CardOfType(original, cardType).serial.substr(0, 12);
        OnlineServicesSim::AddZmrService(server, ZmrTest::Scenario(cin));
        Script({DialogAnswer::Enter({"1234"}), DialogAnswer::Enter({"1234"}),
                DialogAnswer::Enter({"1234"})});
        const auto requester = Requester(cardType);
        ZmrSearchResult result;
        std::string downloadedCin;
        std::string link;
        const bool written = requester->Search(result) &&
                             requester->GetInfobox(result.toBeSigned, downloadedCin, link) &&
                             Requester(cardType)->DoWriteInfobox(downloadedCin, link);
        // The write read the slot list afresh.
        EXPECT_TRUE(wrapper->GetSlots(slots, true));
        return written;
    }
};

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
        const size_t before = server.Requests().size();

        ASSERT_TRUE(WriteIdentityLink(cardType)) << ::testing::PrintToString(log.Lines());
        QuendrySim::CardSet set = env.Load();
        EXPECT_EQ(CardOfType(set, cardType).FindObject("PERSONENBINDUNG")->value,
                  ZmrTest::IdentityRecord());
        const auto requests = server.Requests();
        ASSERT_GT(requests.size(), before + 1);
        EXPECT_TRUE(Holds(SignedRequest(requests[before + 1].body), renewed))
            << "the search is signed with the renewed certificate";
    }
}
} // namespace
