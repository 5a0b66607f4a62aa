#pragma once

#include "core/http/HTTPClient.h"
#include "core/logging/Logger.h"
#include "online/OnlineServicesClient.h"
#include "platform/DebugOutput.h"
#include "sim/onlineservices/LoopbackServer.h"
#include "tests/platform/ScopedTempFolder.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

// A log line's level and text.
using LogLine = std::pair<std::string, std::string>;

// The application log, as every line reaches the debugger output.
class LogCapture
{
public:
    LogCapture()
    {
        platform::SetDebugOutputSink([this](const std::string& line) { Add(line); });
        LibLogging::Logger* logger = GetAppLogger();
        logger->Init(folder.File("online.log"));
        logger->enabled = true;
        logger->showThreadId = false;
    }
    ~LogCapture()
    {
        // Closes the log file, which Windows keeps from being removed with its folder while open.
        GetAppLogger()->Destroy();
        platform::SetDebugOutputSink({});
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogLine> Lines()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return lines;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        lines.clear();
    }
    std::vector<LogLine> At(const std::string& level)
    {
        std::vector<LogLine> found;
        for (const auto& line : Lines())
            if (line.first == level)
                found.push_back(line);
        return found;
    }
    std::vector<std::string> Errors()
    {
        std::vector<std::string> texts;
        for (const auto& line : At("ERROR"))
            texts.push_back(line.second);
        return texts;
    }

private:
    // "YYYY-MM-DD HH:MM:SS" + level right-aligned in 13 + ": " + text + line end
    void Add(std::string line)
    {
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        constexpr size_t kTimeWidth = 19;
        const auto separator = line.find(": ", kTimeWidth);
        if (separator == std::string::npos)
            return;
        std::string level = line.substr(kTimeWidth, separator - kTimeWidth);
        level.erase(0, level.find_first_not_of(' '));
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back({level, line.substr(separator + 2)});
    }

    ScopedTempFolder folder;
    std::mutex mutex;
    std::vector<LogLine> lines;
};

inline OnlineServicesSim::Reply Json(const std::string& body, int status = 200)
{
    return OnlineServicesSim::JsonReply(body, status);
}

// A text member of a JSON request body; empty where the body has no such text.
inline std::string Member(const std::string& body, const char* name)
{
    rapidjson::Document document;
    document.Parse(body.data(), body.size());
    if (document.HasParseError() || !document.IsObject() || !document.HasMember(name) ||
        !document[name].IsString())
        return std::string();
    return document[name].GetString();
}

class OnlineClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.StartPlain());
        OnlineServicesClient::SetBaseAddressForTesting(server.BaseUrl());
    }
    void TearDown() override { OnlineServicesClient::SetBaseAddressForTesting(""); }

    // Opens the client's session; "$SESSIONID" lets the server hand out an id of its own.
    void OpenSession(OnlineServicesClient& client, const std::string& id)
    {
        OnlineServicesSim::Reply reply =
            Json("{\"sessionid\": \"" + id + "\", \"toBeSigned\": \"t\"}");
        reply.openSession = true;
        server.SetReply("ZmrSession", 1, reply);
        std::string toBeSigned;
        ASSERT_TRUE(client.CreateSession("DE", toBeSigned));
        log.Clear();
    }

    OnlineServicesSim::LoopbackServer server;
    LogCapture log;
};
