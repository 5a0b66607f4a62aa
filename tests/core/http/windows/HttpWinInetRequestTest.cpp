// What the WinINet client puts on the wire. WinINet orders the headers itself, sends no
// "Accept", and under Wine adds "Cache-Control: no-cache" of its own while sending; everything
// else is as with libcurl.

#include "core/http/RequestRules.h"
#include "tests/core/http/HttpTestSupport.h"

using OnlineServicesSim::JsonReply;

namespace
{
std::string HeaderValue(const OnlineServicesSim::RecordedRequest& request, const char* name,
                        size_t* count = nullptr)
{
    std::string value;
    size_t seen = 0;
    for (const auto& header : request.headers)
    {
        if (LibHttp2::inner::SameHeaderName(header.first, name))
        {
            value = header.second;
            ++seen;
        }
    }
    if (count)
        *count = seen;
    return value;
}

class HttpWinInetRequestTest : public SimServerTest
{
};

TEST_F(HttpWinInetRequestTest, PathOnlyTheFixedHeadersOnceAndTheBodyUnchanged)
{
    server.SetReply("a/b", JsonReply("{}"));
    const std::string small = "{\n    \"lang\": \"D\xC4\"\n}";
    const std::string large(2 * 1024 * 1024, 'x');
    for (const std::string& body : {small, large})
    {
        LibHttp2::HTTPClient http;
        http.SetUrl(Url("a/b?secret=1#part"));
        http.Request().SetMethod(LibHttp2::METHOD_POST);
        http.SetBody(body);
        http.AddHeader("Content-Type", "application/json");
        http.AddHeader("Expect", "100-continue");
        http.AddHeader("cache-control", "max-age=0");
        http.AddHeader("X-Trace", "first");
        http.AddHeader("x-trace", "second");
        ASSERT_TRUE(http.Request().SendRequest());
        const auto request = server.Requests().back();
        EXPECT_EQ(request.requestLine, "POST /OnlineServicesTNG/v1/a/b HTTP/1.1");
        EXPECT_EQ(request.body, body);
        const struct
        {
            const char* name;
            std::string value;
        } expected[] = {{"Host", "127.0.0.1:" + std::to_string(server.Port())},
                        {"User-Agent", "Corvane LibHttp2"},
                        {"Content-Type", "application/json"},
                        {"Pragma", "no-cache"},
                        {"Content-Length", std::to_string(body.size())},
                        {"X-Trace", "second"},
                        {"Expect", ""}};
        for (const auto& header : expected)
        {
            size_t count = 0;
            EXPECT_EQ(HeaderValue(request, header.name, &count), header.value) << header.name;
            EXPECT_EQ(count, header.value.empty() ? 0u : 1u) << header.name;
        }
        EXPECT_NE(HeaderValue(request, "Cache-Control"), "max-age=0");
    }
}
} // namespace
