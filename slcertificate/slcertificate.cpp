#include "slcertificate/slcertificate.h"

#include <openssl/obj_mac.h>
#include <openssl/objects.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace
{

SignatureAlgorithmCode CodeForNid(int nid)
{
    switch (nid)
    {
    case NID_sha1WithRSAEncryption:
        return SHA1_WITH_RSA_ENCRYPTION;
    case NID_sha256WithRSAEncryption:
        return SHA256_WITH_RSA_ENCRYPTION;
    case NID_sha512WithRSAEncryption:
        return SHA512_WITH_RSA_ENCRYPTION;
    case NID_sha1:
        return SIGNATURE_ALGORITHM_SHA1;
    case NID_sha256:
        return SIGNATURE_ALGORITHM_SHA256;
    case NID_sha512:
        return SIGNATURE_ALGORITHM_SHA512;
    default:
        return SIGNATURE_ALGORITHM_OTHER;
    }
}

ByteVector Sha1(const unsigned char* data, size_t length)
{
    EVPMDCTXPtr context(EVP_MD_CTX_new());
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha1(), nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), data, length) != 1 ||
        EVP_DigestFinal_ex(context.get(), digest, &digestLength) != 1)
        return {};
    return ByteVector(digest, digest + digestLength);
}

} // namespace

X509Ptr slcertificate::Duplicate(const X509* certificate)
{
    X509* shared = const_cast<X509*>(certificate);
    if (shared == nullptr || X509_up_ref(shared) != 1)
        return nullptr;
    return X509Ptr(shared);
}

SignatureAlgorithmCode slcertificate::GetSignatureAlgorithm() const
{
    if (!handle)
        return SIGNATURE_ALGORITHM_OTHER;
    const X509_ALGOR* algorithm = nullptr;
    X509_get0_signature(nullptr, &algorithm, handle.get());
    const ASN1_OBJECT* object = nullptr;
    X509_ALGOR_get0(&object, nullptr, nullptr, algorithm);
    return CodeForNid(OBJ_obj2nid(object));
}

std::string slcertificate::GetSerialHex() const
{
    if (!handle)
        return {};
    BIGNUMPtr number(ASN1_INTEGER_to_BN(X509_get0_serialNumber(handle.get()), nullptr));
    if (!number)
        return {};
    OpenSSLStringPtr hex(BN_bn2hex(number.get()));
    if (!hex)
        return {};
    return "0x" + std::string(hex.get());
}

int32_t slcertificate::GetSerialNumber() const
{
    const std::string hex = GetSerialHex();
    // long is 64 bits on some systems and 32 on others: saturate the same way on both.
    const long value = std::strtol(hex.c_str(), nullptr, 16);
    return static_cast<int32_t>(std::clamp<long>(value, INT32_MIN, INT32_MAX));
}

std::string slcertificate::GetCommonName() const
{
    if (!handle)
        return {};
    char text[1024] = {};
    X509_NAME_get_text_by_NID(X509_get_subject_name(handle.get()), NID_commonName, text,
                              sizeof(text));
    return std::string(text);
}

ByteVector slcertificate::GetPublicKeyHash() const
{
    if (!handle)
        return {};
    const X509_PUBKEY* publicKey = X509_get_X509_PUBKEY(handle.get());
    const unsigned char* keyBits = nullptr;
    int keyLength = 0;
    if (publicKey == nullptr ||
        X509_PUBKEY_get0_param(nullptr, &keyBits, &keyLength, nullptr, publicKey) != 1 ||
        keyBits == nullptr || keyLength < 0)
        return {};
    return Sha1(keyBits, static_cast<size_t>(keyLength));
}

std::string slcertificate::GetPublicKeyHashString() const
{
    const ByteVector hash = GetPublicKeyHash();
    return std::string(hash.begin(), hash.end());
}

bool DecodeCertificate(const ByteVector& der, slcertificate& holder)
{
    holder.SetHandle(nullptr);
    if (der.empty() || der.size() > INT_MAX)
        return false;
    BIOPtr buffer(BIO_new_mem_buf(der.data(), static_cast<int>(der.size())));
    if (!buffer)
        return false;
    holder.SetHandle(X509Ptr(d2i_X509_bio(buffer.get(), nullptr)));
    return holder.HasCertificate();
}
