// The program as a user starts it: the real executable on the virtual display.
#include "sim/cardmodule/testsupport/SimEnvironment.h"
#include "tests/platform/ScopedEnvironment.h"
#include "tests/ui/ChildProgram.h"
#include "tests/ui/GuiHarness.h"
#include "token/acPKCS11.h"
#include "ui/Language.h"
#include "ui/MainFrame.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <optional>

namespace
{
using GuiTest::ChildProgram;

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

// A text as a value of the registry's export format writes it: a Windows path's backslashes
// doubled.
std::string RegText(const std::string& text)
{
    std::string escaped;
    for (char c : text)
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return "\"" + escaped + "\"";
}

class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        environment.Set("HOME", home.Path().string());
        registry = std::make_unique<GuiTest::RegistryFixture>();
    }

    ChildProgram& Start(const std::vector<std::string>& arguments = {},
                        const std::string& folder = "")
    {
        started.push_back(
            std::make_unique<ChildProgram>(GuiTest::ProgramPath(), arguments, folder));
        EXPECT_TRUE(started.back()->Started());
        return *started.back();
    }

    // The exit status, or nothing when the program still runs after the time-out.
    static std::optional<int> WaitForExit(ChildProgram& program, int timeoutMs)
    {
        GuiTest::WaitUntil([&program] { return program.Status().has_value(); }, timeoutMs);
        return program.Status();
    }

    static std::optional<int> StopAndWait(ChildProgram& program)
    {
        program.Stop();
        return WaitForExit(program, 20000);
    }

    QuendrySim::SimEnvironment sim;
    ScopedTempFolder home;
    ScopedEnvironment environment;
    std::unique_ptr<GuiTest::RegistryFixture> registry;
    std::vector<std::unique_ptr<ChildProgram>> started;
};
} // namespace

TEST_F(ProgramTest, AnyCommandLineArgumentEndsTheProgramBeforeAWindow)
{
    for (const char* argument : {"--help", "-v", "card"})
    {
        SCOPED_TRACE(argument);
        const std::optional<int> status = WaitForExit(Start({argument}), 20000);
        ASSERT_TRUE(status.has_value()) << "still running";
        EXPECT_NE(*status, 0);
        EXPECT_FALSE(GuiTest::InstanceClaimed(home.Path()));
    }
}

TEST_F(ProgramTest, SecondStartOfTheSameUserEndsAtOnce)
{
    ChildProgram& first = Start();
    ASSERT_TRUE(GuiTest::WaitUntil([&] { return first.HoldsInstanceClaim(home.Path()); }, 20000));
    EXPECT_TRUE(WaitForExit(Start(), 20000).has_value()) << "the second instance keeps running";
    EXPECT_FALSE(first.Status().has_value()) << "the first instance ended";
}

