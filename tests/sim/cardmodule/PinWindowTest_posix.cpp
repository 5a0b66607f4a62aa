// The module's PIN window on Linux, shown through the dialog program it finds on PATH: a stand-in
// put first on PATH records each run's arguments and answers what the case planted for that run;
// a run without a planted answer is Cancel (exit code 1), as the real program's Cancel button.

#include "PinWindowCases.h"
#include "tests/platform/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using QuendrySim::DialogAnswer;
using QuendrySim::SimEnvironment;
using SimTest::Ask;
using SimTest::kEnc2;
using SimTest::kSig1;
using SimTest::LoadedModule;
using SimTest::PinWindowCase;
using SimTest::SlotOfType;

namespace
{
const char kFakeDialogProgram[] = R"(#!/bin/sh
here=$(dirname "$0")
run=1
while [ -e "$here/args.$run" ]; do run=$((run + 1)); done
printf '%s\0' "$@" > "$here/args.$run"
[ -f "$here/answer.$run" ] || exit 1
cat "$here/answer.$run"
)";

std::string ReadWhole(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class FakeDialogProgram
{
public:
    explicit FakeDialogProgram(const std::string& parent) : m_folder(parent + "/bin")
    {
        std::filesystem::create_directory(m_folder);
        std::ofstream(m_folder / "zenity", std::ios::binary) << kFakeDialogProgram;
        std::filesystem::permissions(m_folder / "zenity", std::filesystem::perms::owner_all);
    }

    std::string Folder() const { return m_folder.string(); }

    // What the user types into each window, in order: printed one value per line.
    void Plant(const std::vector<std::vector<std::string>>& typed) const
    {
        for (size_t run = 0; run < typed.size(); ++run)
        {
            std::ofstream answer(m_folder / ("answer." + std::to_string(run + 1)),
                                 std::ios::binary);
            for (const std::string& value : typed[run])
                answer << value << '\n';
        }
    }

    // The arguments of every run, in order.
    std::vector<std::vector<std::string>> Runs() const
    {
        std::vector<std::vector<std::string>> runs;
        for (size_t run = 1; std::filesystem::exists(ArgumentsFile(run)); ++run)
        {
            std::vector<std::string> arguments;
            std::istringstream text(ReadWhole(ArgumentsFile(run)));
            for (std::string argument; std::getline(text, argument, '\0');)
                arguments.push_back(argument);
            runs.push_back(arguments);
        }
        return runs;
    }

private:
    std::filesystem::path ArgumentsFile(size_t run) const
    {
        return m_folder / ("args." + std::to_string(run));
    }

    std::filesystem::path m_folder;
};

std::string ValueOf(const std::vector<std::string>& arguments, const std::string& option)
{
    for (const std::string& argument : arguments)
        if (argument.rfind(option, 0) == 0)
            return argument.substr(option.size());
    return "";
}

size_t CountOf(const std::vector<std::string>& arguments, const std::string& option)
{
    size_t count = 0;
    for (const std::string& argument : arguments)
        count += argument.rfind(option, 0) == 0 ? 1 : 0;
    return count;
}

enum class Screen
{
    WindowOn,
    WaylandOnly,
    WindowOff,
    NoDisplay,
    NoProgram
};

// What only Linux has: displays, the dialog program and what it prints. Without a window the
// planted answer stays unused.
const struct ScreenCase
{
    Screen screen;
    PinWindowCase pinCase;
} kScreenCases[] = {
    // clang-format off
    {Screen::WindowOff, {"window off", Ask::LogIn, kEnc2, 3, 10, {{"1234"}}, 0,
                         {}, CKR_FUNCTION_CANCELED, "1234", 3, 10}},
    {Screen::NoDisplay, {"no display", Ask::LogIn, kEnc2, 3, 10, {{"1234"}}, 0,
                         {}, CKR_FUNCTION_CANCELED, "1234", 3, 10}},
    {Screen::NoProgram, {"no dialog program on PATH", Ask::LogIn, kEnc2, 3, 10, {{"1234"}}, 0,
                         {}, CKR_FUNCTION_CANCELED, "1234", 3, 10}},
    {Screen::WaylandOnly, {"a Wayland display alone", Ask::LogIn, kEnc2, 3, 10, {{"1234"}}, 1,
                           {"encryption PIN"}, CKR_OK, "1234", 3, 10}},
    {Screen::WindowOn, {"fewer values than entries", Ask::Change, kSig1, 2, 10, {{"000000"}}, 1,
                        {"signature PIN"}, CKR_FUNCTION_CANCELED, "123456", 2, 10}},
    // clang-format on
};

void Arrange(ScopedEnvironment& environment, Screen screen, const std::string& fakeFolder,
             const std::string& folderWithoutProgram)
{
    environment.Set("QUENDRY_SIM_PIN_WINDOW", "on");
    environment.Set("DISPLAY", ":97"); // never opened: the stand-in shows nothing
    environment.Unset("WAYLAND_DISPLAY");
    const char* path = std::getenv("PATH");
    environment.Set("PATH", fakeFolder + ":" + (path ? path : ""));
    if (screen == Screen::WaylandOnly)
    {
        environment.Unset("DISPLAY");
        environment.Set("WAYLAND_DISPLAY", "wayland-97");
    }
    else if (screen == Screen::WindowOff)
        environment.Unset("QUENDRY_SIM_PIN_WINDOW");
    else if (screen == Screen::NoDisplay)
        environment.Unset("DISPLAY");
    else if (screen == Screen::NoProgram)
        environment.Set("PATH", folderWithoutProgram);
}

void ExpectWindows(const FakeDialogProgram& program, const PinWindowCase& c,
                   const std::string& cardLabel)
{
    const auto runs = program.Runs();
    ASSERT_EQ(c.windowsShown, runs.size());
    for (const auto& arguments : runs)
    {
        EXPECT_EQ("--forms", arguments.at(0));
        EXPECT_EQ(cardLabel, ValueOf(arguments, "--title="));
        EXPECT_EQ(c.ask == Ask::LogIn ? 1u : 3u, CountOf(arguments, "--add-password="));
        EXPECT_EQ("\n", ValueOf(arguments, "--separator="));
    }
    if (runs.empty())
        return;
    const std::string prompt = ValueOf(runs.back(), "--text=");
    for (const char* words : c.lastPromptSays)
        EXPECT_NE(std::string::npos, prompt.find(words)) << prompt;
}

void RunCase(Screen screen, const PinWindowCase& c)
{
    SCOPED_TRACE(c.name);
    SimEnvironment env;
    ASSERT_TRUE(env.Ready());
    ASSERT_TRUE(ArrangePin(env, c));
    const FakeDialogProgram program(env.Folder());
    program.Plant(c.typed);
    ScopedEnvironment environment;
    Arrange(environment, screen, program.Folder(), env.Folder());

    LoadedModule module;
    ASSERT_TRUE(module.Load());
    ASSERT_EQ(CKR_OK, module.Initialize());
    CK_SESSION_HANDLE session = module.Open(SlotOfType(c.owner.cardType));
    EXPECT_EQ(c.expected, AskThePin(module, session, c));
    module.Finalize();
    ExpectWindows(program, c, CardLabel(env, c));
    ExpectPinAfter(env, c);
}
} // namespace

