#pragma once

#include "core/Bytes.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>

// Owning handles for the libcrypto objects the certificate code creates.
template <auto Free> struct OpenSSLFree
{
    template <typename T> void operator()(T* object) const { Free(object); }
};

inline void FreeOpenSSLString(char* text)
{
    OPENSSL_free(text);
}

using X509Ptr = std::unique_ptr<X509, OpenSSLFree<X509_free>>;
using BIOPtr = std::unique_ptr<BIO, OpenSSLFree<BIO_free>>;
using BIGNUMPtr = std::unique_ptr<BIGNUM, OpenSSLFree<BN_free>>;
using EVPMDCTXPtr = std::unique_ptr<EVP_MD_CTX, OpenSSLFree<EVP_MD_CTX_free>>;
using OpenSSLStringPtr = std::unique_ptr<char, OpenSSLFree<FreeOpenSSLString>>;

// The DER of a libcrypto object through its i2d function; empty when it cannot be encoded.
template <typename T, typename Encoder> ByteVector EncodeDER(const T* object, Encoder encode)
{
    if (object == nullptr)
        return {};
    const int length = encode(object, nullptr);
    if (length <= 0)
        return {};
    ByteVector der(static_cast<size_t>(length));
    unsigned char* cursor = der.data();
    if (encode(object, &cursor) != length)
        return {};
    return der;
}
