#pragma once

#include "core/Bytes.h"
#include "slcertificate/OpenSSLTypes.h"
#include "slcertificate/slcertificate.h"
#include "tests/platform/ScopedTempFolder.h"

#include <openssl/evp.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

// Certificates, keys, files and commands for the tests, all made with libcrypto and the
// system's own tools, so the code under test is checked against something it did not write.
namespace testsupport
{

using EVPPKEYPtr = std::unique_ptr<EVP_PKEY, OpenSSLFree<EVP_PKEY_free>>;

enum class KeyKind
{
    Rsa,
    OtherRsa,
    Ec
};

// Keys are made once per process: generating RSA keys is slow.
EVP_PKEY* Key(KeyKind kind);

struct CertificateSpec
{
    ByteVector serial{0x01};
    bool negativeSerial = false;
    const EVP_MD* digest = EVP_sha256();
    KeyKind key = KeyKind::Rsa;
    std::vector<std::string> subjectCommonNames{"Test Holder"};
    std::string issuerCommonName = "Test Issuer CA";
};

CertificateSpec Profile(ByteVector serial, bool negativeSerial = false,
                        const EVP_MD* digest = EVP_sha256(), KeyKind key = KeyKind::Rsa);

// Names parameterised cases by their "name" member.
struct CaseName
{
    template <typename Case> std::string operator()(const testing::TestParamInfo<Case>& info) const
    {
        return info.param.name;
    }
};

// A self-issued certificate (signed with its own key) with a subject key identifier.
X509Ptr MakeCertificate(const CertificateSpec& profile);
// The same certificate held by the view under test.
slcertificate Holder(const CertificateSpec& profile);
ByteVector CertificateDER(const X509* certificate);
// The certificate with its outer signature algorithm replaced (the signature is kept).
ByteVector WithOuterSignatureAlgorithm(X509* certificate, const std::string& oid);

// RSA PKCS#1 v1.5 over the given bytes as they are, as the card signs a DigestInfo.
ByteVector SignRaw(EVP_PKEY* key, const ByteVector& input);
ByteVector Digest(const EVP_MD* digest, const ByteVector& data);

void WriteFile(const std::string& path, const ByteVector& bytes);
ByteVector ReadFile(const std::string& path);
// Exit status and standard output of a shell command.
std::pair<int, std::string> RunCommand(const std::string& command);
// The value after "name=" in openssl's one-line output, up to the end of that line.
std::string OutputValue(const std::string& output, const std::string& name);

} // namespace testsupport
