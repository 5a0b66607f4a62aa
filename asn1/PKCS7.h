#pragma once

#include "asn1/ASN1Object.h"
#include "core/Bytes.h"
#include "slcertificate/slcertificate.h"

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace Corvane
{

// SEQUENCE { SEQUENCE { digest OID, NULL }, OCTET STRING digest }: what a card signs raw.
ByteVector DigestInfo(std::string_view digestOid, const ByteVector& digest);

// A building block of PKCS#7 signed data; its element stays owned by the component.
class PKCS7Component
{
public:
    virtual ~PKCS7Component() = default;
    virtual const ASN1Object& GetASN1Object() const = 0;

protected:
    PKCS7Component() = default;
    PKCS7Component(const PKCS7Component&) = default;
    PKCS7Component& operator=(const PKCS7Component&) = default;
};

class Certificate : public PKCS7Component
{
public:
    explicit Certificate(const slcertificate& holder);
    Certificate(const Certificate& other);
    Certificate(Certificate&&) noexcept = default;
    Certificate& operator=(const Certificate&) = delete;

    bool HasCertificate() const { return handle != nullptr; }
    const X509* GetHandle() const { return handle.get(); }
    const ASN1Object& GetASN1Object() const override { return element; }

private:
    X509Ptr handle;
    ASN1Object element;
};

class DistinguishedName : public PKCS7Component
{
public:
    void SetFromIssuer(const Certificate& certificate);
    const ASN1Object& GetASN1Object() const override { return element; }

private:
    ASN1Sequence element;
};

class IssuerAndSerialNumber : public PKCS7Component
{
public:
    explicit IssuerAndSerialNumber(const Certificate& certificate);
    const ASN1Object& GetASN1Object() const override { return element; }

private:
    ASN1Sequence element;
};

class AlgorithmIdentifier : public PKCS7Component
{
public:
    // Without parameters a NULL is written in their place.
    AlgorithmIdentifier(const ASN1Object& algorithm, const std::vector<ASN1Object>& parameters);
    const ASN1Object& GetASN1Object() const override { return element; }

private:
    ASN1Sequence element;
};

class DigestAlgorithm : public PKCS7Component
{
public:
    explicit DigestAlgorithm(std::string_view oid);
    const ASN1Object& GetASN1Object() const override { return element; }

private:
    ASN1ObjectIdentifier element;
};

class SignatureAlgorithm : public PKCS7Component
{
public:
    SignatureAlgorithm();
    explicit SignatureAlgorithm(std::string_view oid);
    const ASN1Object& GetASN1Object() const override { return element; }

private:
    ASN1ObjectIdentifier element;
};

class DigestAlgorithmIdentifier : public AlgorithmIdentifier
{
public:
    explicit DigestAlgorithmIdentifier(const DigestAlgorithm& algorithm);
};

class SignatureAlgorithmIdentifier : public AlgorithmIdentifier
{
public:
    explicit SignatureAlgorithmIdentifier(const SignatureAlgorithm& algorithm);
};

class ContentInfo : public PKCS7Component
{
public:
    ContentInfo(const ASN1Object& type, const ASN1Object& content);
    const ASN1Object& GetASN1Object() const override { return element; }

private:
    ASN1Sequence element;
};

class ContentInfoData : public ContentInfo
{
public:
    explicit ContentInfoData(const ByteVector& data);
};

class ContentInfoSignedData : public ContentInfo
{
public:
    explicit ContentInfoSignedData(const ASN1Object& signedData);
};

// One signer: who signed (issuer and serial of the certificate), with which algorithms, and
// the signature value.
class SignerInfo : public PKCS7Component
{
public:
    // A certificate that holds no certificate gives an invalid SignerInfo, which no encoder
    // accepts.
    SignerInfo(const Certificate& certificate, ASN1Object encryptedDigest);

    bool IsValid() const { return digestAlgorithm.has_value(); }
    // Null when invalid.
    const DigestAlgorithmIdentifier* GetDigestAlgorithm() const;
    const ASN1Object& GetASN1Object() const override { return element; }

private:
    void SetCertificate(const Certificate& certificate);
    void Encode();

    ASN1Integer version;
    std::optional<IssuerAndSerialNumber> issuerAndSerialNumber;
    std::optional<DigestAlgorithmIdentifier> digestAlgorithm;
    std::optional<SignatureAlgorithmIdentifier> digestEncryptionAlgorithm;
    ASN1Object encryptedDigest;
    ASN1Sequence element;
};

class SignedData : public PKCS7Component
{
public:
    explicit SignedData(const ContentInfo& contentInfo);

    // Keeps each distinct identifier once, in the order of adding.
    void AddDigestAlgorithm(const DigestAlgorithmIdentifier& algorithm);
    void AddSignerInfo(const SignerInfo& signer);
    void AddCertificate(const Certificate& certificate);
    const ASN1Object& GetASN1Object() const override;

private:
    void Encode() const;

    ASN1Integer version;
    std::vector<DigestAlgorithmIdentifier> digestAlgorithms;
    ContentInfo contentInfo;
    std::vector<SignerInfo> signerInfos;
    std::vector<Certificate> certificates;
    mutable ASN1Sequence element;
    mutable bool dirty = true;
};

// PKCS#7 signed data over one byte string with the data included.
class PKCS7encoder : public PKCS7Component
{
public:
    explicit PKCS7encoder(const ByteVector& data);
    PKCS7encoder(const PKCS7encoder&) = delete;
    PKCS7encoder& operator=(const PKCS7encoder&) = delete;

    // Both refuse (false, nothing added) a signer or certificate without a certificate.
    bool AddSigner(const SignerInfo& signer);
    bool AddCertificate(const Certificate& certificate);
    // The whole ContentInfo of type signedData, rebuilt after a change; the reference stays
    // valid until the first call after the next AddSigner or AddCertificate.
    const ASN1Object& GetASN1Object() const override;

private:
    SignedData signedData;
    mutable std::unique_ptr<ContentInfoSignedData> cached;
    mutable bool dirty = true;
};

} // namespace Corvane