TEST(SimPinWindow, AsksOnTheScreenWhenNoAnswerIsQueued)
{
    for (const PinWindowCase& c : SimTest::PinWindowCases())
        RunCase(Screen::WindowOn, c);
}

TEST(SimPinWindow, WithoutAScreenNothingIsStartedAndTheAnswerIsCancelled)
{
    for (const ScreenCase& c : kScreenCases)
        RunCase(c.screen, c.pinCase);
}

// The queue still comes first: an answer for the asked PIN is taken without a window, one for
// another PIN stays queued while the window asks.
TEST(SimPinWindow, QueuedAnswerForThePinComesFirst)
{
    SimEnvironment env;
    ASSERT_TRUE(env.Ready());
    DialogAnswer forSignature = DialogAnswer::Enter({"123456"});
    forSignature.pin = "SIG";
    DialogAnswer forLogin = DialogAnswer::Enter({"1234"});
    forLogin.pin = "ENC";
    ASSERT_TRUE(env.ScriptDialog({forSignature}));
    const FakeDialogProgram program(env.Folder());
    program.Plant({{"1234"}});
    ScopedEnvironment environment;
    Arrange(environment, Screen::WindowOn, program.Folder(), env.Folder());

    LoadedModule module;
    ASSERT_TRUE(module.Load());
    ASSERT_EQ(CKR_OK, module.Initialize());
    CK_SESSION_HANDLE session = module.Open(SlotOfType(2));
    EXPECT_EQ(CKR_OK, module.F().C_Login(session, CKU_USER, nullptr, 0));
    EXPECT_EQ(1u, program.Runs().size());
    EXPECT_EQ(1u, env.Load().dialog.size()) << "the signature PIN's answer stays queued";
    ASSERT_EQ(CKR_OK, module.F().C_Logout(session));
    ASSERT_TRUE(env.ScriptDialog({forLogin}));
    EXPECT_EQ(CKR_OK, module.F().C_Login(session, CKU_USER, nullptr, 0));
    EXPECT_EQ(1u, program.Runs().size()) << "no window while an answer fits";
    module.Finalize();
    EXPECT_EQ("SIG", env.Load().dialog.at(0).pin);
}
