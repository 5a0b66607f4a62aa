#pragma once

// The secure-messaging form of commands and answers that the simulated CardOS card and the
// simulated server share. A protected command is
//   CLA (0C, 1C when more follow) INS P1 P2 Lc [81 L data] 8E 08 MAC 00
// with the MAC over the counter, the four header bytes and the data object; its answer is
//   [81 L data] 99 02 90 00 8E 08 MAC 90 00
// with the MAC over the counter and the objects before it. Each side counts one step for the
// command and one for the answer, so a command sent twice, skipped or reordered fails.

#include "core/Bytes.h"

#include <cstddef>
#include <cstdint>

namespace SimKeys
{
struct SmChannel
{
    ByteVector macKey;
    uint64_t counter = 0;
};

constexpr unsigned char kSmClass = 0x0C;
constexpr unsigned char kChainingBit = 0x10;
// The most data one short protected command carries.
constexpr size_t kMaxSmData = 200;

struct PlainCommand
{
    unsigned char cla = 0;
    unsigned char ins = 0;
    unsigned char p1 = 0;
    unsigned char p2 = 0;
    ByteVector data;
};

// Terminal side.
ByteVector ProtectCommand(SmChannel& channel, const PlainCommand& command);
// The MAC of the good answer (with that data) to the command protected last.
ByteVector ExpectedAnswerMac(SmChannel& channel, const ByteVector& answerData);
// Checks an answer without its status word and gives its data.
bool OpenAnswer(SmChannel& channel, const ByteVector& answer, ByteVector& data);

// Card side: false when the form or the MAC is wrong.
bool OpenCommand(SmChannel& channel, const ByteVector& apdu, PlainCommand& command);
ByteVector ProtectAnswer(SmChannel& channel, const ByteVector& data);
} // namespace SimKeys
