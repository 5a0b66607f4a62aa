// The calls of the renewal service: addresses, request bodies, required answers and log texts.

#include "OnlineTestSupport.h"

#include <functional>
#include <memory>

namespace
{
using Members = std::vector<std::pair<std::string, std::string>>;
using Outputs = std::vector<std::string>;

// The pretty writer's form of an object of string members (a raw value is given with a leading
// '=': "=7").
std::string Pretty(const Members& members)
{
    if (members.empty())
        return "{}";
    std::string body = "{";
    for (size_t i = 0; i < members.size(); ++i)
    {
        const std::string& value = members[i].second;
        body += (i ? ",\n    \"" : "\n    \"") + members[i].first +
                "\": " + (value.rfind('=', 0) == 0 ? value.substr(1) : "\"" + value + "\"");
    }
    return body + "\n}";
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

// One call: what it sends, the answer it gets, what it hands out.
struct Call
{
    const char* step;
    const char* logName;
    std::function<bool(OnlineServicesClient&, Outputs&)> run;
    Members request;
    std::string answer;
    Outputs outputs;
};

std::vector<Call> EveryStep()
{
    using C = OnlineServicesClient;
    const std::string all = "{\"authIfd\": \"A1\", \"mac_request\": \"0C\", \"persoDataCert\": "
                            "\"PC\", \"persoDataKey\": \"PK\", \"macCp\": \"MC\", \"macRb\": "
                            "\"MR\", \"pkCgaAuth\": \"PG\", \"persoDataPinPuk\": \"PP\", "
                            "\"persoData\": \"PD\", \"cinCsn\": \"CC\", \"encCert\": \"EC\"}";
    return {
        {"Cardos0",
         "CertUpdateCardos0",
         [](C& c, Outputs& o) { return c.CertUpdateCardos0("i", "e", "d", "c", "r", "f", o[0]); },
         {{"idicc", "i"},
          {"ef_version", "e"},
          {"C_X509_CH_DS", "d"},
          {"C_X509_CA_CS", "c"},
          {"rndicc", "r"},
          {"RND_IFD", "f"}},
         all,
         {"A1"}},
        {"Cardos0a",
         "CertUpdateCardos0a",
         [](C& c, Outputs&) { return c.CertUpdateCardos0a("i", "e"); },
         {{"idicc", "i"}, {"ef_version", "e"}},
         "",
         {}},
        {"Cardos1",
         "CertUpdateCardos1",
         [](C& c, Outputs& o) { return c.CertUpdateCardos1("s", o[0]); },
         {{"auth_icc_sig", "s"}},
         all,
         {"0C"}},
        {"Cardos2",
         "CertUpdateCardos2",
         [](C& c, Outputs& o) { return c.CertUpdateCardos2("p", o[0]); },
         {{"sm_pubkey_ss", "p"}},
         all,
         {"PC"}},
        {"Cardos3",
         "CertUpdateCardos3",
         [](C& c, Outputs& o) { return c.CertUpdateCardos3("i", "e", "h", "a", "r", "f", o[0]); },
         {{"idicc", "i"},
          {"ef_version", "e"},
          {"C_X509_CH_AUT", "h"},
          {"C_X509_CA_CS_AUT", "a"},
          {"rndicc", "r"},
          {"RND_IFD", "f"}},
         all,
         {"A1"}},
        {"Cardos4",
         "CertUpdateCardos4",
         [](C& c, Outputs& o) { return c.CertUpdateCardos4("n", o[0], o[1]); },
         {{"auth_icc_enc", "n"}},
         all,
         {"PC", "PK"}},
        {"Cardos5",
         "CertUpdateCardos5",
         [](C& c, Outputs& o) { return c.CertUpdateCardos5("i", "r", "f", o[0]); },
         {{"idicc", "i"}, {"rndicc", "r"}, {"RND_IFD", "f"}},
         all,
         {"A1"}},
        {"Cardos6",
         "CertUpdateCardos6",
         [](C& c, Outputs& o) { return c.CertUpdateCardos6("m", o[0]); },
         {{"auth_icc_mf", "m"}},
         all,
         {"0C"}},
        {"Cardos7",
         "CertUpdateCardos7",
         [](C& c, Outputs&) { return c.CertUpdateCardos7(); },
         {},
         "{}",
         {}},
        {"Acos1a",
         "CertUpdateAcos1a",
         [](C& c, Outputs&) { return c.CertUpdateAcos1a("i", "n", "b"); },
         {{"genSigSession", "=false"}, {"idicc", "i"}, {"epa_cardnr", "n"}, {"epa_blz", "b"}},
         "",
         {}},
        {"Acos1",
         "CertUpdateAcos1",
         [](C& c, Outputs& o) {
             return c.CertUpdateAcos1("i", "n", "b", "ri", "rf", "id", "s", "pk", o[0], o[1], o[2],
                                      o[3]);
         },
         {{"genSigSession", "=true"},
          {"idicc", "i"},
          {"epa_cardnr", "n"},
          {"epa_blz", "b"},
          {"rnd_icc", "ri"},
          {"rnd_ifd", "rf"},
          {"id_ifd", "id"},
          {"auth_icc_sig", "s"},
          {"pk_icc_auth", "pk"}},
         all,
         {"A1", "MC", "MR", "PG"}},
        {"Acos2",
         "CertUpdateAcos2",
         [](C& c, Outputs& o) { return c.CertUpdateAcos2("rb", "cp", o[0], o[1]); },
         {{"response_rb", "rb"}, {"response_cp", "cp"}},
         all,
         {"PC", "PP"}},
        {"Acos3",
         "CertUpdateAcos3",
         [](C& c, Outputs& o) { return c.CertUpdateAcos3("ri", "vk", "rf", o[0]); },
         {{"rndIcc", "ri"}, {"rndIfd", "rf"}, {"vkDecSm", "vk"}},
         all,
         {"A1"}},
        {"Acos4",
         "CertUpdateAcos4",
         [](C& c, Outputs& o) { return c.CertUpdateAcos4("ai", o[0], o[1], o[2]); },
         {{"authIcc", "ai"}},
         all,
         {"PC", "PP", "PD"}},
        {"AcosNoSM",
         "CertUpdateAcosNoSM",
         [](C& c, Outputs& o) { return c.CertUpdateAcosNoSM(o[0], o[1]); },
         {},
         all,
         {"CC", "EC"}},
        {"Done", "CertUpdateDone", [](C& c, Outputs&) { return c.CertUpdateDone(); }, {}, "", {}},
    };
}

TEST_F(RenewalCallsTest, EveryStepSendsItsMembersToItsPathAndHandsOutItsAnswer)
{
    OpenRun();
    for (const Call& call : EveryStep())
    {
        SCOPED_TRACE(call.step);
        log.Clear();
        server.SetReply(std::string("CertUpdate/") + call.step, Json(call.answer));
        Outputs outputs(call.outputs.size());
        ASSERT_TRUE(call.run(*client, outputs));
        const auto sent = server.Requests().back();
        EXPECT_EQ(sent.requestLine, "POST /OnlineServicesTNG/v1/CertUpdate/" +
                                        client->GetSessionId() + "/" + call.step + " HTTP/1.1");
        EXPECT_TRUE(sent.knownSession);
        EXPECT_EQ(sent.body, Pretty(call.request));
        EXPECT_EQ(outputs, call.outputs);
        EXPECT_EQ(log.At("MESSAGE"),
                  std::vector<LogLine>({{"MESSAGE", std::string(call.logName) + " OK"}}));
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
    EXPECT_EQ(sent.body, Pretty({{"cardType", "=7"},
                                 {"cin", "CIN"},
                                 {"csn", "CSN"},
                                 {"encSerial", "1"},
                                 {"sigSerial", "2"}}));
    EXPECT_EQ(log.At("MESSAGE").back().second, "Sessionid=" + client->GetSessionId());

    const struct
    {
        std::string answer;
        bool result;
        std::string error;
    } cases[] = {
        {"{\"sessionid\": \"s\", \"certUpdateFound\": false, \"newEncCertFound\": true, "
         "\"newSigCertFound\": true}",
         false, ""},
        {"{\"sessionid\": \"s\", \"certUpdateFound\": true, \"newEncCertFound\": true, "
         "\"newSigCertFound\": \"true\"}",
         false, "error json object has no newSigCertFound element"},
        {"{\"sessionid\": \"s\", \"newEncCertFound\": true}", false,
         "error json object has no certUpdateFound element"},
        {"{\"sessionid\": \"..\", \"certUpdateFound\": true}", false,
         "error json object has no sessionid"},
        {"{\"certUpdateFound\": true}", false, "error json object has no sessionid"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.answer);
        log.Clear();
        EXPECT_EQ(Check(c.answer), c.result);
        EXPECT_EQ(log.Errors(),
                  c.error.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.error});
        EXPECT_EQ(newEnc, c.error.empty());
    }
}

TEST_F(RenewalCallsTest, MissingOrEmptyAnswersFailWithTheStepsOwnTexts)
{
    OpenRun();
    std::string a = "kept";
    std::string b = "kept";
    std::string c = "kept";
    std::string d = "kept";
    const struct
    {
        const char* name;
        const char* endpoint;
        OnlineServicesSim::Reply reply;
        std::function<bool()> run;
        std::vector<std::string> errors;
    } cases[] = {
        {"no authIfd",
         "CertUpdate/Cardos0",
         Json("{\"authIfd\": 5}"),
         [&] { return client->CertUpdateCardos0("", "", "", "", "", "", a); },
         {"error json object has no authifd element"}},
        {"empty persoDataCert",
         "CertUpdate/Cardos2",
         Json("{\"persoDataCert\": \"\"}"),
         [&] { return client->CertUpdateCardos2("", a); },
         {"error CertUpdateCardos2"}},
        {"no persoDataKey",
         "CertUpdate/Cardos4",
         Json("{\"persoDataCert\": \"P\"}"),
         [&] { return client->CertUpdateCardos4("", a, b); },
         {"error json object has no persoDataKey element"}},
        {"empty persoDataKey",
         "CertUpdate/Cardos4",
         Json("{\"persoDataCert\": \"P\", \"persoDataKey\": \"\"}"),
         [&] { return client->CertUpdateCardos4("", a, b); },
         {"error CertUpdateCardos4 - persoDataKey was empty"}},
        {"Cardos7 with an empty body",
         "CertUpdate/Cardos7",
         Json(""),
         [&] { return client->CertUpdateCardos7(); },
         {"error parsing json"}},
        {"Cardos1 status 500",
         "CertUpdate/Cardos1",
         Json("{\"mac_request\": \"0C\"}", 500),
         [&] { return client->CertUpdateCardos1("", a); },
         {"error in webcall CertUpdateCardos1 invalid statuscode=500"}},
        {"Acos1 without macRb",
         "CertUpdate/Acos1",
         Json("{\"authIfd\": \"A\", \"macCp\": \"C\", \"pkCgaAuth\": \"G\"}"),
         [&] { return client->CertUpdateAcos1("", "", "", "", "", "", "", "", a, b, c, d); },
         {}},
    };
    for (const auto& item : cases)
    {
        SCOPED_TRACE(item.name);
        log.Clear();
        server.SetReply(item.endpoint, item.reply);
        EXPECT_FALSE(item.run());
        EXPECT_EQ(log.Errors(), item.errors);
    }
    EXPECT_EQ(a, "A");
    EXPECT_EQ(b, "C");
    EXPECT_EQ(c, "") << "the missing member's output is emptied";
    EXPECT_EQ(d, "kept") << "members after the missing one are not touched";
}

TEST_F(RenewalCallsTest, WithoutASessionTheStepPathHoldsTwoSlashes)
{
    server.SetReply("CertUpdate/Cardos7", Json("{}"));
    server.SetReply("CertUpdate/Done", Json(""));
    EXPECT_TRUE(client->CertUpdateCardos7());
    EXPECT_TRUE(client->CertUpdateDone());
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "/OnlineServicesTNG/v1/CertUpdate//Cardos7");
    EXPECT_EQ(requests[1].target, "/OnlineServicesTNG/v1/CertUpdate//Done");
}
} // namespace
