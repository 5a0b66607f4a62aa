#include "sim/cardmodule/module/AcosChip.h"

#include "core/config/AcosSettings.h"
#include "sim/cardmodule/cardset/Hex.h"
#include "sim/cardmodule/module/KeyCrypto.h"
#include "sim/cardmodule/module/Module.h"
#include "sim/testkeys/AcosKeys.h"
#include "sim/testkeys/TestKeys.h"

#include <openssl/rand.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace QuendrySim
{
namespace
{
constexpr CK_RV kRefused = CKR_FUNCTION_FAILED;
constexpr size_t kChipIdLength = 8;
constexpr size_t kTerminalBlockLength = 16;
constexpr size_t kPinPukLength = 2;

// The input blocks in order; every read stays within the input.
class BlockReader
{
public:
    explicit BlockReader(const ByteVector& bytes) : bytes(bytes) {}

    bool Fixed(size_t length, ByteVector& block)
    {
        if (length > Remaining())
            return false;
        block.assign(bytes.begin() + offset, bytes.begin() + offset + length);
        offset += length;
        return true;
    }
    bool LengthPrefixed(ByteVector& block)
    {
        ByteVector lengthBytes;
        if (!Fixed(4, lengthBytes))
            return false;
        const size_t length = size_t(lengthBytes[0]) << 24 | size_t(lengthBytes[1]) << 16 |
                              size_t(lengthBytes[2]) << 8 | lengthBytes[3];
        return Fixed(length, block);
    }
    size_t Remaining() const { return bytes.size() - offset; }

private:
    const ByteVector& bytes;
    size_t offset = 0;
};

void Append(ByteVector& to, const ByteVector& bytes)
{
    to.insert(to.end(), bytes.begin(), bytes.end());
}

void AppendLengthPrefixed(ByteVector& to, const ByteVector& block)
{
    const size_t length = block.size();
    Append(to, {static_cast<unsigned char>(length >> 24), static_cast<unsigned char>(length >> 16),
                static_cast<unsigned char>(length >> 8), static_cast<unsigned char>(length)});
    Append(to, block);
}

ByteVector Random(size_t length)
{
    ByteVector bytes(length);
    RAND_bytes(bytes.data(), static_cast<int>(length));
    return bytes;
}

ByteVector Slice(const ByteVector& bytes, size_t offset, size_t length)
{
    return ByteVector(bytes.begin() + offset, bytes.begin() + offset + length);
}

// Operation 0: chip identifier, card number and bank code.
CK_RV ReadIdentifiers(const Card& card, ByteVector& output)
{
    ByteVector cardNumber;
    if (card.chipId.size() != kChipIdLength || !FromHex(card.serial, cardNumber))
        return kRefused;
    output = card.chipId;
    Append(output, cardNumber);
    Append(output, SimKeys::kAcosBankCode);
    return CKR_OK;
}

// Operation 1: the card's challenge and its proof over the terminal block and its key.
CK_RV AuthenticateSignature(Card& card, AcosSession& session, const ByteVector& input,
                            ByteVector& output)
{
    const CardObject* publicKey = card.FindObject("PK.CH.SIG");
    if (input.size() != kTerminalBlockLength || card.chipId.size() != kChipIdLength || !publicKey ||
        publicKey->key.empty())
        return kRefused;
    session.authenticating = AcosPart::Signature;
    session.key = SimKeys::AcosSignatureKey(card.chipId);
    session.rndIcc = Random(SimKeys::kChallengeLength);
    session.terminal = input;
    session.offeredKey = publicKey->key;
    output = session.rndIcc;
    Append(output, card.chipId);
    AppendLengthPrefixed(output, SimKeys::AcosSignatureCardProof(session.key, session.rndIcc, input,
                                                                 publicKey->key));
    AppendLengthPrefixed(output, publicKey->key);
    return CKR_OK;
}

// Operation 2: the terminal's proof and MACs; macCp is there when the input holds it.
CK_RV AnswerSignatureTerminal(AcosSession& session, const ByteVector& input, ByteVector& output)
{
    BlockReader reader(input);
    ByteVector pkCgaAuth, authIfd, macRb, macCp;
    if (std::exchange(session.authenticating, AcosPart::None) != AcosPart::Signature ||
        !reader.LengthPrefixed(pkCgaAuth) || !reader.LengthPrefixed(authIfd) ||
        !reader.Fixed(SimKeys::kAcosShortMacLength, macRb))
        return kRefused;
    const bool withCp = reader.Fixed(SimKeys::kAcosShortMacLength, macCp);
    const ByteVector macKey = SimKeys::SessionMacKey(session.key, session.rndIcc, session.terminal);
    if (authIfd != SimKeys::TerminalProof(session.key, session.rndIcc, session.terminal) ||
        macRb != SimKeys::AcosShortMac(macKey, "RB", pkCgaAuth, authIfd) ||
        (withCp && macCp != SimKeys::AcosShortMac(macKey, "CP", pkCgaAuth, authIfd)))
        return kRefused;
    AppendLengthPrefixed(output, SimKeys::AcosResponseRb(macKey, authIfd));
    if (withCp)
        AppendLengthPrefixed(output, SimKeys::AcosResponseCp(macKey, authIfd));
    session.open = AcosPart::Signature;
    session.channel = {macKey, 0};
    return CKR_OK;
}

// Operation 4: a challenge for the decryption key.
CK_RV ChallengeEncryption(const Card& card, AcosSession& session, ByteVector& output)
{
    if (card.chipId.size() != kChipIdLength)
        return kRefused;
    session.authenticating = AcosPart::Encryption;
    session.key = SimKeys::AcosDecryptionKey(card.chipId, SimKeys::kAcosDecryptionKeyVersion);
    session.rndIcc = Random(SimKeys::kChallengeLength);
    output = card.chipId;
    Append(output, session.rndIcc);
    Append(output, SimKeys::kAcosDecryptionKeyVersion);
    return CKR_OK;
}

// Operation 5: authIfd is rndIfd, the terminal's 8 bytes and its proof over both.
CK_RV AuthenticateEncryption(AcosSession& session, const ByteVector& input, ByteVector& output)
{
    const size_t randoms = 2 * SimKeys::kAcosTerminalRandomLength;
    if (std::exchange(session.authenticating, AcosPart::None) != AcosPart::Encryption ||
        input.size() != SimKeys::kAcosAuthenticationLength)
        return kRefused;
    const ByteVector terminalRandoms = Slice(input, 0, randoms);
    if (Slice(input, randoms, input.size() - randoms) !=
        SimKeys::AcosEncryptionTerminalProof(session.key, session.rndIcc, terminalRandoms))
        return kRefused;
    const ByteVector cardRandom = Random(SimKeys::kAcosCardRandomLength);
    output = cardRandom;
    Append(output, SimKeys::AcosEncryptionCardProof(session.key, session.rndIcc, terminalRandoms,
                                                    cardRandom));
    ByteVector both = terminalRandoms;
    Append(both, cardRandom);
    session.open = AcosPart::Encryption;
    session.channel = {SimKeys::SessionMacKey(session.key, session.rndIcc, both), 0};
    return CKR_OK;
}

// The PIN/PUK data: the PIN's and the PUK's tries left, each at most its maximum.
bool ApplyPinPuk(Card& card, const char* pinName, const ByteVector& data)
{
    Pin* pin = card.FindPin(pinName);
    if (data.empty())
        return true;
    if (!pin || data.size() != kPinPukLength)
        return false;
    pin->retries = std::min<int>(data[0], pin->maxRetries);
    pin->pukRetries = std::min<int>(data[1], pin->maxPukRetries);
    return true;
}

// The sealed blocks of a part in the order of the input, each opened with the channel.
bool OpenBlocks(AcosSession& session, AcosPart part, const ByteVector& input,
                std::initializer_list<ByteVector*> blocks)
{
    const bool open = session.open == part;
    session.open = AcosPart::None;
    BlockReader reader(input);
    for (ByteVector* block : blocks)
    {
        ByteVector sealed;
        if (!open || !reader.LengthPrefixed(sealed) ||
            (!sealed.empty() && !SimKeys::OpenBlock(session.channel, sealed, *block)))
            return false;
    }
    return true;
}

bool SetCertificate(Card& card, const char* label, const ByteVector& der, const char* keyLabel)
{
    CardObject* certificate = card.FindObject(label);
    const CardObject* key = card.FindObject(keyLabel);
    const ByteVector publicKey = CertificatePublicKey(der);
    if (!certificate || !key || publicKey.empty() || publicKey != key->key)
        return false;
    certificate->value = der;
    return true;
}

// Operation 3: the signature certificate for the key the card offered, and the PIN/PUK data.
CK_RV WriteSignatureData(Card& card, AcosSession& session, const ByteVector& input, bool& changed)
{
    ByteVector certificate, pinPuk;
    Card updated = card;
    if (!OpenBlocks(session, AcosPart::Signature, input, {&certificate, &pinPuk}) ||
        !SetCertificate(updated, "C.CH.SIG", certificate, "PK.CH.SIG") ||
        !ApplyPinPuk(updated, "SIG", pinPuk))
        return kRefused;
    card = updated;
    changed = true;
    return CKR_OK;
}

// Operation 6: the encryption certificate, the new key pair it certifies and the PIN/PUK data.
CK_RV WriteEncryptionData(Card& card, AcosSession& session, const ByteVector& input, bool& changed)
{
    ByteVector certificate, keyPair, pinPuk;
    Card updated = card;
    if (!OpenBlocks(session, AcosPart::Encryption, input, {&certificate, &keyPair, &pinPuk}) ||
        !InstallKeyPair(updated, "EKEY", keyPair) ||
        !SetCertificate(updated, "C.CH.EKEY", certificate, "PK.CH.EKEY") ||
        !ApplyPinPuk(updated, "ENC", pinPuk))
        return kRefused;
    card = updated;
    changed = true;
    return CKR_OK;
}
} // namespace

bool IsAcosChip(const Card& card)
{
    return card.model.compare(0, 8, "ACOS EMV") == 0;
}

bool AcosUsesCpData()
{
    const char* forced = std::getenv("QUENDRY_SIM_ACOS_CP");
    if (forced && std::strcmp(forced, "on") == 0)
        return true;
    if (forced && std::strcmp(forced, "off") == 0)
        return false;
    return UseAcosCpData();
}

CK_RV AcosOperation(Card& card, CardRuntime& runtime, CK_ULONG operation, const ByteVector& input,
                    ByteVector& output, bool& changed)
{
    AcosSession& session = runtime.acos;
    switch (operation)
    {
    case 0:
        return ReadIdentifiers(card, output);
    case 1:
        session = AcosSession{};
        return AuthenticateSignature(card, session, input, output);
    case 2:
        return AnswerSignatureTerminal(session, input, output);
    case 3:
        return WriteSignatureData(card, session, input, changed);
    case 4:
        session = AcosSession{};
        return ChallengeEncryption(card, session, output);
    case 5:
        return AuthenticateEncryption(session, input, output);
    case 6:
        return WriteEncryptionData(card, session, input, changed);
    }
    return CKR_ARGUMENTS_BAD;
}
} // namespace QuendrySim
