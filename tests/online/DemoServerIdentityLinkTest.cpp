// The server program that the demo starts renews with a CA of its own, whose certificates a
// renewed card must take identity links with as it does with the card issuer's own.

#include "RenewalFixture.h"

#include "core/codec/Base64.h"
#include "sim/cardmodule/cardset/OpenSsl.h"
#include "tests/sim/onlineservices/SimProcess.h"

#include <openssl/objects.h>
#include <openssl/x509.h>

#include <memory>
#include <vector>

namespace
{
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
