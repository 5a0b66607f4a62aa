// The client's addresses and the written-out frame, through CreateSession, against the
// simulated server over real sockets.

#include "OnlineTestSupport.h"

#include "sim/onlineservices/Messages.h"

namespace
{
using OnlineServicesSim::Drop;
using OnlineServicesSim::Reply;

TEST_F(OnlineClientTest, AFreshClientLogsItsBaseAddressAndHasNoSession)
{
    OnlineServicesClient client;
    EXPECT_EQ(log.Lines(), (std::vector<LogLine>{{"MESSAGE", "BaseUrl: " + server.BaseUrl()}}));
    EXPECT_TRUE(client.GetSessionId().empty());
    EXPECT_EQ(client.BuildUrl("ZmrSession"), server.BaseUrl() + "ZmrSession");
    EXPECT_EQ(client.BuildStepUrl("CertUpdate", "Done"), server.BaseUrl() + "CertUpdate//Done");
}

TEST(OnlineBaseAddressTest, TheBuiltInAddressIsHttpsOnTheConfiguredHost)
{
    OnlineServicesClient::SetBaseAddressForTesting("");
    OnlineServicesClient client;
    EXPECT_EQ(client.BuildUrl("ZmrSession"),
              "https://" QUENDRY_ONLINE_SERVICES_HOST "/OnlineServicesTNG/v1/ZmrSession");
}

// The headers of a bare JSON POST of the HTTP client, as the client's own requests must carry
// them: the session id in no header, no cookie, nothing added.
OnlineServicesSim::HeaderList BareJsonPostHeaders(OnlineServicesSim::LoopbackServer& server,
                                                  const std::string& body)
{
    server.SetReply("bare", Json("{}"));
    LibHttp2::HTTPClient http;
    http.SetUrl(server.BaseUrl() + "bare");
    http.Request().SetMethod(LibHttp2::METHOD_POST);
    http.SetBody(body);
    http.AddHeader("Content-Type", "application/json");
    EXPECT_TRUE(http.Request().SendRequest());
    return server.Requests().back().headers;
}

TEST_F(OnlineClientTest, TheSessionIdTravelsPercentEncodedInTheStepPath)
{
    OnlineServicesClient client;
    OpenSession(client, "a b/c-._~Z9");
    EXPECT_EQ(client.BuildStepUrl("CertUpdate", "Acos1"),
              server.BaseUrl() + "CertUpdate/a%20b%2Fc-._~Z9/Acos1");
    server.SetReply("CertUpdate/Acos1", Json(""));
    LibHttp2::HTTPClient http;
    rapidjson::Document request;
    ASSERT_TRUE(client.PrepareStepRequest("CertUpdate", "Acos1", http, request));
    StepAnswer answer;
    ASSERT_TRUE(client.PostStepRequest(http, request, answer));
    const auto sent = server.Requests().back();
    EXPECT_EQ(sent.requestLine,
              "POST /OnlineServicesTNG/v1/CertUpdate/a%20b%2Fc-._~Z9/Acos1 HTTP/1.1");
    EXPECT_EQ(sent.sessionId, "a b/c-._~Z9");
    EXPECT_EQ(sent.body, "{}");
    EXPECT_EQ(sent.raw, sent.head + sent.body);
    EXPECT_EQ(sent.headers, BareJsonPostHeaders(server, "{}"));
}

TEST_F(OnlineClientTest, CreateSessionSendsOneMemberAsPrettyJson)
{
    const struct
    {
        std::string lang;
        std::string body;
    } cases[] = {
        {"DE", "{\n    \"lang\": \"DE\"\n}"},
        {"EN", "{\n    \"lang\": \"EN\"\n}"},
        {"D\xC4\xFF", "{\n    \"lang\": \"D\xC4\xFF\"\n}"},
        {std::string("q\"b\\s\b\t\n\f\r\x01\x1f/", 13) + std::string(1, '\0'),
         "{\n    \"lang\": \"q\\\"b\\\\s\\b\\t\\n\\f\\r\\u0001\\u001F/\\u0000\"\n}"},
    };
    server.SetReply("ZmrSession", Json("{\"sessionid\": \"s1\", \"toBeSigned\": \"t\"}"));
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.lang);
        OnlineServicesClient client;
        std::string toBeSigned;
        ASSERT_TRUE(client.CreateSession(c.lang, toBeSigned));
        const auto sent = server.Requests().back();
        EXPECT_EQ(sent.requestLine, "POST /OnlineServicesTNG/v1/ZmrSession HTTP/1.1");
        EXPECT_EQ(sent.body, c.body);
        EXPECT_EQ(sent.raw, sent.head + sent.body);
        EXPECT_EQ(sent.headers, BareJsonPostHeaders(server, c.body));
    }
}

struct WrittenOutCase
{
    const char* name;
    Reply reply;
    bool result;
    std::vector<std::string> errors;
    std::string sessionId;
    std::string toBeSigned;
};

Reply DroppedReply()
{
    Reply reply;
    reply.drop = Drop::BeforeAnswer;
    return reply;
}

// A valid answer padded with blanks past the HTTP client's limit, without a length.
Reply OversizedReply()
{
    Reply reply = Json("{\"sessionid\": \"big\", \"toBeSigned\": \"t\"}");
    reply.fillerBytes = LibHttp2::kMaxBodySize;
    reply.framing = OnlineServicesSim::Framing::Chunked;
    return reply;
}

