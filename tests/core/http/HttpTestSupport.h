#pragma once

#include "core/http/HTTPClient.h"
#include "sim/onlineservices/LoopbackServer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Collects what the library reports to its error hook during one test.
class ErrorHookCapture
{
public:
    ErrorHookCapture()
    {
        Texts().clear();
        LibHttp2::SetErrorHook([](const char* text) { Texts().push_back(text); });
    }
    ~ErrorHookCapture() { LibHttp2::SetErrorHook(nullptr); }
    ErrorHookCapture(const ErrorHookCapture&) = delete;
    ErrorHookCapture& operator=(const ErrorHookCapture&) = delete;

    static std::vector<std::string>& Texts()
    {
        static std::vector<std::string> texts;
        return texts;
    }
    bool Saw(const std::string& text) const
    {
        for (const auto& seen : Texts())
            if (seen == text)
                return true;
        return false;
    }
    std::string Joined() const
    {
        std::string joined;
        for (const auto& seen : Texts())
            joined += seen + "\n";
        return joined;
    }
};

inline std::string AsText(const ByteVector& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// One request through the facade, as the online-services client makes it.
struct Exchange
{
    bool sent = false;
    int status = 0;
    std::string body;
    std::string headers;
};

inline Exchange Post(const std::string& url, const std::string& body,
                     int method = LibHttp2::METHOD_POST)
{
    LibHttp2::HTTPClient http;
    http.SetUrl(url);
    http.Request().SetMethod(method);
    http.SetBody(body);
    http.AddHeader("Content-Type", "application/json");
    Exchange result;
    result.sent = http.Request().SendRequest();
    result.status = http.Request().GetStatusCode();
    result.body = AsText(http.Request().GetResponseBody());
    result.headers = AsText(http.Request().GetResponseHeaders());
    return result;
}

class SimServerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(server.StartPlain()); }
    void TearDown() override { LibHttp2::SetTransportSettingsForTesting({}); }

    std::string Url(const std::string& relative) const { return server.BaseUrl() + relative; }

    OnlineServicesSim::LoopbackServer server;
};
