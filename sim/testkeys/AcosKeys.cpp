#include "sim/testkeys/AcosKeys.h"

#include "sim/testkeys/TestKeys.h"

namespace SimKeys
{
namespace
{
const char* const kFamily = "ACOS";

ByteVector Joined(std::initializer_list<const ByteVector*> parts, const std::string& label = "")
{
    ByteVector bytes(label.begin(), label.end());
    for (const ByteVector* part : parts)
        bytes.insert(bytes.end(), part->begin(), part->end());
    return bytes;
}

std::string HexDigits(const ByteVector& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char byte : bytes)
        text += {digits[byte >> 4], digits[byte & 0x0F]};
    return text;
}
} // namespace

ByteVector AcosSignatureKey(const ByteVector& chipId)
{
    return CardKey(kFamily, chipId, "SIG");
}

ByteVector AcosDecryptionKey(const ByteVector& chipId, const ByteVector& version)
{
    return CardKey(kFamily, chipId, "DEC" + HexDigits(version));
}

ByteVector AcosSignatureCardProof(const ByteVector& key, const ByteVector& rndIcc,
                                  const ByteVector& terminal, const ByteVector& publicKey)
{
    return CardProof(key, rndIcc, Joined({&terminal, &publicKey}));
}

ByteVector AcosShortMac(const ByteVector& macKey, const std::string& label,
                        const ByteVector& pkCgaAuth, const ByteVector& authIfd)
{
    ByteVector mac = HmacSha256(macKey, Joined({&pkCgaAuth, &authIfd}, "mac " + label));
    mac.resize(kAcosShortMacLength);
    return mac;
}

ByteVector AcosResponseRb(const ByteVector& macKey, const ByteVector& authIfd)
{
    return HmacSha256(macKey, Joined({&authIfd}, "response rb"));
}

ByteVector AcosResponseCp(const ByteVector& macKey, const ByteVector& authIfd)
{
    return Mac8(macKey, 0, Joined({&authIfd}, "response cp"));
}

ByteVector AcosEncryptionTerminalProof(const ByteVector& key, const ByteVector& rndIcc,
                                       const ByteVector& terminalRandoms)
{
    return TerminalProof(key, rndIcc, terminalRandoms);
}

ByteVector AcosEncryptionCardProof(const ByteVector& key, const ByteVector& rndIcc,
                                   const ByteVector& terminalRandoms, const ByteVector& cardRandom)
{
    return CardProof(key, rndIcc, Joined({&terminalRandoms, &cardRandom}));
}

ByteVector SealBlock(SmChannel& channel, const ByteVector& data)
{
    ByteVector block = data;
    const ByteVector mac = Mac8(channel.macKey, ++channel.counter, data);
    block.insert(block.end(), mac.begin(), mac.end());
    return block;
}

bool OpenBlock(SmChannel& channel, const ByteVector& block, ByteVector& data)
{
    if (channel.macKey.empty() || block.size() < kMacLength)
        return false;
    data.assign(block.begin(), block.end() - kMacLength);
    return ByteVector(block.end() - kMacLength, block.end()) ==
           Mac8(channel.macKey, ++channel.counter, data);
}
} // namespace SimKeys
