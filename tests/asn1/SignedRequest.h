#pragma once

#include "core/Bytes.h"
#include "slcertificate/slcertificate.h"
#include "tests/slcertificate/TestCertificates.h"

#include <openssl/evp.h>
#include <openssl/pkcs7.h>

#include <memory>
#include <ostream>
#include <string_view>
#include <vector>

namespace testsupport
{

using PKCS7Ptr = std::unique_ptr<PKCS7, OpenSSLFree<PKCS7_free>>;

// Signed data as a signed request is made: the digest picked by the certificate's signature
// algorithm, the DigestInfo signed raw with the key (as the card does), wrapped by the encoder.
ByteVector SignedRequest(const slcertificate& signer, EVP_PKEY* key, const ByteVector& data);

PKCS7Ptr ParsePKCS7(const ByteVector& der);
// libcrypto's own verification of the signature over the included data; the chain is not
// checked. On success the included content is returned through content.
bool VerifyWithLibcrypto(const ByteVector& der, ByteVector& content);

struct SignerCertificateCase
{
    const char* name;
    CertificateSpec profile;
};

// Prints the case by its name, so that a listing of the tests is the same in every build.
inline void PrintTo(const SignerCertificateCase& c, std::ostream* os)
{
    *os << c.name;
}

// SHA-1 and SHA-256 signed signer certificates, each with the serials 0x80, a negative one
// and one of 16 bytes.
std::vector<SignerCertificateCase> SignerCertificateCases();

} // namespace testsupport
