// The platform layer against Wine's kernel and shell: thread ids, the program's path, the users'
// folders and the temporary folder.

#include "platform/Folders.h"
#include "platform/Thread.h"
#include "tests/platform/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <future>
#include <sys/stat.h>
#include <thread>

namespace
{
bool StartsWithDrive(const std::string& path)
{
    return path.size() >= 3 && path[1] == ':' && path[2] == '\\';
}

TEST(PlatformWindows, LiveThreadsHaveDistinctStableIds)
{
    const uint32_t mainId = platform::CurrentThreadId();
    EXPECT_NE(mainId, 0u);
    EXPECT_EQ(platform::CurrentThreadId(), mainId);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<uint32_t> otherId;
    std::thread other(
        [&otherId, released]
        {
            otherId.set_value(platform::CurrentThreadId());
            released.wait();
        });
    const uint32_t otherValue = otherId.get_future().get();
    release.set_value();
    other.join();
    EXPECT_NE(otherValue, 0u);
    EXPECT_NE(otherValue, mainId);
}

TEST(PlatformWindows, ExecutablePathNamesThisProgram)
{
    std::string path;
    ASSERT_TRUE(platform::ExecutablePath(path));
    EXPECT_TRUE(StartsWithDrive(path)) << path;
    EXPECT_EQ(path.substr(path.rfind(platform::PathSeparator()) + 1), "platform_test.exe");
    struct stat info = {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
}

TEST(PlatformWindows, UsersFoldersComeFromTheShell)
{
    std::string user;
    std::string common;
    ASSERT_TRUE(platform::UserAppDataFolder(user));
    ASSERT_TRUE(platform::CommonAppDataFolder(common));
    EXPECT_TRUE(StartsWithDrive(user)) << user;
    EXPECT_TRUE(StartsWithDrive(common)) << common;
    EXPECT_NE(user, common);
}

TEST(PlatformWindows, TempFolderFromTempElseFromTheSystem)
{
    ScopedEnvironment environment;
    environment.Set("TEMP", "D:\\temp");
    EXPECT_EQ(platform::TempFolder(), "D:\\temp");
    environment.Unset("TEMP");
    environment.Set("TMP", "D:\\tmp");
    EXPECT_EQ(platform::TempFolder(), "D:\\tmp\\");
}
} // namespace
