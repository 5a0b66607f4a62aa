#pragma once

// The PIN rules of the simulated cards: retry counters, PUKs and the outcomes of the PIN dialog.

#include "sim/cardmodule/cardset/CardSet.h"
#include "token/Pkcs11Types.h"

#include <optional>
#include <string>
#include <vector>

namespace QuendrySim
{
enum class DialogKind
{
    Change,  // enter: old PIN, new PIN
    Unblock, // enter: PUK, new PIN
    Verify   // enter: PIN
};

// A locked PIN (or PUK, for unblocking) is refused before the dialog is shown.
bool IsLockedFor(DialogKind kind, const Pin& pin);
const char* AnswerName(const DialogAnswer& answer);
// Takes the first queued answer that fits the asked PIN: one naming it or one naming none. An
// answer for another PIN stays queued for its own.
std::optional<DialogAnswer> TakeAnswerFor(std::vector<DialogAnswer>& queue,
                                          const std::string& pinName);
CK_RV ApplyDialogAnswer(DialogKind kind, Pin& pin, const DialogAnswer& answer);
// A wrong value costs a try; the last try locks; a right one restores every try.
CK_RV VerifyPin(Pin& pin, const std::string& value);
} // namespace QuendrySim
