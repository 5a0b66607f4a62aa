// The services that the Windows tests reach through quendry-sim-control take every member of
// their scenarios across, and a renewal run comes back with what the service recorded: values
// apart from the defaults, so a member that stayed behind shows.

#include "OnlineTestSupport.h"

#include "core/codec/Base64.h"
#include "online/ZmrSearchResult.h"
#include "sim/onlineservices/RenewalService.h"
#include "sim/onlineservices/ZmrService.h"

#include <openssl/pkcs7.h>

#include <memory>

namespace
{
using OnlineServicesSim::RenewalFault;

std::vector<std::string>
FaultTexts(const std::map<std::string, OnlineServicesSim::StepFault>& faults)
{
    std::vector<std::string> texts;
    for (const auto& [step, fault] : faults)
        texts.push_back(step + " " + std::to_string(static_cast<int>(fault.kind)) + " " +
                        fault.member);
    return texts;
}

TEST_F(OnlineClientTest, ARenewalRunRecordsEveryMemberOfItsScenarioAndTheCheck)
{
    OnlineServicesSim::TestPki ca;
    ASSERT_TRUE(OnlineServicesSim::MakeRsaCa("Remote Renewal CA", ca));
    OnlineServicesSim::RenewalService service(ca);
    service.Install(server);
    OnlineServicesSim::RenewalScenario scenario;
    scenario.certUpdateFound = false;
    scenario.newEncCert = false;
    scenario.newSigCert = false;
    scenario.holder = "Remote Holder";
    scenario.holderByCin = {{"123456789012", "Registered Holder"}, {"210987654321", ""}};
    scenario.acosEncryptionKey = {0x30, 0x00, 0xFF, 0x0A};
    scenario.fallbackKey = {0x00, 0x3A, 0x0D};
    scenario.cardOsVersion = "05030207";
    scenario.cardOsMissingFiles = {"C000", "2F01"};
    scenario.faults = {{"Cardos2", {RenewalFault::WrongMac, "persoDataCert"}},
                       {"Done", {RenewalFault::Status, ""}}};
    service.SetScenario(scenario);

    OnlineServicesClient client;
    bool newEnc = true;
    bool newSig = true;
    EXPECT_FALSE(client.CertUpdateCheck(2, "123456789012", "3456", "11", "22", newEnc, newSig));
    EXPECT_FALSE(client.UpdateCheckFailed());
    EXPECT_FALSE(newEnc || newSig);

    const auto runs = service.Runs();
    ASSERT_EQ(runs.size(), 1u);
    const OnlineServicesSim::RenewalScenario& recorded = runs[0].scenario;
    EXPECT_EQ(recorded.certUpdateFound, scenario.certUpdateFound);
    EXPECT_EQ(recorded.newEncCert, scenario.newEncCert);
    EXPECT_EQ(recorded.newSigCert, scenario.newSigCert);
    EXPECT_EQ(recorded.holder, scenario.holder);
    EXPECT_EQ(recorded.holderByCin, scenario.holderByCin);
    EXPECT_EQ(recorded.acosEncryptionKey, scenario.acosEncryptionKey);
    EXPECT_EQ(recorded.fallbackKey, scenario.fallbackKey);
    EXPECT_EQ(recorded.cardOsVersion, scenario.cardOsVersion);
    EXPECT_EQ(recorded.cardOsMissingFiles, scenario.cardOsMissingFiles);
    EXPECT_EQ(FaultTexts(recorded.faults), FaultTexts(scenario.faults));
    EXPECT_EQ(runs[0].cardType, 2);
    EXPECT_EQ(runs[0].cin, "123456789012");
    EXPECT_EQ(runs[0].csn, "3456");
    EXPECT_EQ(runs[0].steps, std::vector<std::string>{"CertUpdate"});
    EXPECT_FALSE(runs[0].done);
}

// PKCS#7 signed data of the text with the CA's own key, in Base64, as the card would sign it.
std::string Signed(const OnlineServicesSim::TestPki& signer, const std::string& text)
{
    OnlineServicesSim::BioPtr content(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
    std::unique_ptr<PKCS7, decltype(&PKCS7_free)> signature(PKCS7_sign(signer.caCertificate.get(),
                                                                       signer.caKey.get(), nullptr,
                                                                       content.get(), PKCS7_BINARY),
                                                            PKCS7_free);
    unsigned char* der = nullptr;
    const int length = signature ? i2d_PKCS7(signature.get(), &der) : 0;
    std::string base64;
    if (length > 0)
        Base64Encode(ByteVector(der, der + length), base64);
    OPENSSL_free(der);
    return base64;
}

TEST_F(OnlineClientTest, TheRegisterAnswersWithEveryMemberOfTheSignersEntry)
{
    OnlineServicesSim::TestPki signer;
    ASSERT_TRUE(OnlineServicesSim::MakeRsaCa("Remote Signer", signer));
    OnlineServicesSim::ZmrPerson other;
    other.commonName = "Someone Else";
    other.fields = {{"GivenName", "Other"}, {"toBeSigned", "Not for the signer"}};
    OnlineServicesSim::ZmrPerson person;
    person.commonName = "Remote Signer";
    person.fields = {{"GivenName", "Remote"}, {"Locality", "Graz"}, {"toBeSigned", "Entry text"}};
    person.identityLink = "MAMCAQE=";
    person.cin = "123456789012";
    OnlineServicesSim::ZmrScenario scenario;
    scenario.sessionText = "A session text of the remote register";
    scenario.persons = {other, person};
    OnlineServicesSim::AddZmrService(server, scenario);

    OnlineServicesClient client;
    std::string toBeSigned;
    ASSERT_TRUE(client.CreateSession("DE", toBeSigned));
    EXPECT_EQ(toBeSigned, scenario.sessionText);
    ZmrSearchResult result;
    ASSERT_TRUE(client.ZmrSearchRequest(Signed(signer, toBeSigned), result));
    EXPECT_EQ(result.GivenName, L"Remote");
    EXPECT_EQ(result.Locality, L"Graz");
    EXPECT_EQ(result.toBeSigned, L"Entry text");
    std::string link;
    std::string cin;
    ASSERT_TRUE(client.ZmrGetInfoboxRequest("Entry text", Signed(signer, "Entry text"), link, cin));
    EXPECT_EQ(link, person.identityLink);
    EXPECT_EQ(cin, person.cin);
}
} // namespace
