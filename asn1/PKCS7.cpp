#include "asn1/PKCS7.h"

#include "asn1/OID.h"

#include <openssl/evp.h>
#include <openssl/objects.h>

#include <algorithm>

namespace Corvane
{
namespace
{

ASN1ObjectIdentifier MakeOID(std::string_view oid)
{
    ASN1ObjectIdentifier element;
    element.SetOID(oid);
    return element;
}

ASN1OctetString MakeOctetString(const ByteVector& bytes)
{
    ASN1OctetString element;
    element.SetContent(bytes);
    return element;
}

ASN1Integer MakeVersionOne()
{
    ASN1Integer version;
    version.SetInteger(1);
    return version;
}

// A SET-shaped element whose content is the members' complete encodings, in order.
template <typename Component>
ASN1Object MakeCollection(ASN1Object collection, const std::vector<Component>& members)
{
    for (const Component& member : members)
        collection.AddChild(member.GetASN1Object());
    return collection;
}

// The INTEGER as it stands in the certificate, sign and leading octets included; empty without
// a certificate.
ASN1Integer SerialNumberOf(const X509* certificate)
{
    ASN1Integer serial;
    if (certificate == nullptr)
        return serial;
    const ByteVector der = EncodeDER(X509_get0_serialNumber(certificate), i2d_ASN1_INTEGER);
    serial.SetContent(ASN1Object(der).GetContent());
    return serial;
}

std::string_view SignatureOIDFor(const X509* certificate)
{
    const EVP_PKEY* key = X509_get0_pubkey(certificate);
    if (key != nullptr && EVP_PKEY_get_base_id(key) == EVP_PKEY_EC)
        return OID_ECDSA_WITH_SHA1;
    return OID_RSA_ENCRYPTION;
}

std::string_view DigestOIDFor(const X509* certificate)
{
    const X509_ALGOR* algorithm = nullptr;
    X509_get0_signature(nullptr, &algorithm, certificate);
    const ASN1_OBJECT* object = nullptr;
    X509_ALGOR_get0(&object, nullptr, nullptr, algorithm);
    return OBJ_obj2nid(object) == NID_sha1WithRSAEncryption ? OID_SHA1 : OID_SHA256;
}

} // namespace

ByteVector DigestInfo(std::string_view digestOid, const ByteVector& digest)
{
    ASN1ObjectIdentifier algorithmId;
    algorithmId.SetOID(digestOid);
    ASN1Sequence algorithm;
    algorithm.AddChild(algorithmId);
    algorithm.AddChild(ASN1Null());
    ASN1OctetString value;
    value.SetContent(digest);
    ASN1Sequence digestInfo;
    digestInfo.AddChild(algorithm);
    digestInfo.AddChild(value);
    return digestInfo.Encode();
}

Certificate::Certificate(const slcertificate& holder)
    : handle(slcertificate::Duplicate(holder.GetHandle())),
      element(EncodeDER(holder.GetHandle(), i2d_X509))
{
}

Certificate::Certificate(const Certificate& other)
    : PKCS7Component(other), handle(slcertificate::Duplicate(other.handle.get())),
      element(other.element)
{
}

void DistinguishedName::SetFromIssuer(const Certificate& certificate)
{
    const X509_NAME* issuer =
        certificate.HasCertificate() ? X509_get_issuer_name(certificate.GetHandle()) : nullptr;
    const ByteVector der = EncodeDER(issuer, i2d_X509_NAME);
    element.SetContent(der.empty() ? ByteVector() : ASN1Object(der).GetContent());
}

IssuerAndSerialNumber::IssuerAndSerialNumber(const Certificate& certificate)
{
    DistinguishedName issuer;
    issuer.SetFromIssuer(certificate);
    element.AddChild(issuer.GetASN1Object());
    element.AddChild(SerialNumberOf(certificate.GetHandle()));
}

AlgorithmIdentifier::AlgorithmIdentifier(const ASN1Object& algorithm,
                                         const std::vector<ASN1Object>& parameters)
{
    element.AddChild(algorithm);
    if (parameters.empty())
        element.AddChild(ASN1Null());
    for (const ASN1Object& parameter : parameters)
        element.AddChild(parameter);
}

DigestAlgorithm::DigestAlgorithm(std::string_view oid) : element(MakeOID(oid)) {}

SignatureAlgorithm::SignatureAlgorithm() : SignatureAlgorithm(OID_RSA_ENCRYPTION) {}

SignatureAlgorithm::SignatureAlgorithm(std::string_view oid) : element(MakeOID(oid)) {}

DigestAlgorithmIdentifier::DigestAlgorithmIdentifier(const DigestAlgorithm& algorithm)
    : AlgorithmIdentifier(algorithm.GetASN1Object(), {})
{
}

SignatureAlgorithmIdentifier::SignatureAlgorithmIdentifier(const SignatureAlgorithm& algorithm)
    : AlgorithmIdentifier(algorithm.GetASN1Object(), {})
{
}

ContentInfo::ContentInfo(const ASN1Object& type, const ASN1Object& content)
{
    element.AddChild(type);
    ASN1ExplicitTag wrapped;
    wrapped.AddChild(content);
    element.AddChild(wrapped);
}

ContentInfoData::ContentInfoData(const ByteVector& data)
    : ContentInfo(MakeOID(OID_PKCS7_DATA), MakeOctetString(data))
{
}

ContentInfoSignedData::ContentInfoSignedData(const ASN1Object& signedData)
    : ContentInfo(MakeOID(OID_PKCS7_SIGNED_DATA), signedData)
{
}

SignerInfo::SignerInfo(const Certificate& certificate, ASN1Object encryptedDigest)
    : version(MakeVersionOne()), encryptedDigest(std::move(encryptedDigest))
{
    if (certificate.HasCertificate())
        SetCertificate(certificate);
    Encode();
}

const DigestAlgorithmIdentifier* SignerInfo::GetDigestAlgorithm() const
{
    return digestAlgorithm ? &*digestAlgorithm : nullptr;
}

void SignerInfo::SetCertificate(const Certificate& certificate)
{
    const X509* handle = certificate.GetHandle();
    issuerAndSerialNumber.emplace(certificate);
    digestEncryptionAlgorithm.emplace(SignatureAlgorithm(SignatureOIDFor(handle)));
    digestAlgorithm.emplace(DigestAlgorithm(DigestOIDFor(handle)));
}

void SignerInfo::Encode()
{
    element.SetContent({});
    if (!IsValid())
        return;
    element.AddChild(version);
    element.AddChild(issuerAndSerialNumber->GetASN1Object());
    element.AddChild(digestAlgorithm->GetASN1Object());
    element.AddChild(digestEncryptionAlgorithm->GetASN1Object());
    element.AddChild(encryptedDigest);
}

SignedData::SignedData(const ContentInfo& contentInfo)
    : version(MakeVersionOne()), contentInfo(contentInfo)
{
}

void SignedData::AddDigestAlgorithm(const DigestAlgorithmIdentifier& algorithm)
{
    const ByteVector encoding = algorithm.GetASN1Object().Encode();
    const bool present = std::any_of(digestAlgorithms.begin(), digestAlgorithms.end(),
                                     [&](const DigestAlgorithmIdentifier& known)
                                     { return known.GetASN1Object().Encode() == encoding; });
    if (!present)
        digestAlgorithms.push_back(algorithm);
    dirty = true;
}

void SignedData::AddSignerInfo(const SignerInfo& signer)
{
    signerInfos.push_back(signer);
    dirty = true;
}

void SignedData::AddCertificate(const Certificate& certificate)
{
    certificates.push_back(certificate);
    dirty = true;
}

const ASN1Object& SignedData::GetASN1Object() const
{
    if (dirty)
        Encode();
    return element;
}

void SignedData::Encode() const
{
    element.SetContent({});
    element.AddChild(version);
    element.AddChild(MakeCollection(ASN1Set(), digestAlgorithms));
    element.AddChild(contentInfo.GetASN1Object());
    // certificates is [0] IMPLICIT SET OF Certificate
    if (!certificates.empty())
        element.AddChild(MakeCollection(ASN1Object(2, 1, 0), certificates));
    element.AddChild(MakeCollection(ASN1Set(), signerInfos));
    dirty = false;
}

PKCS7encoder::PKCS7encoder(const ByteVector& data) : signedData(ContentInfoData(data)) {}

bool PKCS7encoder::AddSigner(const SignerInfo& signer)
{
    const DigestAlgorithmIdentifier* digest = signer.GetDigestAlgorithm();
    if (digest == nullptr)
        return false;
    signedData.AddDigestAlgorithm(*digest);
    signedData.AddSignerInfo(signer);
    dirty = true;
    return true;
}

bool PKCS7encoder::AddCertificate(const Certificate& certificate)
{
    if (!certificate.HasCertificate())
        return false;
    signedData.AddCertificate(certificate);
    dirty = true;
    return true;
}

const ASN1Object& PKCS7encoder::GetASN1Object() const
{
    if (dirty)
    {
        cached = std::make_unique<ContentInfoSignedData>(signedData.GetASN1Object());
        dirty = false;
    }
    return cached->GetASN1Object();
}

} // namespace Corvane
