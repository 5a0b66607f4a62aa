#pragma once

// The numbered operations 0 to 6 of an ACOS card's renewal (card types 0 to 2), performed by the
// module itself as C_Register asks: reading the card's identifiers, the two authentications, and
// writing the certificate, key and PIN/PUK data that the server sealed for the card.

#include "sim/cardmodule/cardset/CardSet.h"
#include "token/Pkcs11Types.h"

namespace QuendrySim
{
struct CardRuntime;

bool IsAcosChip(const Card& card);
// Whether operation 2's input ends with macCp: the program's own "CP" setting, unless the
// environment's QUENDRY_SIM_ACOS_CP says "on" or "off" (a test's way to make the two differ).
bool AcosUsesCpData();
// input holds what the operation's layout reads; changed tells that the card was written.
CK_RV AcosOperation(Card& card, CardRuntime& runtime, CK_ULONG operation, const ByteVector& input,
                    ByteVector& output, bool& changed);
} // namespace QuendrySim
