// What goes on the wire and what comes back, against the simulated server over real sockets.

#include "HttpTestSupport.h"

using OnlineServicesSim::JsonReply;
using OnlineServicesSim::Reply;

namespace
{
using Headers = OnlineServicesSim::HeaderList;

std::string HostOf(const OnlineServicesSim::Server& server)
{
    return "127.0.0.1:" + std::to_string(server.Port());
}

class HttpRequestBytesTest : public SimServerTest
{
};

TEST_F(HttpRequestBytesTest, PostSendsPathOnlyTheFixedHeadersAndTheBodyUnchanged)
{
    server.SetReply("a/b", JsonReply("{}"));
    const std::string body = "{\n    \"lang\": \"D\xC4\"\n}";
    const Exchange result = Post(Url("a/b?secret=1#part"), body);
    ASSERT_TRUE(result.sent);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_EQ(request.requestLine, "POST /OnlineServicesTNG/v1/a/b HTTP/1.1");
    const Headers expected = {{"Host", HostOf(server)},
                              {"User-Agent", "Corvane LibHttp2"},
                              {"Content-Type", "application/json"},
                              {"Pragma", "no-cache"},
                              {"Content-Length", std::to_string(body.size())}};
    EXPECT_EQ(request.headers, expected);
    EXPECT_EQ(request.body, body);
    EXPECT_EQ(request.raw, request.head + body);
}

TEST_F(HttpRequestBytesTest, EachMethodSendsItsVerbAndAnyOtherSendsGet)
{
    const struct
    {
        int method;
        const char* verb;
    } cases[] = {{LibHttp2::METHOD_POST, "POST"},
                 {LibHttp2::METHOD_GET, "GET"},
                 {LibHttp2::METHOD_DELETE, "DELETE"},
                 {LibHttp2::METHOD_PUT, "PUT"},
                 {7, "GET"},
                 {-1, "GET"}};
    server.SetReply("verb", JsonReply("{}"));
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.method);
        EXPECT_TRUE(Post(Url("verb"), "{}", c.method).sent);
        const auto requests = server.Requests();
        EXPECT_EQ(requests.back().method, c.verb);
        EXPECT_EQ(requests.back().body, "{}");
    }
}

TEST_F(HttpRequestBytesTest, ExpectAndCacheControlNeverLeaveEvenWithALargeBody)
{
    server.SetReply("big", JsonReply("{}"));
    const std::string body(2 * 1024 * 1024, 'x');
    LibHttp2::HTTPClient http;
    http.SetUrl(Url("big"));
    http.Request().SetMethod(LibHttp2::METHOD_POST);
    http.AddHeader("Expect", "100-continue");
    http.AddHeader("cache-control", "max-age=0");
    http.AddHeader("X-Trace", "first");
    http.AddHeader("x-trace", "second");
    http.SetBody(body);
    ASSERT_TRUE(http.Request().SendRequest());
    const auto request = server.Requests().at(0);
    EXPECT_EQ(request.body.size(), body.size());
    // Every other header is sent once with its last value (add or replace).
    const Headers expected = {{"Host", HostOf(server)},
                              {"User-Agent", "Corvane LibHttp2"},
                              {"X-Trace", "second"},
                              {"Pragma", "no-cache"},
                              {"Content-Length", std::to_string(body.size())}};
    EXPECT_EQ(request.headers, expected);
}

TEST_F(HttpRequestBytesTest, AHeaderLineWithCrOrLfIsRefusedAndNothingIsSent)
{
    const struct
    {
        const char* name;
        const char* value;
    } cases[] = {{"X-Evil", "a\r\nInjected: yes"},
                 {"X-Evil", "a\nInjected: yes"},
                 {"X-Evil\r\nInjected", "yes"},
                 {"X-Evil", "a\r"}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.value);
        ErrorHookCapture errors;
        LibHttp2::HTTPClient http;
        http.SetUrl(Url("x"));
        http.AddHeader(c.name, c.value);
        http.AddHeader("X-Good", "fine");
        EXPECT_FALSE(http.Request().SendRequest());
        EXPECT_TRUE(errors.Saw("error HttpAddRequestHeaders"));
    }
    EXPECT_FALSE(server.WaitForRequests(1, 200));
}

TEST_F(HttpRequestBytesTest, NoRedirectIsFollowedAndNoCookieIsKept)
{
    Reply redirect = JsonReply("{}", 302);
    redirect.headers.emplace_back("Location", "/OnlineServicesTNG/v1/elsewhere");
    redirect.headers.emplace_back("Set-Cookie", "id=42; Path=/");
    server.SetReply("moved", redirect);
    LibHttp2::HTTPClient http;
    http.SetUrl(Url("moved"));
    ASSERT_TRUE(http.Request().SendRequest());
    EXPECT_EQ(http.Request().GetStatusCode(), 302);
    ASSERT_TRUE(http.Request().SendRequest());
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests)
    {
        EXPECT_EQ(request.endpoint, "moved");
        for (const auto& header : request.headers)
            EXPECT_NE(header.first, "Cookie");
    }
}

