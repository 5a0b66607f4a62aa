// A card renewed through the simulated server goes on taking identity links: the register search
// and the download are signed with the renewed encryption certificate, which the requester must
// accept as it accepts the card issuer's own. The server program that the demo starts renews with
// a CA of its own, whose certificates must be as acceptable.

#include "RenewalFixture.h"
#include "ZmrTestScenario.h"

#include "sim/cardmodule/cardset/OpenSsl.h"
#include "tests/sim/onlineservices/SimProcess.h"

#include <openssl/objects.h>
#include <openssl/x509.h>

#include <algorithm>
#include <memory>
#include <vector>

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

std::string CommonName(X509_NAME* name)
{
    char text[128] = {};
    X509_NAME_get_text_by_NID(name, NID_commonName, text, sizeof text);
    return text;
}

// The demo's register entry for a card: found by its holder's name, answering with no identity
// link of its own, so the server makes one.
std::string RegisterEntry(const std::string& holder, const std::string& cin)
{
    return R"({"commonName": ")" + holder + R"(", "cin": ")" + cin +
           R"(", "register": {"ZmrSearchResp": "OK", "toBeSigned": "Name: )" + holder + R"("}})";
}

constexpr int kRenewedTypes[] = {2, kCardOsType};

// The server program started as the demo starts it, its register holding the cards' holders.
class DemoServerIdentityLink : public RenewalCards
{
protected:
    void SetUp() override
    {
        RenewalCards::SetUp();
        std::string persons;
        for (const int cardType : kRenewedTypes)
        {
            QuendrySim::Card& card = CardOfType(original, cardType);
            const auto certificate =
                QuendrySim::DecodeCertificate(card.FindObject("C.CH.EKEY")->value);
            ASSERT_TRUE(certificate);
            persons += (persons.empty() ? "" : ", ") +
                       RegisterEntry(CommonName(X509_get_subject_name(certificate.get())),
                                     card.serial.substr(0, 12));
        }
        WriteTextFile(folder.File("register.json"), R"({"persons": [)" + persons + "]}");
        sim = std::make_unique<SimProcess>(std::vector<std::string>{
            "--tls", folder.Path().string(), "--zmr", folder.File("register.json")});
        ASSERT_EQ(sim->ReadLine(), "ca file " + folder.File("ca.pem") + "\n");
        OnlineServicesClient::SetBaseAddressForTesting(
            "https://127.0.0.1:" + std::to_string(PortOf(sim->ReadLine())) +
            OnlineServicesSim::kBasePath);
        LibHttp2::TransportSettings settings;
        settings.trustedCaFile = folder.File("ca.pem");
        LibHttp2::SetTransportSettingsForTesting(settings);
    }
    void TearDown() override
    {
        LibHttp2::SetTransportSettingsForTesting({});
        RenewalCards::TearDown();
    }

    ScopedTempFolder folder;
    std::unique_ptr<SimProcess> sim;
};

TEST_F(DemoServerIdentityLink, ItsRenewedCardsAreSignedWithRsaAndTakeAnIdentityLink)
{
    for (const int cardType : kRenewedTypes)
    {
        SCOPED_TRACE(cardType);
        ASSERT_TRUE(RunUpdater(cardType)) << ::testing::PrintToString(log.Lines());
        QuendrySim::CardSet set = env.Load();
        for (const char* label : {"C.CH.EKEY", "C.CH.SIG"})
        {
            SCOPED_TRACE(label);
            const ByteVector& renewed = CardOfType(set, cardType).FindObject(label)->value;
            EXPECT_NE(renewed, CardOfType(original, cardType).FindObject(label)->value);
            const auto certificate = QuendrySim::DecodeCertificate(renewed);
            ASSERT_TRUE(certificate);
            EXPECT_EQ(CommonName(X509_get_issuer_name(certificate.get())),
                      "Quendry simulated renewal CA");
            EXPECT_EQ(X509_get_signature_nid(certificate.get()), NID_sha256WithRSAEncryption);
        }

        std::string link;
        TakeIdentityLink(cardType, link);
        set = env.Load();
        const ByteVector& written = CardOfType(set, cardType).FindObject("PERSONENBINDUNG")->value;
        EXPECT_FALSE(written.empty());
        EXPECT_EQ(written, Base64().Decode(link));
    }
}
} // namespace