TEST_F(OnlineClientTest, EveryStatusAndBodyCaseOfTheWrittenOutFrame)
{
    const std::string nested = OnlineServicesSim::DeepArrays(200000);
    const WrittenOutCase cases[] = {
        {"success",
         Json("{\"sessionid\": \"abc\", \"toBeSigned\": \"sign me\"}"),
         true,
         {},
         "abc",
         "sign me"},
        {"status 500",
         Json("{\"sessionid\": \"abc\", \"toBeSigned\": \"t\"}", 500),
         false,
         {"error in webcall create session invalid statuscode=500"},
         "",
         "unchanged"},
        {"status 204",
         Json("", 204),
         false,
         {"error in webcall create session invalid statuscode=204"},
         "",
         "unchanged"},
        {"no answer", DroppedReply(), false, {"error in webcall create session"}, "", "unchanged"},
        {"answer above the size limit",
         OversizedReply(),
         false,
         {"error in webcall create session"},
         "",
         "unchanged"},
        {"empty body", Json(""), false, {"error parsing json"}, "", "unchanged"},
        {"not json", Json("{sessionid: 1}"), false, {"error parsing json"}, "", "unchanged"},
        {"two roots", Json("{} {}"), false, {"error parsing json"}, "", "unchanged"},
        {"array root", Json("[]"), false, {"error json root is not an object"}, "", "unchanged"},
        {"number root", Json(" 5 "), false, {"error json root is not an object"}, "", "unchanged"},
        {"deeply nested root",
         Json(nested),
         false,
         {"error json root is not an object"},
         "",
         "unchanged"},
        {"deep nesting never closed",
         Json(nested.substr(0, 200000)),
         false,
         {"error parsing json"},
         "",
         "unchanged"},
        {"deep nesting inside a valid answer",
         Json("{\"sessionid\": \"abc\", \"toBeSigned\": \"t\", \"x\": " + nested + "}"),
         true,
         {},
         "abc",
         "t"},
        {"sessionid a number",
         Json("{\"sessionid\": 5, \"toBeSigned\": \"t\"}"),
         false,
         {"error json object has no sessionid"},
         "",
         "unchanged"},
        {"sessionid empty",
         Json("{\"sessionid\": \"\", \"toBeSigned\": \"t\"}"),
         false,
         {"error json object has no sessionid"},
         "",
         "unchanged"},
        {"sessionid dot",
         Json("{\"sessionid\": \".\", \"toBeSigned\": \"t\"}"),
         false,
         {"error json object has no sessionid"},
         "",
         "unchanged"},
        {"sessionid dot dot",
         Json("{\"sessionid\": \"..\", \"toBeSigned\": \"t\"}"),
         false,
         {"error json object has no sessionid"},
         "",
         "unchanged"},
        {"no toBeSigned",
         Json("{\"sessionid\": \"kept\"}"),
         false,
         {"error json object has no toBeSigned data"},
         "kept",
         "unchanged"},
        {"toBeSigned a boolean",
         Json("{\"sessionid\": \"kept\", \"toBeSigned\": true}"),
         false,
         {"error json object has no toBeSigned data"},
         "kept",
         "unchanged"},
        {"duplicate members: the first counts",
         Json("{\"sessionid\": \"one\", \"sessionid\": \"two\", \"toBeSigned\": \"t\"}"),
         true,
         {},
         "one",
         "t"},
        {"embedded NUL kept",
         Json("{\"sessionid\": \"a\\u0000b\", \"toBeSigned\": \"x\\u0000y\\u00e4\"}"),
         true,
         {},
         std::string("a\0b", 3),
         std::string("x\0y\xC3\xA4", 5)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        server.SetReply("ZmrSession", c.reply);
        OnlineServicesClient client;
        log.Clear();
        std::string toBeSigned = "unchanged";
        EXPECT_EQ(client.CreateSession("DE", toBeSigned), c.result);
        EXPECT_EQ(log.Errors(), c.errors);
        EXPECT_EQ(client.GetSessionId(), c.sessionId);
        EXPECT_EQ(toBeSigned, c.toBeSigned);
        const auto messages = log.At("MESSAGE");
        if (c.result)
            EXPECT_EQ(messages,
                      (std::vector<LogLine>{{"MESSAGE", "CreateSession: " + c.sessionId}}));
        else
            EXPECT_TRUE(messages.empty());
    }
}

TEST_F(OnlineClientTest, TheWrittenOutFrameRunsOverTlsWithTheTestCa)
{
    OnlineServicesSim::LoopbackServer secure;
    ASSERT_TRUE(secure.StartTls());
    secure.SetReply("ZmrSession", Json("{\"sessionid\": \"tls\", \"toBeSigned\": \"t\"}"));
    OnlineServicesClient::SetBaseAddressForTesting(secure.BaseUrl());
    Reply closeDelimited = Json("{\"sessionid\": \"tls\", \"toBeSigned\": \"t\"}");
    closeDelimited.framing = OnlineServicesSim::Framing::CloseDelimited;
    secure.SetReply("ZmrSession", 2, closeDelimited);
    const struct
    {
        const char* name;
        std::string caFile;
        bool result;
    } cases[] = {{"trusted", secure.CaFile(), true},
                 {"trusted, answer ends with the connection", secure.CaFile(), true},
                 {"untrusted", "", false}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        LibHttp2::TransportSettings settings;
        settings.trustedCaFile = c.caFile;
        LibHttp2::SetTransportSettingsForTesting(settings);
        OnlineServicesClient client;
        log.Clear();
        std::string toBeSigned;
        EXPECT_EQ(client.CreateSession("EN", toBeSigned), c.result);
        const std::vector<std::string> errors =
            c.result ? std::vector<std::string>{}
                     : std::vector<std::string>{"error in webcall create session"};
        EXPECT_EQ(log.Errors(), errors);
    }
    LibHttp2::SetTransportSettingsForTesting({});
    ASSERT_EQ(secure.Requests().size(), 2u);
    EXPECT_TRUE(secure.Requests()[0].tls);
}
} // namespace
