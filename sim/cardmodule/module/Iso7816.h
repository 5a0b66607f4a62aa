#pragma once

// The card's ISO 7816 file system and the commands the program sends to it.

#include "sim/cardmodule/cardset/CardSet.h"
#include "sim/cardmodule/module/Module.h"

namespace QuendrySim
{
// The response with its status word; the current folder and file move with SELECT.
ByteVector ProcessApdu(Card& card, CardRuntime& runtime, const ByteVector& command);
} // namespace QuendrySim
