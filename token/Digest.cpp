#include "token/Digest.h"

#include "token/acPKCS11.h"

#include <memory>
#include <openssl/provider.h>

namespace
{
struct ProviderUnload
{
    void operator()(OSSL_PROVIDER* provider) const { OSSL_PROVIDER_unload(provider); }
};
using Provider = std::unique_ptr<OSSL_PROVIDER, ProviderUnload>;

// MD4 and RIPEMD-160 live in the legacy provider; loading any provider ends the implicit
// default one, so both are loaded, once for the whole process (a function-local static is
// initialised exactly once, also when threads race for it).
struct DigestProviders
{
    Provider legacy{OSSL_PROVIDER_load(nullptr, "legacy")};
    Provider standard{OSSL_PROVIDER_load(nullptr, "default")};
};

void LoadDigestProviders()
{
    static const DigestProviders providers;
}

struct MdContextFree
{
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using MdContext = std::unique_ptr<EVP_MD_CTX, MdContextFree>;

struct DigestRow
{
    int algorithm;
    const EVP_MD* (*method)();
    unsigned length;
};

constexpr DigestRow kDigests[] = {
    {Corvane::HASH_SHA1, EVP_sha1, 20},     {Corvane::HASH_RIPEMD160, EVP_ripemd160, 20},
    {Corvane::HASH_SHA224, EVP_sha224, 28}, {Corvane::HASH_SHA256, EVP_sha256, 32},
    {Corvane::HASH_SHA512, EVP_sha512, 64}, {Corvane::HASH_MD5, EVP_md5, 16},
    {Corvane::HASH_MD4, EVP_md4, 16},       {Corvane::HASH_SHA384, EVP_sha384, 48},
};
} // namespace

const EVP_MD* GetDigestMd(int algorithm, unsigned& length)
{
    LoadDigestProviders();
    for (const DigestRow& row : kDigests)
    {
        if (row.algorithm == algorithm)
        {
            length = row.length;
            return row.method();
        }
    }
    length = 0;
    return nullptr;
}

bool ComputeDigest(const ByteVector& input, ByteVector& output, int algorithm)
{
    unsigned length = 0;
    const EVP_MD* method = GetDigestMd(algorithm, length);
    if (!method)
    {
        Corvane::acPKCS11::LogErrorValue("ComputeDigest: unknown algorithm",
                                         std::to_string(algorithm));
        return false;
    }
    if (input.empty())
    {
        Corvane::acPKCS11::LogError("ComputeDigest: no data");
        return false;
    }
    MdContext context(EVP_MD_CTX_new());
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned digestLength = 0;
    if (!context || EVP_DigestInit_ex(context.get(), method, nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), input.data(), input.size()) != 1 ||
        EVP_DigestFinal_ex(context.get(), digest, &digestLength) != 1)
    {
        Corvane::acPKCS11::LogErrorValue("ComputeDigest: digest failed", std::to_string(algorithm));
        return false;
    }
    output.insert(output.end(), digest, digest + digestLength);
    return true;
}
