#pragma once

// The CardOS chip of card type 7 beside the plain ISO 7816 file system: READ RECORD of the
// first record, MUTUAL AUTHENTICATE keyed per DF, and the commands that only secure messaging
// may send (UPDATE BINARY, READ PUBLIC KEY, PUT DATA of a key pair).

#include "sim/cardmodule/cardset/CardSet.h"

#include <optional>

namespace QuendrySim
{
struct CardRuntime;

bool IsCardOsChip(const Card& card);
// The answer, or nothing when the plain file system answers the command. changed tells that
// the card's files or objects were written.
std::optional<ByteVector> CardOsCommand(Card& card, CardRuntime& runtime, const ByteVector& command,
                                        bool& changed);
} // namespace QuendrySim
