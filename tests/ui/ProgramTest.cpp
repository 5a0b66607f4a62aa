// The program as a user starts it: the real executable on the virtual display.
#include "sim/cardmodule/testsupport/SimEnvironment.h"
#include "tests/ui/GuiHarness.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace
{
const std::string Program = std::string(QUENDRY_BINARY_DIR) + "/bin/quendrycards";

class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("HOME", home.Path().c_str(), 1);
        // Logging on, into the test's own folder.
        registry = std::make_unique<GuiTest::RegistryFixture>(
            std::vector<std::string>{},
            std::vector<std::string>{"\"LogLevel\"=dword:00000005",
                                     "\"Filename\"=\"" + home.Path() + "\""});
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
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline)
        {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid)
            {
                started.erase(std::find(started.begin(), started.end(), pid));
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }

    std::string InstanceFile() const { return InstanceFile(home.Path()); }
    static std::string InstanceFile(const std::string& folder)
    {
        return folder + "/QuendryCards-" + getpwuid(getuid())->pw_name;
    }

    bool LogFileWritten() const { return LogFileWritten(home.Path()); }
    static bool LogFileWritten(const std::string& folder)
    {
        for (const auto& entry : std::filesystem::directory_iterator(folder))
        {
            const std::string name = entry.path().filename().string();
            if (name.rfind("QuendryCards_", 0) == 0 && entry.path().extension() == ".log")
                return true;
        }
        return false;
    }

    QuendrySim::SimEnvironment sim;
    GuiTest::TempFolder home;
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
        EXPECT_FALSE(std::filesystem::exists(InstanceFile()));
    }
}

TEST_F(ProgramTest, SecondStartOfTheSameUserEndsAtOnce)
{
    const pid_t first = Start();
    ASSERT_TRUE(
        GuiTest::WaitUntil([this] { return std::filesystem::exists(InstanceFile()); }, 20000));
    const pid_t second = Start();
    EXPECT_NE(WaitForExit(second, 20000), -1) << "the second instance keeps running";
    EXPECT_EQ(WaitForExit(first, 500), -1) << "the first instance ended";
    EXPECT_TRUE(GuiTest::WaitUntil([this] { return LogFileWritten(); }, 20000));
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
        GuiTest::TempFolder folder;
        setenv("HOME", folder.Path().c_str(), 1);
        registry.reset();
        registry = std::make_unique<GuiTest::RegistryFixture>(
            std::vector<std::string>{},
            std::vector<std::string>{std::string("\"LogLevel\"=dword:") + c.level,
                                     "\"Filename\"=\"" + folder.Path() + c.file + "\""});
        const pid_t pid = Start();
        // The log is opened before the instance check.
        ASSERT_TRUE(GuiTest::WaitUntil(
            [&folder] { return std::filesystem::exists(InstanceFile(folder.Path())); }, 20000));
        EXPECT_EQ(LogFileWritten(folder.Path()), c.written);
        EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/run.LOG"));
        kill(pid, SIGTERM);
        EXPECT_NE(WaitForExit(pid, 20000), -1);
    }
}
