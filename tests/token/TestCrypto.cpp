#include "TestCrypto.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

namespace tokentest
{
namespace
{
struct Free
{
    void operator()(X509* p) const { X509_free(p); }
    void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
    void operator()(ECDSA_SIG* p) const { ECDSA_SIG_free(p); }
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};

std::unique_ptr<X509, Free> Decode(const ByteVector& der)
{
    const unsigned char* cursor = der.data();
    return std::unique_ptr<X509, Free>(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
}

bool VerifyRaw(const ByteVector& certificateDer, const ByteVector& input,
               const ByteVector& signature, bool rsaPadding)
{
    auto certificate = Decode(certificateDer);
    EVP_PKEY* key = certificate ? X509_get0_pubkey(certificate.get()) : nullptr;
    if (!key)
        return false;
    std::unique_ptr<EVP_PKEY_CTX, Free> context(EVP_PKEY_CTX_new(key, nullptr));
    if (!context || EVP_PKEY_verify_init(context.get()) != 1)
        return false;
    if (rsaPadding && EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) != 1)
        return false;
    return EVP_PKEY_verify(context.get(), signature.data(), signature.size(), input.data(),
                           input.size()) == 1;
}

int KeyType(const ByteVector& certificateDer)
{
    auto certificate = Decode(certificateDer);
    EVP_PKEY* key = certificate ? X509_get0_pubkey(certificate.get()) : nullptr;
    return key ? EVP_PKEY_base_id(key) : EVP_PKEY_NONE;
}
} // namespace

ByteVector Sha256(const ByteVector& data)
{
    ByteVector digest(32);
    unsigned length = 0;
    EVP_Digest(data.data(), data.size(), digest.data(), &length, EVP_sha256(), nullptr);
    return digest;
}

ByteVector Sha256DigestInfo(const ByteVector& data)
{
    ByteVector info = {0x30, 0x31, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                       0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00, 0x04, 0x20};
    const ByteVector digest = Sha256(data);
    info.insert(info.end(), digest.begin(), digest.end());
    return info;
}

bool VerifyRsaPkcs1(const ByteVector& certificateDer, const ByteVector& input,
                    const ByteVector& signature)
{
    return VerifyRaw(certificateDer, input, signature, true);
}

bool VerifyEcdsa(const ByteVector& certificateDer, const ByteVector& digest,
                 const ByteVector& signature)
{
    if (signature.empty() || signature.size() % 2 != 0)
        return false;
    const int half = static_cast<int>(signature.size() / 2);
    std::unique_ptr<ECDSA_SIG, Free> sig(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(signature.data(), half, nullptr);
    BIGNUM* s = BN_bin2bn(signature.data() + half, half, nullptr);
    if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1)
    {
        BN_free(r);
        BN_free(s);
        return false;
    }
    unsigned char* der = nullptr;
    const int length = i2d_ECDSA_SIG(sig.get(), &der);
    if (length <= 0)
        return false;
    const ByteVector derSignature(der, der + length);
    OPENSSL_free(der);
    return VerifyRaw(certificateDer, digest, derSignature, false);
}

bool VerifyCardSignature(const ByteVector& certificateDer, const ByteVector& input,
                         const ByteVector& signature)
{
    return KeyType(certificateDer) == EVP_PKEY_RSA
               ? VerifyRsaPkcs1(certificateDer, input, signature)
               : VerifyEcdsa(certificateDer, input, signature);
}

int RsaBits(const ByteVector& certificateDer)
{
    auto certificate = Decode(certificateDer);
    EVP_PKEY* key = certificate ? X509_get0_pubkey(certificate.get()) : nullptr;
    return key && EVP_PKEY_base_id(key) == EVP_PKEY_RSA ? EVP_PKEY_get_bits(key) : 0;
}

namespace
{
ByteVector SelfSigned(EVP_PKEY* key)
{
    std::unique_ptr<X509, Free> certificate(X509_new());
    if (!key || !certificate)
        return {};
    X509_set_version(certificate.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), 4242);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), 0);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 86400);
    X509_NAME* name = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Renewed"), -1, -1, 0);
    X509_set_issuer_name(certificate.get(), name);
    X509_set_pubkey(certificate.get(), key);
    if (X509_sign(certificate.get(), key, EVP_sha256()) <= 0)
        return {};
    unsigned char* der = nullptr;
    const int length = i2d_X509(certificate.get(), &der);
    ByteVector bytes(der, der + std::max(length, 0));
    OPENSSL_free(der);
    return bytes;
}
} // namespace

ByteVector CertificateForKey(const ByteVector& pkcs8PrivateKey)
{
    const unsigned char* cursor = pkcs8PrivateKey.data();
    std::unique_ptr<EVP_PKEY, Free> key(
        d2i_AutoPrivateKey(nullptr, &cursor, static_cast<long>(pkcs8PrivateKey.size())));
    return SelfSigned(key.get());
}

ByteVector CertificateWithFreshKey()
{
    std::unique_ptr<EVP_PKEY, Free> key(EVP_RSA_gen(2048));
    return SelfSigned(key.get());
}

ByteVector IdentityRecord(size_t size, unsigned char tag)
{
    constexpr size_t kLongForm = 0x80;
    size_t lengthBytes = 0;
    while (size - 2 - lengthBytes >=
           (lengthBytes == 0 ? kLongForm : size_t(1) << (8 * lengthBytes)))
        ++lengthBytes;
    const size_t content = size - 2 - lengthBytes;
    ByteVector record = {
        tag, static_cast<unsigned char>(lengthBytes == 0 ? content : kLongForm | lengthBytes)};
    for (size_t i = lengthBytes; i > 0; --i)
        record.push_back(static_cast<unsigned char>(content >> (8 * (i - 1))));
    record.resize(size, 0x5A);
    return record;
}

ByteVector ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return ByteVector(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool Run(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}
} // namespace tokentest
