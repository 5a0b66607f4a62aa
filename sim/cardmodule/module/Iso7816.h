#pragma once

// The card's ISO 7816 file system and the commands the program sends to it.

#include "sim/cardmodule/cardset/CardSet.h"
#include "sim/cardmodule/module/Module.h"

#include <cstdint>

namespace QuendrySim
{
// Status words that more than one chip answers.
constexpr uint16_t kOk = 0x9000;
constexpr uint16_t kWrongLength = 0x6700;
constexpr uint16_t kIncompatibleFile = 0x6981;
constexpr uint16_t kNoCurrentFile = 0x6986;
constexpr uint16_t kFileNotFound = 0x6A82;
constexpr uint16_t kInsNotSupported = 0x6D00;

// The response with its status word; the current folder and file move with SELECT. changed
// tells that the card's files or objects were written.
ByteVector ProcessApdu(Card& card, CardRuntime& runtime, const ByteVector& command, bool& changed);

CardFile* FileAt(Card& card, const std::string& path);
std::string ParentOf(const std::string& path);
ByteVector StatusAnswer(ByteVector data, uint16_t status);
} // namespace QuendrySim
