#pragma once

// What the simulated ACOS card and the simulated server both work out in the numbered
// operations of a renewal. Signature part: operation 1 proves the card's signature key over the
// terminal block and the key it offers; the server answers its proof with two short MACs
// (macRb, macCp) from the session key; operation 2 answers response_rb and, with CP data,
// response_cp. Encryption part: operation 4 gives a challenge and the version of the decryption
// key; the server's 48-byte authIfd is rndIfd, its own 8 random bytes and its proof; the card's
// 48-byte authIcc is 16 random bytes and its proof. Each part then opens a channel whose blocks
// (certificate, key, PIN/PUK data) carry an 8-byte MAC over the channel's next count.

#include "core/Bytes.h"
#include "sim/testkeys/SecureMessaging.h"

#include <cstddef>
#include <string>

namespace SimKeys
{
constexpr size_t kAcosShortMacLength = 4;
constexpr size_t kAcosAuthenticationLength = 48;
constexpr size_t kAcosTerminalRandomLength = 8;
constexpr size_t kAcosCardRandomLength = 16;
// The version of the decryption key every simulated ACOS card holds.
const ByteVector kAcosDecryptionKeyVersion = {0x00, 0x01};
// The bank code every simulated ACOS card answers after its card number in operation 0.
const ByteVector kAcosBankCode = {0x20, 0x11, 0x00};

ByteVector AcosSignatureKey(const ByteVector& chipId);
ByteVector AcosDecryptionKey(const ByteVector& chipId, const ByteVector& version);

// Operation 1: the card's proof over its challenge, the terminal block and the offered key.
ByteVector AcosSignatureCardProof(const ByteVector& key, const ByteVector& rndIcc,
                                  const ByteVector& terminal, const ByteVector& publicKey);
ByteVector AcosShortMac(const ByteVector& macKey, const std::string& label,
                        const ByteVector& pkCgaAuth, const ByteVector& authIfd);
ByteVector AcosResponseRb(const ByteVector& macKey, const ByteVector& authIfd);
ByteVector AcosResponseCp(const ByteVector& macKey, const ByteVector& authIfd);

// Operation 5: the card's proof over both sides' randoms.
ByteVector AcosEncryptionTerminalProof(const ByteVector& key, const ByteVector& rndIcc,
                                       const ByteVector& terminalRandoms);
ByteVector AcosEncryptionCardProof(const ByteVector& key, const ByteVector& rndIcc,
                                   const ByteVector& terminalRandoms, const ByteVector& cardRandom);

// A block of the channel: the data, then its MAC over the channel's next count.
ByteVector SealBlock(SmChannel& channel, const ByteVector& data);
bool OpenBlock(SmChannel& channel, const ByteVector& block, ByteVector& data);
} // namespace SimKeys
