// TLS by scheme or port 443 with the peer verified, and the system's proxy (none for loopback).

#include "HttpTestSupport.h"
#include "TrustedCa.h"
#include "tests/platform/ScopedEnvironment.h"

using OnlineServicesSim::JsonReply;

namespace
{
class HttpTlsTest : public ::testing::Test
{
protected:
    void TearDown() override { LibHttp2::SetTransportSettingsForTesting({}); }
};

TEST_F(HttpTlsTest, TheTestCaIsTrustedForLoopbackByAddressAndByName)
{
    OnlineServicesSim::LoopbackServer server;
    ASSERT_TRUE(server.StartTls());
    server.SetReply("secure", JsonReply("{\"tls\":true}"));
    const TrustedCa trusted(server.CaFile());
    const std::string port = std::to_string(server.Port());
    for (const std::string host : {"127.0.0.1", "localhost"})
    {
        SCOPED_TRACE(host);
        const ErrorHookCapture errors;
        const Exchange result =
            Post("https://" + host + ":" + port + "/OnlineServicesTNG/v1/secure", "{\"a\":1}");
        ASSERT_TRUE(result.sent) << errors.Joined();
        EXPECT_EQ(result.body, "{\"tls\":true}");
    }
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(requests[0].tls);
    EXPECT_EQ(requests[0].body, "{\"a\":1}");
}

TEST_F(HttpTlsTest, AnUntrustedOrMisnamedCertificateFailsBeforeAnyRequest)
{
    OnlineServicesSim::LoopbackServer other;
    ASSERT_TRUE(other.StartTls());
    const struct
    {
        const char* name;
        const char* serverNames;
        bool trustOwnCa;
    } cases[] = {{"CA not trusted", OnlineServicesSim::kLoopbackNames, false},
                 {"certificate for another host", "DNS:elsewhere.invalid", true}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        OnlineServicesSim::LoopbackServer server;
        ASSERT_TRUE(server.StartTls(c.serverNames));
        const TrustedCa trusted(c.trustOwnCa ? server.CaFile() : other.CaFile());
        ErrorHookCapture errors;
        EXPECT_FALSE(Post(server.BaseUrl() + "secure", "{\"secret\":1}").sent);
        EXPECT_TRUE(errors.Saw("HttpSendRequest failed"));
        for (const auto& seen : server.Requests())
            EXPECT_TRUE(seen.raw.empty()) << "no request byte may reach an unverified peer";
    }
}

TEST_F(HttpTlsTest, AnHttpsUrlIsNeverSentInClearText)
{
    OnlineServicesSim::LoopbackServer plain;
    ASSERT_TRUE(plain.StartPlain());
    LibHttp2::TransportSettings settings;
    settings.connectTimeoutMs = 5000;
    LibHttp2::SetTransportSettingsForTesting(settings);
    const std::string url =
        "https://127.0.0.1:" + std::to_string(plain.Port()) + "/OnlineServicesTNG/v1/x";
    EXPECT_FALSE(Post(url, "{\"secret\":\"pin\"}").sent);
    ASSERT_TRUE(plain.WaitForRequests(1, 5000));
    const auto seen = plain.Requests().at(0);
    EXPECT_FALSE(seen.complete);
    ASSERT_FALSE(seen.raw.empty());
    EXPECT_EQ(static_cast<unsigned char>(seen.raw[0]), 0x16); // a TLS handshake record
    EXPECT_EQ(seen.raw.find("secret"), std::string::npos);
}

class HttpProxyTest : public SimServerTest
{
};

// The simulated server stands in for the proxy and shows what reached it.
TEST_F(HttpProxyTest, RemoteHostsGoThroughTheProxyPort443AsTlsTunnelLoopbackDirect)
{
    ScopedEnvironment environment;
    const std::string proxy = "http://127.0.0.1:" + std::to_string(server.Port());
    environment.Set("http_proxy", proxy);
    environment.Set("https_proxy", proxy);
    environment.Unset("no_proxy");
    environment.Unset("NO_PROXY");
    server.SetReply("direct", JsonReply("{}"));
    const struct
    {
        std::string url;
        std::string requestLine;
    } cases[] = {
        {"http://onlineservices.invalid:8080/OnlineServicesTNG/v1/a?q=1",
         "POST http://onlineservices.invalid:8080/OnlineServicesTNG/v1/a HTTP/1.1"},
        {"http://onlineservices.invalid:443/OnlineServicesTNG/v1/a",
         "CONNECT onlineservices.invalid:443 HTTP/1.1"},
        {"https://onlineservices.invalid/OnlineServicesTNG/v1/a",
         "CONNECT onlineservices.invalid:443 HTTP/1.1"},
        {Url("direct"), "POST /OnlineServicesTNG/v1/direct HTTP/1.1"},
    };
    size_t expected = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.url);
        Post(c.url, "{}");
        const auto requests = server.Requests();
        ASSERT_EQ(requests.size(), ++expected);
        EXPECT_EQ(requests.back().requestLine, c.requestLine);
    }
}
} // namespace
