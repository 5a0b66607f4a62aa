#pragma once

// Ownership of libcrypto objects and DER encoding through the i2d_ convention.

#include "core/Bytes.h"

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>

namespace QuendrySim
{
struct OpenSslFree
{
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
    void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
    void operator()(BIGNUM* p) const { BN_free(p); }
    void operator()(ECDSA_SIG* p) const { ECDSA_SIG_free(p); }
    void operator()(X509* p) const { X509_free(p); }
    void operator()(X509_NAME* p) const { X509_NAME_free(p); }
    void operator()(PKCS8_PRIV_KEY_INFO* p) const { PKCS8_PRIV_KEY_INFO_free(p); }
};
template <typename T> using OpenSslPtr = std::unique_ptr<T, OpenSslFree>;

// encode(nullptr) gives the length, encode(&p) writes at p: the shape of every i2d_ function.
template <typename Encode> ByteVector Encoded(Encode encode)
{
    int length = encode(nullptr);
    if (length <= 0)
        return {};
    ByteVector bytes(static_cast<size_t>(length));
    unsigned char* p = bytes.data();
    encode(&p);
    return bytes;
}

inline OpenSslPtr<X509> DecodeCertificate(const ByteVector& der)
{
    const unsigned char* p = der.data();
    return OpenSslPtr<X509>(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
}
} // namespace QuendrySim
