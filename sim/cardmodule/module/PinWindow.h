#pragma once

// The module's own PIN dialog on the screen, as a card maker's module shows one when its caller
// passes no PIN: shown only when QUENDRY_SIM_PIN_WINDOW is "on" and no queued answer fits.

#include "sim/cardmodule/cardset/CardSet.h"
#include "sim/cardmodule/module/PinEngine.h"

#include <optional>
#include <string>
#include <vector>

namespace QuendrySim
{
struct PinQuestion
{
    DialogKind kind;
    std::string cardLabel;
    std::string pinName; // as the card set names it: "SIG", "ENC", "INFOBOX"
};

// The values typed in, as a queued "enter" holds them. Cancelled when the user cancels, and when
// the window is off or cannot be shown, so that nothing waits without a screen.
DialogAnswer AskOnScreen(const PinQuestion& question);

// One showing of the window: titled with the card's label, a line saying which PIN and what for,
// and one masked entry per field.
struct PinForm
{
    std::string title;
    std::string prompt;
    std::vector<std::string> fields;
};

// Per system: shows the form modally on the calling thread and answers one value per field, or
// nothing when the user cancelled or no window could be shown.
std::optional<std::vector<std::string>> ShowPinForm(const PinForm& form);
} // namespace QuendrySim