TEST_F(ProgramTest, LogSettingsDecideWhetherAndWhereTheLogIsWritten)
{
    const struct
    {
        const char* name;
        const char* level;
        const char* file; // in the case's own folder; none: the folder itself
        bool written;
    } cases[] = {{"folder", "00000005", nullptr, true},
                 {"file name ending in .LOG", "00000001", "run.LOG", true},
                 {"level 0", "00000000", "", false}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ScopedTempFolder folder;
        environment.Set("HOME", folder.Path().string());
        registry.reset();
        registry = std::make_unique<GuiTest::RegistryFixture>(
            std::vector<std::string>{},
            std::vector<std::string>{
                std::string("\"LogLevel\"=dword:") + c.level,
                "\"Filename\"=" + RegText(c.file ? folder.File(c.file) : folder.Path().string())});
        ChildProgram& program = Start();
        // The log is opened before the instance check.
        ASSERT_TRUE(
            GuiTest::WaitUntil([&] { return program.HoldsInstanceClaim(folder.Path()); }, 20000));
        EXPECT_EQ(LogFileWritten(folder.Path()), c.written);
        EXPECT_FALSE(std::filesystem::exists(folder.File("run.LOG")));
        EXPECT_TRUE(StopAndWait(program).has_value());
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
        environment.Set("HOME", folder.Path().string());
        registry.reset();
        registry = std::make_unique<GuiTest::RegistryFixture>(
            std::vector<std::string>{},
            std::vector<std::string>{"\"LogLevel\"=dword:00000005",
                                     "\"Filename\"=" + RegText(c.filename)});
        ChildProgram& program = Start({}, folder.Path().string());
        ASSERT_TRUE(
            GuiTest::WaitUntil([&] { return program.HoldsInstanceClaim(folder.Path()); }, 20000));
        EXPECT_EQ(LogFileWritten(folder.Path() / "logs"), c.written);
        EXPECT_FALSE(LogFileWritten(folder.Path()));
        EXPECT_TRUE(StopAndWait(program).has_value());
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

namespace
{
struct LanguageCase
{
    const char* name;
    const char* language; // the registry's "Language" line, or none
    const char* system;
    const char* shown;
};

// The started program's window, judged against the window of this process drawn on the same
// cards with the German texts and with the English catalogue.
class LanguageTest : public ProgramTest
{
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        Corvane::acPKCS11::SetModuleFile(sim.ModulePath());
        for (const char* language : {"german", "english"})
        {
            reference[language] = DrawnHere(std::string(language) == "english");
            ASSERT_TRUE(reference[language].IsOk()) << language;
        }
        Corvane::acPKCS11::SetModuleFile("");
        ASSERT_FALSE(LooksAlike(reference["german"], reference["english"]));
    }

    // Down to the card list's end: the buttons below take a faded look in a window without the
    // focus, which a program started from a test cannot count on.
    static wxImage DrawnHere(bool english)
    {
        if (english && InitLocale(LocaleCell(), LanguageFromStored(StoredLanguageEnglish)) != 0)
            return wxImage();
        auto* frame = new MainFrame();
        frame->Show();
        wxImage picture;
        if (GuiTest::WaitUntil(
                [frame] { return !frame->StartupTimer().IsRunning() && !frame->IsRefreshing(); }))
            picture =
                TopPart(GuiTest::GrabWindow(frame), frame->CardList()->GetRect().GetBottom() + 1);
        delete frame;
        LocaleCell().reset();
        return picture;
    }

    void ExpectStartShows(const LanguageCase& c)
    {
        SCOPED_TRACE(c.name);
        ScopedTempFolder folder;
        environment.Set("HOME", folder.Path().string());
        environment.Set("LC_ALL", c.system);
        environment.Set("LANG", c.system);
        registry.reset();
        registry = std::make_unique<GuiTest::RegistryFixture>(
            c.language ? std::vector<std::string>{c.language} : std::vector<std::string>{});
        ChildProgram& program = Start();
        const wxImage& expected = reference[c.shown];
        wxImage shot;
        const bool alike = GuiTest::WaitUntil(
            [&]
            {
                wxRect place;
                if (!GuiTest::FocusWindowByTitle("Tessaview (x64)", place))
                    return false;
                shot = TopPart(GuiTest::GrabScreen(place), expected.GetHeight());
                return LooksAlike(shot, expected);
            },
            20000);
        EXPECT_TRUE(alike) << DifferingPixels(shot, expected) << " pixels differ";
        if (shot.IsOk())
            GuiTest::SavePicture(shot, std::string("program-") + c.shown + "-" + c.system);
        EXPECT_TRUE(StopAndWait(program).has_value());
    }

    std::map<std::string, wxImage> reference;
};
} // namespace

TEST_F(LanguageTest, TheLanguageSettingChoosesTheWindowsLanguageOverTheSystems)
{
    const LanguageCase cases[] = {
        {"57 on a German system", "\"Language\"=dword:00000039", "de_DE.UTF-8", "english"},
        {"88 on an English system", "\"Language\"=dword:00000058", "en_US.UTF-8", "german"}};
    for (const LanguageCase& c : cases)
        ExpectStartShows(c);
}

TEST_F(LanguageTest, WithoutASettingTheSystemsLanguageIsShown)
{
    const LanguageCase cases[] = {{"none on an English system", nullptr, "en_US.UTF-8", "english"},
                                  {"none on a German system", nullptr, "de_DE.UTF-8", "german"}};
    for (const LanguageCase& c : cases)
        ExpectStartShows(c);
}
