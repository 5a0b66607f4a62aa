#pragma once

#include "core/Bytes.h"
#include "slcertificate/OpenSSLTypes.h"

#include <cstdint>
#include <string>

// A certificate's outer signature algorithm as the users tell it apart.
enum SignatureAlgorithmCode : int32_t
{
    SIGNATURE_ALGORITHM_OTHER = 0,
    SHA1_WITH_RSA_ENCRYPTION = 2,
    SHA256_WITH_RSA_ENCRYPTION = 3,
    SHA512_WITH_RSA_ENCRYPTION = 5,
    SIGNATURE_ALGORITHM_SHA1 = 6,
    SIGNATURE_ALGORITHM_SHA256 = 7,
    SIGNATURE_ALGORITHM_SHA512 = 9
};

// Read-only view of one decoded X.509 certificate; may hold none. Copies share the decoded
// certificate.
class slcertificate
{
public:
    slcertificate() = default;
    explicit slcertificate(X509Ptr certificate) : handle(std::move(certificate)) {}
    ~slcertificate() = default;
    slcertificate(const slcertificate& other) : handle(Duplicate(other.GetHandle())) {}
    slcertificate& operator=(const slcertificate& other)
    {
        handle = Duplicate(other.GetHandle());
        return *this;
    }
    slcertificate(slcertificate&&) noexcept = default;
    slcertificate& operator=(slcertificate&&) noexcept = default;

    // A handle of its own on the same decoded certificate (one more reference, released with
    // X509_free), null for null or on failure. Nothing changes a certificate after decoding, so
    // the owners can share it instead of encoding and decoding it again.
    static X509Ptr Duplicate(const X509* certificate);

    bool HasCertificate() const { return handle != nullptr; }
    const X509* GetHandle() const { return handle.get(); }
    void SetHandle(X509Ptr certificate) { handle = std::move(certificate); }

    SignatureAlgorithmCode GetSignatureAlgorithm() const;
    std::string GetSerialHex() const;
    int32_t GetSerialNumber() const;
    std::string GetCommonName() const;
    ByteVector GetPublicKeyHash() const;
    std::string GetPublicKeyHashString() const;

private:
    X509Ptr handle;
};

// Decodes one DER certificate into the holder; on empty or undecodable input the holder
// ends up empty and the result is false.
bool DecodeCertificate(const ByteVector& der, slcertificate& holder);
