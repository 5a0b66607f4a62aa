#pragma once

#include "core/Bytes.h"

#include <openssl/evp.h>

namespace Corvane
{
// HashAlgorithm: the digest of ComputeDigest. 7 and every value not listed name no digest.
enum HashAlgorithm : int
{
    HASH_SHA1 = 0,
    HASH_RIPEMD160 = 1,
    HASH_SHA224 = 2,
    HASH_SHA256 = 3,
    HASH_SHA512 = 4,
    HASH_MD5 = 5,
    HASH_MD4 = 6,
    HASH_SHA384 = 8
};
} // namespace Corvane

// The crypto library's method of the algorithm and its output length; null for none.
const EVP_MD* GetDigestMd(int algorithm, unsigned& length);
// Appends the digest of the whole input to output; false for no digest or an empty input.
bool ComputeDigest(const ByteVector& input, ByteVector& output, int algorithm);
