#pragma once

// Keys of the simulated cards, derived with HMAC-SHA-256 from one fixed test key: one key per
// card family, card and key name (a CardOS DF, an ACOS key), and per authentication a MAC key
// from both challenges.

#include "core/Bytes.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace SimKeys
{
ByteVector HmacSha256(const ByteVector& key, const ByteVector& data);

// The static key of one card: family "CardOS" or "ACOS", the card's chip identifier, the name
// of the key (for CardOS the DF it guards: "3F00", "DF01", "DF02").
ByteVector CardKey(const std::string& family, const ByteVector& chipId, const std::string& name);

// What each side proves in a challenge-response over the card's challenge and the terminal's.
ByteVector TerminalProof(const ByteVector& cardKey, const ByteVector& rndIcc,
                         const ByteVector& rndIfd);
ByteVector CardProof(const ByteVector& cardKey, const ByteVector& rndIcc, const ByteVector& rndIfd);
ByteVector SessionMacKey(const ByteVector& cardKey, const ByteVector& rndIcc,
                         const ByteVector& rndIfd);

// An 8-byte MAC over the send-sequence counter and the data.
ByteVector Mac8(const ByteVector& macKey, uint64_t counter, const ByteVector& data);

constexpr size_t kChallengeLength = 8;
constexpr size_t kProofLength = 32;
constexpr size_t kMacLength = 8;
} // namespace SimKeys
