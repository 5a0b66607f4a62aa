#include "platform/Thread.h"

#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace
{
TEST(ThreadTest, MainThreadHasTheProcessIdAndLiveThreadsDistinctIds)
{
    const uint32_t mainId = platform::CurrentThreadId();
    EXPECT_EQ(mainId, static_cast<uint32_t>(getpid()));
    EXPECT_EQ(platform::CurrentThreadId(), mainId);

    // Both threads stay alive until both ids are taken, so the system cannot reuse one.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<uint32_t> firstId;
    std::promise<uint32_t> secondId;
    auto body = [released](std::promise<uint32_t>& id)
    {
        id.set_value(platform::CurrentThreadId());
        released.wait();
    };
    std::thread first(body, std::ref(firstId));
    std::thread second(body, std::ref(secondId));
    const uint32_t firstValue = firstId.get_future().get();
    const uint32_t secondValue = secondId.get_future().get();
    release.set_value();
    first.join();
    second.join();

    EXPECT_NE(firstValue, mainId);
    EXPECT_NE(secondValue, mainId);
    EXPECT_NE(firstValue, secondValue);
}
} // namespace
