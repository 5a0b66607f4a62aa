// The calls of the renewal service: addresses, request bodies, required answers and log texts.

#include "OnlineTestSupport.h"

#include <functional>
#include <iterator>
#include <memory>
#include <sstream>

namespace
{
using Outputs = std::vector<std::string>;

// The pretty writer's form of an object of string members, given as "name=value name=value"; a
// value starting with '#' is written unquoted.
std::string Pretty(const std::string& members)
{
    std::string body;
    std::istringstream items(members);
    for (std::string item; items >> item;)
    {
        const size_t equals = item.find('=');
        const std::string value = item.substr(equals + 1);
        body += (body.empty() ? "{\n    \"" : ",\n    \"") + item.substr(0, equals) +
                "\": " + (value[0] == '#' ? value.substr(1) : "\"" + value + "\"");
    }
    return body.empty() ? "{}" : body + "\n}";
}

class RenewalCallsTest : public OnlineClientTest
{
protected:
    void SetUp() override
    {
        OnlineClientTest::SetUp();
        client = std::make_unique<OnlineServicesClient>();
    }

    bool Check(const std::string& answer, int cardType = 7)
    {
        OnlineServicesSim::Reply reply = Json(answer);
        reply.openSession = true;
        server.SetReply("CertUpdate", reply);
        return client->CertUpdateCheck(cardType, "CIN", "CSN", "1", "2", newEnc, newSig);
    }
    void OpenRun()
    {
        ASSERT_TRUE(Check("{\"sessionid\": \"$SESSIONID\", \"certUpdateFound\": true, "
                          "\"newEncCertFound\": true, \"newSigCertFound\": true}"));
        log.Clear();
    }

