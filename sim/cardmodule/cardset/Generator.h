#pragma once

#include "sim/cardmodule/cardset/CardSet.h"

namespace QuendrySim
{
struct GeneratedCa
{
    ByteVector certificate; // DER
};

// One card of every card type 0 to 8 in slots 1 to 9 and an empty reader in slot 10, with fresh
// keys and certificates issued by a fresh test CA.
bool GenerateCardSet(CardSet& out, GeneratedCa& ca);
} // namespace QuendrySim
