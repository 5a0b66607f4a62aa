// The client's addresses and the written-out frame, through CreateSession, against the
// simulated server over real sockets.

#include "OnlineTestSupport.h"

#include "sim/onlineservices/Messages.h"
#include "tests/core/http/TrustedCa.h"

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
    const char* error; // nullptr: the session opens
    std::string sessionId;
    std::string toBeSigned;
};

WrittenOutCase Opens(const char* name, const Reply& reply, const std::string& sessionId,
                     const std::string& toBeSigned)
{
    return {name, reply, nullptr, sessionId, toBeSigned};
}

WrittenOutCase Fails(const char* name, const Reply& reply, const char* error,
                     const std::string& sessionId = "")
{
    return {name, reply, error, sessionId, "unchanged"};
}

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

Reply SessionAnswer(const std::string& members)
{
    return Json("{" + members + "}");
}

TEST_F(OnlineClientTest, EveryStatusAndBodyCaseOfTheWrittenOutFrame)
{
    const std::string nested = OnlineServicesSim::DeepArrays(200000);
    const char* const kWebcall = "error in webcall create session";
    const char* const kParse = "error parsing json";
    const char* const kRoot = "error json root is not an object";
    const char* const kNoSession = "error json object has no sessionid";
    const char* const kNoData = "error json object has no toBeSigned data";
    const WrittenOutCase cases[] = {
        Opens("success", SessionAnswer("\"sessionid\": \"abc\", \"toBeSigned\": \"sign me\""),
              "abc", "sign me"),
        Fails("status 500", Json("{\"sessionid\": \"abc\", \"toBeSigned\": \"t\"}", 500),
              "error in webcall create session invalid statuscode=500"),
        Fails("status 204", Json("", 204),
              "error in webcall create session invalid statuscode=204"),
        Fails("no answer", DroppedReply(), kWebcall),
        Fails("answer above the size limit", OversizedReply(), kWebcall),
        Fails("empty body", Json(""), kParse),
        Fails("not json", Json("{sessionid: 1}"), kParse),
        Fails("two roots", Json("{} {}"), kParse),
        Fails("array root", Json("[]"), kRoot),
        Fails("number root", Json(" 5 "), kRoot),
        Fails("deeply nested root", Json(nested), kRoot),
        Fails("deep nesting never closed", Json(nested.substr(0, 200000)), kParse),
        Opens("deep nesting inside a valid answer",
              SessionAnswer("\"sessionid\": \"abc\", \"toBeSigned\": \"t\", \"x\": " + nested),
              "abc", "t"),
        Fails("sessionid a number", SessionAnswer("\"sessionid\": 5, \"toBeSigned\": \"t\""),
              kNoSession),
        Fails("sessionid empty", SessionAnswer("\"sessionid\": \"\", \"toBeSigned\": \"t\""),
              kNoSession),
        Fails("sessionid dot", SessionAnswer("\"sessionid\": \".\", \"toBeSigned\": \"t\""),
              kNoSession),
        Fails("sessionid dot dot", SessionAnswer("\"sessionid\": \"..\", \"toBeSigned\": \"t\""),
              kNoSession),
        Fails("no toBeSigned", SessionAnswer("\"sessionid\": \"kept\""), kNoData, "kept"),
        Fails("toBeSigned a boolean",
              SessionAnswer("\"sessionid\": \"kept\", \"toBeSigned\": true"), kNoData, "kept"),
        Opens(
            "duplicate members: the first counts",
            SessionAnswer("\"sessionid\": \"one\", \"sessionid\": \"two\", \"toBeSigned\": \"t\""),
            "one", "t"),
        Opens("embedded NUL kept",
              SessionAnswer("\"sessionid\": \"a\\u0000b\", \"toBeSigned\": \"x\\u0000y\\u00e4\""),
              std::string("a\0b", 3), std::string("x\0y\xC3\xA4", 5)),
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        server.SetReply("ZmrSession", c.reply);
        OnlineServicesClient client;
        log.Clear();
        std::string toBeSigned = "unchanged";
        EXPECT_EQ(client.CreateSession("DE", toBeSigned), c.error == nullptr);
        EXPECT_EQ(log.Errors(),
                  c.error ? std::vector<std::string>{c.error} : std::vector<std::string>{});
        EXPECT_EQ(client.GetSessionId(), c.sessionId);
        EXPECT_EQ(toBeSigned, c.toBeSigned);
        const std::vector<LogLine> messages =
            c.error ? std::vector<LogLine>{}
                    : std::vector<LogLine>{{"MESSAGE", "CreateSession: " + c.sessionId}};
        EXPECT_EQ(log.At("MESSAGE"), messages);
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
        const TrustedCa trusted(c.caFile);
        OnlineServicesClient client;
        log.Clear();
        std::string toBeSigned;
        EXPECT_EQ(client.CreateSession("EN", toBeSigned), c.result);
        const std::vector<std::string> errors =
            c.result ? std::vector<std::string>{}
                     : std::vector<std::string>{"error in webcall create session"};
        EXPECT_EQ(log.Errors(), errors);
    }
    // A peer that is not trusted may see the handshake (WinINet checks it after), never a byte.
    std::vector<OnlineServicesSim::RecordedRequest> received;
    for (const auto& seen : secure.Requests())
        if (!seen.raw.empty())
            received.push_back(seen);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_TRUE(received[0].tls);
}
} // namespace