    std::unique_ptr<OnlineServicesClient> client;
    bool newEnc = true;
    bool newSig = true;
};

const std::string kEveryMember =
    "{\"authIfd\": \"A1\", \"mac_request\": \"0C\", \"persoDataCert\": \"PC\", \"persoDataKey\": "
    "\"PK\", \"macCp\": \"MC\", \"macRb\": \"MR\", \"pkCgaAuth\": \"PG\", \"persoDataPinPuk\": "
    "\"PP\", \"persoData\": \"PD\", \"cinCsn\": \"CC\", \"encCert\": \"EC\"}";

// One call: its step, the members it sends, what it hands out of an answer with every member
// (given as "A1 MC"); it logs "CertUpdate<step> OK".
struct Call
{
    const char* step;
    std::string request;
    std::string outputs;
    std::function<bool(OnlineServicesClient&, Outputs&)> run;
    std::string answer = kEveryMember;
};

std::vector<Call> EveryStep()
{
    using C = OnlineServicesClient;
    return {
        {"Cardos0", "idicc=i ef_version=e C_X509_CH_DS=d C_X509_CA_CS=c rndicc=r RND_IFD=f", "A1",
         [](C& c, Outputs& o) { return c.CertUpdateCardos0("i", "e", "d", "c", "r", "f", o[0]); }},
        {"Cardos0a", "idicc=i ef_version=e", "",
         [](C& c, Outputs&) { return c.CertUpdateCardos0a("i", "e"); }, ""},
        {"Cardos1", "auth_icc_sig=s", "0C",
         [](C& c, Outputs& o) { return c.CertUpdateCardos1("s", o[0]); }},
        {"Cardos2", "sm_pubkey_ss=p", "PC",
         [](C& c, Outputs& o) { return c.CertUpdateCardos2("p", o[0]); }},
        {"Cardos3", "idicc=i ef_version=e C_X509_CH_AUT=h C_X509_CA_CS_AUT=a rndicc=r RND_IFD=f",
         "A1",
         [](C& c, Outputs& o) { return c.CertUpdateCardos3("i", "e", "h", "a", "r", "f", o[0]); }},
        {"Cardos4", "auth_icc_enc=n", "PC PK",
         [](C& c, Outputs& o) { return c.CertUpdateCardos4("n", o[0], o[1]); }},
        {"Cardos5", "idicc=i rndicc=r RND_IFD=f", "A1",
         [](C& c, Outputs& o) { return c.CertUpdateCardos5("i", "r", "f", o[0]); }},
        {"Cardos6", "auth_icc_mf=m", "0C",
         [](C& c, Outputs& o) { return c.CertUpdateCardos6("m", o[0]); }},
        {"Cardos7", "", "", [](C& c, Outputs&) { return c.CertUpdateCardos7(); }, "{}"},
        {"Acos1a", "genSigSession=#false idicc=i epa_cardnr=n epa_blz=b", "",
         [](C& c, Outputs&) { return c.CertUpdateAcos1a("i", "n", "b"); }, ""},
        {"Acos1",
         "genSigSession=#true idicc=i epa_cardnr=n epa_blz=b rnd_icc=ri rnd_ifd=rf id_ifd=id "
         "auth_icc_sig=s pk_icc_auth=pk",
         "A1 MC MR PG",
         [](C& c, Outputs& o) {
             return c.CertUpdateAcos1("i", "n", "b", "ri", "rf", "id", "s", "pk", o[0], o[1], o[2],
                                      o[3]);
         }},
        {"Acos2", "response_rb=rb response_cp=cp", "PC PP",
         [](C& c, Outputs& o) { return c.CertUpdateAcos2("rb", "cp", o[0], o[1]); }},
        {"Acos3", "rndIcc=ri rndIfd=rf vkDecSm=vk", "A1",
         [](C& c, Outputs& o) { return c.CertUpdateAcos3("ri", "vk", "rf", o[0]); }},
        {"Acos4", "authIcc=ai", "PC PP PD",
         [](C& c, Outputs& o) { return c.CertUpdateAcos4("ai", o[0], o[1], o[2]); }},
        {"AcosNoSM", "", "CC EC",
         [](C& c, Outputs& o) { return c.CertUpdateAcosNoSM(o[0], o[1]); }},
        {"Done", "", "", [](C& c, Outputs&) { return c.CertUpdateDone(); }, ""},
    };
}

TEST_F(RenewalCallsTest, EveryStepSendsItsMembersToItsPathAndHandsOutItsAnswer)
{
    // Without a session the step path holds two slashes, in both styles of call.
    server.SetReply("CertUpdate/Cardos7", Json("{}"));
    server.SetReply("CertUpdate/Done", Json(""));
    EXPECT_TRUE(client->CertUpdateCardos7() && client->CertUpdateDone());
    ASSERT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(server.Requests()[0].target, "/OnlineServicesTNG/v1/CertUpdate//Cardos7");
    EXPECT_EQ(server.Requests()[1].target, "/OnlineServicesTNG/v1/CertUpdate//Done");

    OpenRun();
    for (const Call& call : EveryStep())
    {
        SCOPED_TRACE(call.step);
        log.Clear();
        server.SetReply(std::string("CertUpdate/") + call.step, Json(call.answer));
        std::istringstream words(call.outputs);
        const Outputs expected{std::istream_iterator<std::string>(words), {}};
        Outputs outputs(expected.size());
        ASSERT_TRUE(call.run(*client, outputs));
        const auto sent = server.Requests().back();
        EXPECT_EQ(sent.requestLine, "POST /OnlineServicesTNG/v1/CertUpdate/" +
                                        client->GetSessionId() + "/" + call.step + " HTTP/1.1");
        EXPECT_TRUE(sent.knownSession);
        EXPECT_EQ(sent.body, Pretty(call.request));
        EXPECT_EQ(outputs, expected);
        EXPECT_EQ(log.At("MESSAGE"), std::vector<LogLine>({{"MESSAGE", std::string("CertUpdate") +
                                                                           call.step + " OK"}}));
    }
}

TEST_F(RenewalCallsTest, TheUpdateCheckSendsTheCardTypeAsANumberAndReadsThreeFlags)
{
    for (int cardType : {0, 3, 8})
    {
        log.Clear();
        EXPECT_FALSE(Check("{}", cardType));
        EXPECT_EQ(log.Errors(), std::vector<std::string>{"error unknown card type"});
        EXPECT_FALSE(newEnc || newSig);
    }
    EXPECT_TRUE(server.Requests().empty());

    EXPECT_TRUE(Check("{\"sessionid\": \"$SESSIONID\", \"certUpdateFound\": true, "
                      "\"newEncCertFound\": false, \"newSigCertFound\": true}"));
    EXPECT_FALSE(newEnc);
    EXPECT_TRUE(newSig);
    const auto sent = server.Requests().back();
    EXPECT_EQ(sent.requestLine, "POST /OnlineServicesTNG/v1/CertUpdate HTTP/1.1");
    EXPECT_EQ(sent.body, Pretty("cardType=#7 cin=CIN csn=CSN encSerial=1 sigSerial=2"));
    EXPECT_EQ(log.At("MESSAGE").back().second, "Sessionid=" + client->GetSessionId());

    // Each answer fails; an error is logged unless the server found no update.
    const std::pair<std::string, std::string> cases[] = {
        {"{\"sessionid\": \"s\", \"certUpdateFound\": false, \"newEncCertFound\": true, "
         "\"newSigCertFound\": true}",
         ""},
        {"{\"sessionid\": \"s\", \"certUpdateFound\": true, \"newEncCertFound\": true, "
         "\"newSigCertFound\": \"true\"}",
         "error json object has no newSigCertFound element"},
        {"{\"sessionid\": \"s\", \"newEncCertFound\": true}",
         "error json object has no certUpdateFound element"},
        {"{\"sessionid\": \"..\", \"certUpdateFound\": true}",
         "error json object has no sessionid"},
        {"{\"certUpdateFound\": true}", "error json object has no sessionid"},
    };
    for (const auto& [answer, error] : cases)
    {
        SCOPED_TRACE(answer);
        log.Clear();
        EXPECT_FALSE(Check(answer));
        EXPECT_EQ(log.Errors(), error.empty() ? std::vector<std::string>{} : std::vector{error});
        EXPECT_EQ(newEnc, error.empty());
    }
}

TEST_F(RenewalCallsTest, MissingOrEmptyAnswersFailWithTheStepsOwnTexts)
{
    OpenRun();
    std::string a = "kept";
    std::string b = "kept";
    std::string c = "kept";
    std::string d = "kept";
    // Each step's answer, the error it logs (none: the missing member has no text of its own).
    const struct
    {
        const char* step;
        OnlineServicesSim::Reply reply;
        std::string error;
        std::function<bool()> run;
    } cases[] = {
        {"Cardos0", Json("{\"authIfd\": 5}"), "error json object has no authifd element",
         [&] { return client->CertUpdateCardos0("", "", "", "", "", "", a); }},
        {"Cardos4", Json("{\"persoDataCert\": \"P\", \"persoDataKey\": \"\"}"),
         "error CertUpdateCardos4 - persoDataKey was empty",
         [&] { return client->CertUpdateCardos4("", a, b); }},
        {"Cardos7", Json(""), "error parsing json", [&] { return client->CertUpdateCardos7(); }},
        {"Cardos1", Json("{\"mac_request\": \"0C\"}", 500),
         "error in webcall CertUpdateCardos1 invalid statuscode=500",
         [&] { return client->CertUpdateCardos1("", a); }},
        {"Acos1", Json("{\"authIfd\": \"A\", \"macCp\": \"C\", \"pkCgaAuth\": \"G\"}"), "",
         [&] { return client->CertUpdateAcos1("", "", "", "", "", "", "", "", a, b, c, d); }},
    };
    for (const auto& item : cases)
    {
        SCOPED_TRACE(item.step);
        log.Clear();
        server.SetReply(std::string("CertUpdate/") + item.step, item.reply);
        EXPECT_FALSE(item.run());
        EXPECT_EQ(log.Errors(), item.error.empty() ? Outputs{} : Outputs{item.error});
    }
    EXPECT_EQ(a, "A");
    EXPECT_EQ(b, "C");
    EXPECT_EQ(c, "") << "the missing member's output is emptied";
    EXPECT_EQ(d, "kept") << "members after the missing one are not touched";
}
} // namespace
