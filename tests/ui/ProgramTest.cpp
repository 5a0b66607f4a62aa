// The program as a user starts it: the real executable on the virtual display.
#include "sim/cardmodule/testsupport/SimEnvironment.h"
#include "tests/platform/ScopedEnvironment.h"
#include "tests/ui/GuiHarness.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
const std::string Program = std::string(QUENDRY_BINARY_DIR) + "/bin/quendrycards";

std::filesystem::path InstanceFile(const std::filesystem::path& folder)
{
    return folder / ("QuendryCards-" + std::string(getpwuid(getuid())->pw_name));
}

bool LogFileWritten(const std::filesystem::path& folder)
{
    for (const auto& entry : std::filesystem::directory_iterator(folder))
    {
        const std::string name = entry.path().filename().string();
        if (name.rfind("QuendryCards_", 0) == 0 && entry.path().extension() == ".log")
            return true;
    }
    return false;
}

class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        environment.Set("HOME", home.Path());
        registry = std::make_unique<GuiTest::RegistryFixture>();
    }

    void TearDown() override
    {
        for (pid_t pid : started)
        {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }

    pid_t Start(const std::vector<std::string>& arguments = {})
    {
        std::vector<char*> argv = {const_cast<char*>(Program.c_str())};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        pid_t pid = 0;
        EXPECT_EQ(posix_spawn(&pid, Program.c_str(), nullptr, nullptr, argv.data(), environ), 0);
        started.push_back(pid);
        return pid;
    }

    // The exit status, or -1 when the process still runs after the time-out.
    int WaitForExit(pid_t pid, int timeoutMs)
    {
        int status = 0;
        if (!GuiTest::WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, timeoutMs))
            return -1;
        started.erase(std::find(started.begin(), started.end(), pid));
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    QuendrySim::SimEnvironment sim;
    ScopedTempFolder home;
    ScopedEnvironment environment;
    std::unique_ptr<GuiTest::RegistryFixture> registry;
    std::vector<pid_t> started;
};
} // namespace

TEST_F(ProgramTest, AnyCommandLineArgumentEndsTheProgramBeforeAWindow)
{
    for (const char* argument : {"--help", "-v", "card"})
    {
        SCOPED_TRACE(argument);
        const pid_t pid = Start({argument});
        const int status = WaitForExit(pid, 20000);
        EXPECT_NE(status, -1) << "still running";
        EXPECT_NE(status, 0);
        EXPECT_FALSE(std::filesystem::exists(InstanceFile(home.Path())));
    }
}

TEST_F(ProgramTest, SecondStartOfTheSameUserEndsAtOnce)
{
    const pid_t first = Start();
    ASSERT_TRUE(GuiTest::WaitUntil(
        [this] { return std::filesystem::exists(InstanceFile(home.Path())); }, 20000));
    const pid_t second = Start();
    EXPECT_NE(WaitForExit(second, 20000), -1) << "the second instance keeps running";
    EXPECT_EQ(WaitForExit(first, 500), -1) << "the first instance ended";
}

TEST_F(ProgramTest, LogSettingsDecideWhetherAndWhereTheLogIsWritten)
{
    const struct
    {
        const char* name;
        const char* level;
        const char* file; // below the case's own folder
        bool written;
    } cases[] = {{"folder", "00000005", "", true},
                 {"file name ending in .LOG", "00000001", "/run.LOG", true},
                 {"level 0", "00000000", "", false}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ScopedTempFolder folder;
        environment.Set("HOME", folder.Path());
        registry.reset();
        registry = std::make_unique<GuiTest::RegistryFixture>(
            std::vector<std::string>{},
            std::vector<std::string>{std::string("\"LogLevel\"=dword:") + c.level,
                                     "\"Filename\"=\"" + folder.Path().string() + c.file + "\""});
        const pid_t pid = Start();
        // The log is opened before the instance check.
        ASSERT_TRUE(GuiTest::WaitUntil(
            [&folder] { return std::filesystem::exists(InstanceFile(folder.Path())); }, 20000));
        EXPECT_EQ(LogFileWritten(folder.Path()), c.written);
        EXPECT_FALSE(std::filesystem::exists(folder.File("run.LOG")));
        kill(pid, SIGTERM);
        EXPECT_NE(WaitForExit(pid, 20000), -1);
    }
}
