// The renewal service of the simulated server seen from a plain HTTP client: runs keep their
// order, and what the card proves is checked with the shared test keys.

#include "sim/onlineservices/RenewalService.h"
#include "sim/onlineservices/LoopbackServer.h"
#include "sim/testkeys/TestKeys.h"

#include <httplib.h>
#include <rapidjson/document.h>

#include <gtest/gtest.h>

#include <map>

namespace
{
using OnlineServicesSim::Bytes;
using OnlineServicesSim::HexText;

const std::string kBase = OnlineServicesSim::kBasePath;
const std::string kCin = "471120240077";
const Bytes kChipId = {0x5A, 0x0A, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
const Bytes kRndIcc = {1, 1, 2, 2, 3, 3, 4, 4};
const Bytes kRndIfd = {0x3B, 0x7D, 0x1E, 0x95, 0xC0, 0xA4, 0xF2, 0x68};

class RenewalServiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(OnlineServicesSim::MakeRsaCa("Renewal Test CA", pki));
        service = std::make_unique<OnlineServicesSim::RenewalService>(pki);
        service->Install(server);
        ASSERT_TRUE(server.StartPlain());
    }

    int Post(const std::string& path, const std::string& body, rapidjson::Document& answer)
    {
        httplib::Client client("127.0.0.1", server.Port());
        auto result = client.Post((kBase + path).c_str(), body, "application/json");
        if (!result)
            return 0;
        answer.Parse(result->body.c_str());
        return result->status;
    }
    std::string Open(bool newSig = true)
    {
        OnlineServicesSim::RenewalScenario scenario;
        scenario.newSigCert = newSig;
        service->SetScenario(scenario);
        rapidjson::Document answer;
        EXPECT_EQ(200, Check(kCin, answer));
        EXPECT_TRUE(answer["newSigCertFound"].GetBool() == newSig);
        return answer["sessionid"].GetString();
    }
    // The update check of the CardOS card with that card identification number.
    int Check(const std::string& cin, rapidjson::Document& answer)
    {
        return Post("CertUpdate",
                    R"({"cardType": 7, "cin": ")" + cin +
                        R"(", "csn": "1049", "encSerial": "1", "sigSerial": "2"})",
                    answer);
    }
    int Step(const std::string& session, const std::string& step, const std::string& body,
             rapidjson::Document& answer)
    {
        return Post("CertUpdate/" + session + "/" + step, body, answer);
    }
    // What the generated card answers, one member changed when asked.
    std::string Cardos0Body(const std::string& member = "", const std::string& value = "") const
    {
        std::map<std::string, std::string> members = {
            {"idicc", HexText(kChipId)},  {"ef_version", "05030001"},
            {"C_X509_CH_DS", "9000"},     {"C_X509_CA_CS", "9000"},
            {"rndicc", HexText(kRndIcc)}, {"RND_IFD", HexText(kRndIfd)}};
        if (!member.empty())
            members[member] = value;
        std::string body;
        for (const auto& [name, text] : members)
            body += (body.empty() ? "{\"" : ", \"") + name + "\": \"" + text + "\"";
        return body + "}";
    }

    OnlineServicesSim::TestPki pki;
    std::unique_ptr<OnlineServicesSim::RenewalService> service;
    OnlineServicesSim::LoopbackServer server;
};

TEST_F(RenewalServiceTest, StepsOutOfOrderOrOfAnotherRunAreRefused)
{
    rapidjson::Document answer;
    const std::string session = Open();
    const struct
    {
        std::string session;
        std::string step;
        int status;
    } cases[] = {
        {"no-such-session", "Cardos0", 404},
        {session, "Cardos1", 409},
        {session, "Cardos0a", 409}, // the signature part runs
        {session, "Done", 409},
        {session, "Cardos0", 200},
        {session, "Cardos0", 409},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Step(c.session, c.step, Cardos0Body(), answer), c.status) << c.step;
    EXPECT_EQ(Step(Open(false), "Cardos0a", Cardos0Body(), answer), 200);
}

