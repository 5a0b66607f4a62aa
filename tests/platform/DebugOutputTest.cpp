#include "platform/DebugOutput.h"

#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace
{
TEST(DebugOutputTest, TextsFromManyThreadsArriveWholeUntilTheSinkIsRemoved)
{
    std::mutex mutex;
    std::multiset<std::string> captured;
    platform::SetDebugOutputSink(
        [&](const std::string& text)
        {
            std::lock_guard<std::mutex> lock(mutex);
            captured.insert(text);
        });

    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread)
        threads.emplace_back(
            [thread]
            {
                for (int line = 0; line < 500; ++line)
                    platform::OutputDebugText("thread " + std::to_string(thread));
            });
    for (std::thread& thread : threads)
        thread.join();
    platform::SetDebugOutputSink({});
    platform::OutputDebugText("thread 0");

    ASSERT_EQ(captured.size(), 2000u);
    for (int thread = 0; thread < 4; ++thread)
        EXPECT_EQ(captured.count("thread " + std::to_string(thread)), 500u);
}

} // namespace
