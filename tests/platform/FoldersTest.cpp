#include "platform/Folders.h"
#include "tests/platform/ScopedEnvironment.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace
{
struct TempCase
{
    const char* temp;   // nullptr: unset
    const char* tmpdir; // nullptr: unset
    const char* expected;
};

// Prints the environment, so that a listing of the tests is the same in every build.
void PrintTo(const TempCase& temp, std::ostream* os)
{
    *os << "TEMP=" << testing::PrintToString(temp.temp)
        << " TMPDIR=" << testing::PrintToString(temp.tmpdir);
}

class TempFolderTest : public testing::TestWithParam<TempCase>
{
};

TEST_P(TempFolderTest, FallsBackFromTempToTmpdirToTmp)
{
    const TempCase& test = GetParam();
    ScopedEnvironment environment;
    if (test.temp)
        environment.Set("TEMP", test.temp);
    else
        environment.Unset("TEMP");
    if (test.tmpdir)
        environment.Set("TMPDIR", test.tmpdir);
    else
        environment.Unset("TMPDIR");
    EXPECT_EQ(platform::TempFolder(), test.expected);
}

INSTANTIATE_TEST_SUITE_P(Environment, TempFolderTest,
                         testing::Values(TempCase{"/data/temp", "/data/tmpdir", "/data/temp"},
                                         TempCase{nullptr, "/data/tmpdir", "/data/tmpdir"},
                                         TempCase{"", "/data/tmpdir", "/data/tmpdir"},
                                         TempCase{nullptr, nullptr, "/tmp"},
                                         TempCase{"", "", "/tmp"}));

TEST(UserAppDataFolderTest, PrefersXdgConfigHomeOverHome)
{
    ScopedEnvironment environment;
    environment.Set("HOME", "/home/someone");
    environment.Set("XDG_CONFIG_HOME", "/srv/config");
    std::string folder;
    ASSERT_TRUE(platform::UserAppDataFolder(folder));
    EXPECT_EQ(folder, "/srv/config");

    environment.Unset("XDG_CONFIG_HOME");
    ASSERT_TRUE(platform::UserAppDataFolder(folder));
    EXPECT_EQ(folder, "/home/someone/.config");
}

TEST(ExecutablePathTest, NamesThisTestProgram)
{
    std::string path;
    ASSERT_TRUE(platform::ExecutablePath(path));
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), '/');
    EXPECT_EQ(path.substr(path.rfind(platform::PathSeparator()) + 1), "platform_test");
    struct stat info = {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
}
} // namespace