// A server with a register of cards finds no update for a number it does not know, the empty
// one that a failed read of the card sends included; one without renews any card.
TEST_F(RenewalServiceTest, WithARegisterOnlyItsCardsHaveAnUpdate)
{
    const struct
    {
        const char* name;
        bool registered;
        std::string cin;
        bool found;
    } cases[] = {
        {"no register", false, "999999999999", true},
        {"a registered card", true, kCin, true},
        {"another card", true, "999999999999", false},
        {"no number", true, "", false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        OnlineServicesSim::RenewalScenario scenario;
        if (c.registered)
            scenario.holderByCin[kCin] = "Registered Holder";
        service->SetScenario(scenario);
        rapidjson::Document answer;
        ASSERT_EQ(Check(c.cin, answer), 200);
        for (const char* member : {"certUpdateFound", "newEncCertFound", "newSigCertFound"})
            EXPECT_EQ(answer[member].GetBool(), c.found) << member;
    }
}

// The server knows the terminal challenge and its card's files: the version record and which
// certificate files answer their SELECT with 9000.
TEST_F(RenewalServiceTest, Cardos0TakesOnlyWhatTheCardAnswered)
{
    const struct
    {
        const char* member;
        const char* value;
        int status;
    } cases[] = {
        {"", "", 200},
        {"RND_IFD", "3B7D1E95C0A4F269", 400},
        {"RND_IFD", "3b7d1e95c0a4f268", 400},
        {"ef_version", "050300019000", 400},
        {"ef_version", "05030002", 400},
        {"C_X509_CH_DS", "6A82", 400},
        {"C_X509_CA_CS", "", 400},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.member) + " " + c.value);
        rapidjson::Document answer;
        EXPECT_EQ(Step(Open(), "Cardos0", Cardos0Body(c.member, c.value), answer), c.status);
    }
}

TEST_F(RenewalServiceTest, TheCardMustProveItsKeyBeforeAProtectedCommandComes)
{
    rapidjson::Document answer;
    const std::string session = Open();
    ASSERT_EQ(Step(session, "Cardos0", Cardos0Body(), answer), 200);
    const Bytes key = SimKeys::CardKey("CardOS", kChipId, "DF01");
    Bytes expected = kRndIfd;
    const Bytes proof = SimKeys::TerminalProof(key, kRndIcc, kRndIfd);
    expected.insert(expected.end(), proof.begin(), proof.end());
    EXPECT_EQ(answer["authIfd"].GetString(), HexText(expected));

    const Bytes wrong =
        SimKeys::CardProof(SimKeys::CardKey("CardOS", kChipId, "DF02"), kRndIcc, kRndIfd);
    EXPECT_EQ(Step(session, "Cardos1", R"({"auth_icc_sig": ")" + HexText(wrong) + "\"}", answer),
              400);
    const Bytes right = SimKeys::CardProof(key, kRndIcc, kRndIfd);
    ASSERT_EQ(Step(session, "Cardos1", R"({"auth_icc_sig": ")" + HexText(right) + "\"}", answer),
              200);
    Bytes command;
    ASSERT_TRUE(OnlineServicesSim::FromHexText(answer["mac_request"].GetString(), command));
    SimKeys::SmChannel channel{SimKeys::SessionMacKey(key, kRndIcc, kRndIfd), 0};
    SimKeys::PlainCommand plain;
    ASSERT_TRUE(SimKeys::OpenCommand(channel, command, plain));
    EXPECT_EQ(plain.ins, 0xB4) << "read the signature key's public key";
    EXPECT_EQ(
        Step(session, "Cardos2", R"({"sm_pubkey_ss": "990290008E080000000000000000"})", answer),
        400)
        << "an answer the card did not make";
}
} // namespace
