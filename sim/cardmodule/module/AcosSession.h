#pragma once

// What an ACOS card keeps between its numbered operations: the challenge and card key of the
// authentication under way, and the channel it opened for the part's data.

#include "core/Bytes.h"
#include "sim/testkeys/SecureMessaging.h"

namespace QuendrySim
{
enum class AcosPart
{
    None,
    Signature,
    Encryption
};

struct AcosSession
{
    AcosPart authenticating = AcosPart::None; // operation 1 or 4 done, 2 or 5 not yet
    AcosPart open = AcosPart::None;           // operation 2 or 5 done, 3 or 6 not yet
    ByteVector key;
    ByteVector rndIcc;
    ByteVector terminal; // operation 1's terminal block
    ByteVector offeredKey;
    SimKeys::SmChannel channel;

    // A part under way keeps the card from plain writes until it is reset, its last session
    // closes or the module is finalized.
    bool Pending() const { return authenticating != AcosPart::None || open != AcosPart::None; }
};
} // namespace QuendrySim
