#pragma once

// The PIN rules of the simulated cards: retry counters, PUKs and the outcomes of the PIN dialog.

#include "sim/cardmodule/cardset/CardSet.h"
#include "token/Pkcs11Types.h"

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
CK_RV ApplyDialogAnswer(DialogKind kind, Pin& pin, const DialogAnswer& answer);
// A wrong value costs a try; the last try locks; a right one restores every try.
CK_RV VerifyPin(Pin& pin, const std::string& value);
} // namespace QuendrySim
