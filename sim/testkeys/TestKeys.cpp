#include "sim/testkeys/TestKeys.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace SimKeys
{
namespace
{
// The one fixed test key every simulated card key is derived from.
const ByteVector kMasterKey = {0x51, 0x75, 0x65, 0x6E, 0x64, 0x72, 0x79, 0x20, 0x54, 0x65, 0x73,
                               0x74, 0x20, 0x4B, 0x65, 0x79, 0x20, 0x30, 0x31, 0xA5, 0x3C, 0x96,
                               0x0F, 0xE1, 0x7B, 0x42, 0xD8, 0x19, 0x6E, 0xC3, 0x2A, 0x85};

ByteVector Labelled(const std::string& label, std::initializer_list<const ByteVector*> parts)
{
    ByteVector data(label.begin(), label.end());
    for (const ByteVector* part : parts)
    {
        data.push_back(static_cast<unsigned char>(part->size()));
        data.insert(data.end(), part->begin(), part->end());
    }
    return data;
}
} // namespace

ByteVector HmacSha256(const ByteVector& key, const ByteVector& data)
{
    ByteVector mac(EVP_MAX_MD_SIZE);
    unsigned int length = 0;
    if (!HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), data.data(), data.size(),
              mac.data(), &length))
        return {};
    mac.resize(length);
    return mac;
}

ByteVector CardKey(const std::string& family, const ByteVector& chipId, const std::string& name)
{
    const ByteVector nameBytes(name.begin(), name.end());
    return HmacSha256(kMasterKey, Labelled("card key " + family, {&chipId, &nameBytes}));
}

ByteVector TerminalProof(const ByteVector& cardKey, const ByteVector& rndIcc,
                         const ByteVector& rndIfd)
{
    return HmacSha256(cardKey, Labelled("terminal", {&rndIcc, &rndIfd}));
}

ByteVector CardProof(const ByteVector& cardKey, const ByteVector& rndIcc, const ByteVector& rndIfd)
{
    return HmacSha256(cardKey, Labelled("card", {&rndIcc, &rndIfd}));
}

ByteVector SessionMacKey(const ByteVector& cardKey, const ByteVector& rndIcc,
                         const ByteVector& rndIfd)
{
    return HmacSha256(cardKey, Labelled("session mac", {&rndIcc, &rndIfd}));
}

ByteVector Mac8(const ByteVector& macKey, uint64_t counter, const ByteVector& data)
{
    ByteVector input;
    for (int shift = 56; shift >= 0; shift -= 8)
        input.push_back(static_cast<unsigned char>(counter >> shift));
    input.insert(input.end(), data.begin(), data.end());
    ByteVector mac = HmacSha256(macKey, input);
    mac.resize(kMacLength);
    return mac;
}
} // namespace SimKeys
