#pragma once

// The card's ISO 7816 file system and the commands the program sends to it.

#include "sim/cardmodule/cardset/CardSet.h"
#include "sim/cardmodule/module/Module.h"

namespace QuendrySim
{
// The response with its status word; the current folder and file move with SELECT. changed
// tells that the card's files or objects were written.
ByteVector ProcessApdu(Card& card, CardRuntime& runtime, const ByteVector& command, bool& changed);

CardFile* FileAt(Card& card, const std::string& path);
std::string ParentOf(const std::string& path);
ByteVector StatusAnswer(ByteVector data, uint16_t status);
} // namespace QuendrySim
