#include "core/logging/Logger.h"
#include "platform/DebugOutput.h"
#include "tests/core/logging/LogTestSupport.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

namespace
{
using LibLogging::Logger;

TEST(LoggerRegistry, AppLoggerIsSlotOneAndBeyondIsNull)
{
    Logger* app = GetAppLogger();
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(GetAppLogger(), app);
    EXPECT_EQ(Logger::GetInstance(1), app);
    EXPECT_EQ(Logger::GetInstance(2), nullptr);
    EXPECT_EQ(Logger::GetInstance(1000), nullptr);
    // The registry lock was released on the null path: another thread gets through.
    Logger* zero = nullptr;
    std::thread([&zero] { zero = Logger::GetInstance(0); }).join();
    ASSERT_NE(zero, nullptr);
    EXPECT_NE(zero, app);
    EXPECT_EQ(Logger::GetInstance(0), zero);
}

TEST(LoggerRegistry, IndexZeroDropsEverything)
{
    std::vector<std::string> debugTexts;
    platform::SetDebugOutputSink([&](const std::string& t) { debugTexts.push_back(t); });
    Logger* zero = Logger::GetInstance(0);
    ASSERT_NE(zero, nullptr);
    zero->Error("dropped");
    zero->enabled = true;
    zero->Error("dropped");
    zero->Destroy(); // does nothing for index 0
    EXPECT_EQ(Logger::GetInstance(0), zero);
    platform::SetDebugOutputSink({});
    EXPECT_TRUE(debugTexts.empty());
}

TEST(LoggerRegistry, DestroyWritesTheClosingLinesAndFreesTheSlot)
{
    ScopedTempFolder folder;
    Logger* app = GetAppLogger();
    OpenLogger(*app, folder.File("app.log"));
    app->Message("working");
    app->Destroy();

    const auto lines = ReadLines(folder.File("app.log"));
    ASSERT_EQ(lines.size(), 3u);
    const std::string prefix = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}        DEBUG \(\d+\): )";
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(prefix + R"(Destroy\(\))"))) << lines[1];
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(prefix + "close LibLogging"))) << lines[2];

    // A logger made after Destroy is a new, never-opened one; its entries are dropped.
    Logger* after = GetAppLogger();
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(Logger::GetInstance(1), after);
    after->enabled = true;
    after->Error("dropped");
    EXPECT_EQ(ReadLines(folder.File("app.log")).size(), 3u);
}

TEST(LoggerRegistry, DestroyLeavesALoggerOutsideTheRegistryAlone)
{
    ScopedTempFolder folder;
    GetAppLogger();
    Logger standalone(1);
    OpenLogger(standalone, folder.File("own.log"));
    standalone.Destroy();
    standalone.Message("still open");
    EXPECT_EQ(ReadLines(folder.File("own.log")).size(), 1u);
    EXPECT_NE(Logger::GetInstance(1), &standalone);
}
} // namespace
