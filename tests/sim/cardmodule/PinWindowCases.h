#pragma once

// The cases of the module's PIN window that hold on every system: what the user types into each
// window shown and what the card holds afterwards. The Linux test answers through a stand-in
// for the dialog program, the Windows test through the window itself.

#include "ModuleHarness.h"

#include <string>
#include <vector>

namespace SimTest
{
enum class Ask
{
    LogIn, // card type 2, whose login PIN is the encryption PIN
    Change,
    Unblock
};

struct PinWindowCase
{
    const char* name;
    Ask ask;
    PinOwner owner;
    int retries, pukRetries; // before
    // The values typed into each window shown, in order; a window shown after them is cancelled.
    std::vector<std::vector<std::string>> typed;
    size_t windowsShown;
    std::vector<const char*> lastPromptSays;
    CK_RV expected;
    const char* valueAfter;
    int retriesAfter, pukRetriesAfter;
};

const std::vector<PinWindowCase>& PinWindowCases();

// The card set with the case's counters; false when it cannot be saved.
bool ArrangePin(const QuendrySim::SimEnvironment& env, const PinWindowCase& c);
// C_Login with no PIN, or the PIN attribute of the case's object.
CK_RV AskThePin(const LoadedModule& module, CK_SESSION_HANDLE session, const PinWindowCase& c);
void ExpectPinAfter(const QuendrySim::SimEnvironment& env, const PinWindowCase& c);
std::string CardLabel(const QuendrySim::SimEnvironment& env, const PinWindowCase& c);
} // namespace SimTest
