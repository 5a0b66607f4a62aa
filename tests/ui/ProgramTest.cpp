// The program as a user starts it: the real executable on the virtual display.
#include "sim/cardmodule/testsupport/SimEnvironment.h"
#include "tests/platform/ScopedEnvironment.h"
#include "tests/ui/GuiHarness.h"
#include "token/acPKCS11.h"
#include "ui/Language.h"
#include "ui/MainFrame.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <map>
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

// The instance file is created first and then given its owner's process id: only the id shows
// the check complete.
bool InstanceFileOwnedBy(const std::filesystem::path& folder, pid_t pid)
{
    std::ifstream file(InstanceFile(folder));
    pid_t owner = 0;
    return file >> owner && owner == pid;
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

    pid_t Start(const std::vector<std::string>& arguments = {}, const std::string& folder = "")
    {
        std::vector<char*> argv = {const_cast<char*>(Program.c_str())};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!folder.empty())
            posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
        pid_t pid = 0;
        EXPECT_EQ(posix_spawn(&pid, Program.c_str(), &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
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
        [this, first] { return InstanceFileOwnedBy(home.Path(), first); }, 20000));
    const pid_t second = Start();
    EXPECT_NE(WaitForExit(second, 20000), -1) << "the second instance keeps running";
    EXPECT_EQ(waitpid(first, nullptr, WNOHANG), 0) << "the first instance ended";
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

TEST_F(ProgramTest, AFilenameOfFourCharactersOrFewerWritesNoLog)
{
    const struct
    {
        const char* filename; // relative to the program's working folder
        bool written;
    } cases[] = {{"logs", false}, {"logs/", true}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.filename);
        ScopedTempFolder folder;
        std::filesystem::create_directory(folder.Path() / "logs");
        environment.Set("HOME", folder.Path());
        registry.reset();
        registry = std::make_unique<GuiTest::RegistryFixture>(
            std::vector<std::string>{},
            std::vector<std::string>{"\"LogLevel\"=dword:00000005",
                                     std::string("\"Filename\"=\"") + c.filename + "\""});
        const pid_t pid = Start({}, folder.Path().string());
        ASSERT_TRUE(GuiTest::WaitUntil(
            [&folder] { return std::filesystem::exists(InstanceFile(folder.Path())); }, 20000));
        EXPECT_EQ(LogFileWritten(folder.Path() / "logs"), c.written);
        EXPECT_FALSE(LogFileWritten(folder.Path()));
        kill(pid, SIGTERM);
        EXPECT_NE(WaitForExit(pid, 20000), -1);
    }
}

namespace
{
// Pixels that differ visibly between two pictures; every pixel when the sizes differ.
long DifferingPixels(const wxImage& a, const wxImage& b)
{
    if (!a.IsOk() || !b.IsOk() || a.GetSize() != b.GetSize())
        return std::numeric_limits<long>::max();
    long count = 0;
    const unsigned char* p = a.GetData();
    const unsigned char* q = b.GetData();
    for (long i = 0; i < 3L * a.GetWidth() * a.GetHeight(); i += 3)
        count +=
            std::abs(p[i] - q[i]) + std::abs(p[i + 1] - q[i + 1]) + std::abs(p[i + 2] - q[i + 2]) >
            60;
    return count;
}

wxImage TopPart(const wxImage& picture, int height)
{
    return picture.IsOk() && picture.GetHeight() >= height
               ? picture.GetSubImage(wxRect(0, 0, picture.GetWidth(), height))
               : wxImage();
}

bool LooksAlike(const wxImage& a, const wxImage& b)
{
    return DifferingPixels(a, b) < a.GetWidth() * a.GetHeight() / 200;
}
} // namespace

// The window in English and in the system's language, judged against the window of this
// process drawn on the same cards with the German texts and with the English catalogue.
TEST_F(ProgramTest, LanguageSettingAndSystemLanguageChooseTheWindowsLanguage)
{
    Corvane::acPKCS11::SetModuleFile(sim.ModulePath());
    std::map<std::string, wxImage> reference;
    for (const char* language : {"german", "english"})
    {
        if (std::string(language) == "english")
        {
            ASSERT_EQ(InitLocale(LocaleCell(), LanguageFromStored(StoredLanguageEnglish)), 0);
        }
        auto* frame = new MainFrame();
        frame->Show();
        ASSERT_TRUE(GuiTest::WaitUntil(
            [frame] { return !frame->StartupTimer().IsRunning() && !frame->IsRefreshing(); }));
        // Down to the card list's end: the buttons below take a faded look in a window
        // without the focus, which a program started from a test cannot count on.
        const wxImage whole = GuiTest::GrabWindow(frame);
        ASSERT_TRUE(whole.IsOk());
        reference[language] = TopPart(whole, frame->CardList()->GetRect().GetBottom() + 1);
        delete frame;
        LocaleCell().reset();
    }
    Corvane::acPKCS11::SetModuleFile("");
    ASSERT_FALSE(LooksAlike(reference["german"], reference["english"]));

    const struct
    {
        const char* name;
        const char* language; // the registry's "Language" line, or none
        const char* system;
        const char* shown;
    } cases[] = {{"57 on a German system", "\"Language\"=dword:00000039", "de_DE.UTF-8", "english"},
                 {"none on an English system", nullptr, "en_US.UTF-8", "english"},
                 {"none on a German system", nullptr, "de_DE.UTF-8", "german"}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ScopedTempFolder folder;
        environment.Set("HOME", folder.Path());
        environment.Set("LC_ALL", c.system);
        environment.Set("LANG", c.system);
        registry.reset();
        registry = std::make_unique<GuiTest::RegistryFixture>(
            c.language ? std::vector<std::string>{c.language} : std::vector<std::string>{});
        const pid_t pid = Start();
        wxImage shot;
        const bool alike = GuiTest::WaitUntil(
            [&]
            {
                wxRect place;
                if (!GuiTest::FocusWindowByTitle("Tessaview (x64)", place))
                    return false;
                shot = TopPart(GuiTest::GrabScreen(place), reference[c.shown].GetHeight());
                return LooksAlike(shot, reference[c.shown]);
            },
            20000);
        EXPECT_TRUE(alike) << DifferingPixels(shot, reference[c.shown]) << " pixels differ";
        if (shot.IsOk())
            GuiTest::SavePicture(shot, std::string("program-") + c.shown + "-" + c.system);
        kill(pid, SIGTERM);
        EXPECT_NE(WaitForExit(pid, 20000), -1);
    }
}