class HttpAnswerTest : public SimServerTest
{
};

TEST_F(HttpAnswerTest, AnyStatusWithACompleteBodyIsASuccessfulExchange)
{
    using OnlineServicesSim::Framing;
    const struct
    {
        int status;
        const char* body;
        Framing framing;
    } cases[] = {{200, "{\"a\":1}", Framing::ContentLength},
                 {204, "", Framing::ContentLength},
                 {404, "not here", Framing::ContentLength},
                 {500, "{\"error\":true}", Framing::CloseDelimited},
                 {200, "chunked body", Framing::Chunked},
                 {200, "", Framing::CloseDelimited}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.status) + " " + c.body);
        Reply reply = JsonReply(c.body, c.status);
        reply.framing = c.framing;
        server.SetReply("answer", reply);
        const Exchange result = Post(Url("answer"), "{}");
        EXPECT_TRUE(result.sent);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.body, c.body);
        EXPECT_EQ(result.headers.rfind("HTTP/1.1 " + std::to_string(c.status) + " ", 0), 0u);
        EXPECT_EQ(result.headers.substr(result.headers.size() - 4), "\r\n\r\n");
    }
}

TEST_F(HttpAnswerTest, RawHeadersAreKeptUpToTheirLimit)
{
    const std::string start = "HTTP/1.1 200 OK\r\nX-Fill: ";
    const std::string end = "\r\nContent-Length: 2\r\n\r\n";
    const size_t fillToLimit = LibHttp2::kMaxRawHeaderSize - start.size() - end.size();
    const struct
    {
        size_t fill;
        bool sent;
    } cases[] = {{10000, true}, {fillToLimit, true}, {fillToLimit + 1, false}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.fill);
        Reply reply;
        reply.raw = start + std::string(c.fill, 'h') + end + "{}";
        server.SetReply("headers", reply);
        const Exchange result = Post(Url("headers"), "{}");
        EXPECT_EQ(result.sent, c.sent);
        EXPECT_EQ(result.headers, c.sent ? reply.raw.substr(0, reply.raw.size() - 2) : "");
        EXPECT_EQ(result.body, c.sent ? "{}" : "");
    }
}

TEST_F(HttpAnswerTest, BodyOfExactlyTheLimitIsReadWhole)
{
    Reply reply = JsonReply("{");
    reply.fillerBytes = LibHttp2::kMaxBodySize - 1;
    server.SetReply("limit", reply);
    Reply closing = reply;
    closing.framing = OnlineServicesSim::Framing::CloseDelimited;
    server.SetReply("limit", 2, closing);
    for (int call = 1; call <= 2; ++call)
    {
        const Exchange result = Post(Url("limit"), "{}");
        ASSERT_TRUE(result.sent);
        EXPECT_EQ(result.body.size(), size_t(LibHttp2::kMaxBodySize));
    }
}

TEST_F(HttpAnswerTest, StatusCodeIsZeroBeforeAnyAnswerAndSurvivesALaterFailure)
{
    server.SetReply("status", JsonReply("{}", 201));
    Reply dropped;
    dropped.drop = OnlineServicesSim::Drop::BeforeAnswer;
    server.SetReply("status", 2, dropped);
    LibHttp2::HTTPClient http;
    http.SetUrl(Url("status"));
    EXPECT_EQ(http.Request().GetStatusCode(), 0);
    ASSERT_TRUE(http.Request().SendRequest());
    EXPECT_EQ(http.Request().GetStatusCode(), 201);
    EXPECT_FALSE(http.Request().SendRequest());
    EXPECT_EQ(http.Request().GetStatusCode(), 201);
    EXPECT_TRUE(http.Request().GetResponseBody().empty());
}

TEST(HttpUrlTest, UrlsThatCannotBeSplitOrAreNotHttpFailUnsent)
{
    for (const char* url : {"", "no url at all", "ftp://127.0.0.1/file", "http://"})
    {
        SCOPED_TRACE(url);
        ErrorHookCapture errors;
        LibHttp2::HTTPClient http;
        EXPECT_TRUE(http.SetUrl(url));
        EXPECT_FALSE(http.Request().SendRequest());
        EXPECT_TRUE(errors.Saw("error crack url (winINET)"));
    }
}
} // namespace
