// The module's own PIN window on Windows: while the module's call waits on this thread, a second
// thread acts as the user. It finds the window by the card's label, reads its line, types into
// the masked entries and presses OK, or ends the window with Cancel or its close box.

#include "PinWindowCases.h"
#include "platform/Utf8.h"
#include "sim/cardmodule/testsupport/EnvironmentValue.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

using QuendrySim::SimEnvironment;
using SimTest::Ask;
using SimTest::LoadedModule;
using SimTest::PinWindowCase;
using SimTest::SlotOfType;

namespace
{
enum class Ending
{
    CancelButton,
    CloseBox
};

struct WindowSeen
{
    std::wstring prompt;
    size_t maskedEntries = 0;
};

std::wstring Wide(const std::string& text)
{
    std::wstring wide;
    platform::Utf8ToWide(text, wide);
    return wide;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The window's controls in their order: its line, then each entry's label and entry, then OK
// and Cancel.
struct WindowParts
{
    HWND prompt = nullptr;
    std::vector<HWND> entries;
    HWND ok = nullptr;
    HWND cancel = nullptr;
};

WindowParts PartsOf(HWND dialog)
{
    WindowParts parts;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    {
        const std::wstring kind = ClassOf(child);
        if (_wcsicmp(kind.c_str(), L"Edit") == 0)
            parts.entries.push_back(child);
        else if (_wcsicmp(kind.c_str(), L"Button") == 0)
            (TextOf(child) == L"OK" ? parts.ok : parts.cancel) = child;
        else if (!parts.prompt)
            parts.prompt = child;
    }
    return parts;
}

size_t MaskedCount(const std::vector<HWND>& entries)
{
    size_t masked = 0;
    for (HWND entry : entries)
        masked += (GetWindowLongW(entry, GWL_STYLE) & ES_PASSWORD) != 0 ? 1 : 0;
    return masked;
}

// What a click on the button sends its window.
void Press(HWND dialog, HWND button)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

void Answer(HWND dialog, const std::vector<std::string>* typed, Ending ending)
{
    const WindowParts parts = PartsOf(dialog);
    if (!typed)
    {
        if (ending == Ending::CloseBox)
            PostMessageW(dialog, WM_CLOSE, 0, 0);
        else
            Press(dialog, parts.cancel);
        return;
    }
    for (size_t i = 0; i < typed->size() && i < parts.entries.size(); ++i)
        SendMessageW(parts.entries[i], WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(Wide((*typed)[i]).c_str()));
    Press(dialog, parts.ok);
}

// Answers every window of the card until the module's call is back: the case's values into the
// first ones, the ending for any after them, so that no window is left waiting.
std::vector<WindowSeen> ActAsUser(const std::wstring& title, const PinWindowCase& c, Ending ending,
                                  const std::atomic<bool>& callReturned)
{
    std::vector<WindowSeen> seen;
    while (!callReturned)
    {
        HWND dialog = FindWindowW(L"#32770", title.c_str());
        if (!dialog || !IsWindowVisible(dialog))
        {
            Sleep(10);
            continue;
        }
        const WindowParts parts = PartsOf(dialog);
        seen.push_back({parts.prompt ? TextOf(parts.prompt) : L"", MaskedCount(parts.entries)});
        const size_t shown = seen.size() - 1;
        Answer(dialog, shown < c.typed.size() ? &c.typed[shown] : nullptr, ending);
        while (IsWindow(dialog) && !callReturned)
            Sleep(10);
    }
    return seen;
}

void RunCase(const PinWindowCase& c, Ending ending)
{
    SCOPED_TRACE(c.name);
    SimEnvironment env;
    ASSERT_TRUE(env.Ready());
    ASSERT_TRUE(SimTest::ArrangePin(env, c));
    ASSERT_TRUE(QuendrySim::SetEnvironmentValue("QUENDRY_SIM_PIN_WINDOW", "on"));
    LoadedModule module;
    ASSERT_TRUE(module.Load());
    ASSERT_EQ(CKR_OK, module.Initialize());
    CK_SESSION_HANDLE session = module.Open(SlotOfType(c.owner.cardType));
    std::atomic<bool> callReturned{false};
    std::vector<WindowSeen> seen;
    std::thread user(
        [&] { seen = ActAsUser(Wide(SimTest::CardLabel(env, c)), c, ending, callReturned); });
    const CK_RV rv = SimTest::AskThePin(module, session, c);
    callReturned = true;
    user.join();
    module.Finalize();

    EXPECT_EQ(c.expected, rv);
    ASSERT_EQ(c.windowsShown, seen.size());
    for (const WindowSeen& window : seen)
        EXPECT_EQ(c.ask == Ask::LogIn ? 1u : 3u, window.maskedEntries);
    if (!seen.empty())
    {
        const std::wstring& prompt = seen.back().prompt;
        for (const char* words : c.lastPromptSays)
            EXPECT_NE(std::wstring::npos, prompt.find(Wide(words))) << words;
    }
    SimTest::ExpectPinAfter(env, c);
}
} // namespace

TEST(SimPinWindowWindows, TheUserAnswersInTheModulesOwnWindow)
{
    for (const PinWindowCase& c : SimTest::PinWindowCases())
        RunCase(c, Ending::CancelButton);
}

TEST(SimPinWindowWindows, ClosingTheWindowCancels)
{
    for (const PinWindowCase& c : SimTest::PinWindowCases())
        if (c.expected == CKR_FUNCTION_CANCELED)
            RunCase(c, Ending::CloseBox);
}
