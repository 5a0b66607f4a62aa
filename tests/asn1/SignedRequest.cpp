#include "tests/asn1/SignedRequest.h"

#include "asn1/OID.h"
#include "asn1/PKCS7.h"

namespace testsupport
{

ByteVector SignedRequest(const slcertificate& signer, EVP_PKEY* key, const ByteVector& data)
{
    const bool sha1 = signer.GetSignatureAlgorithm() == SHA1_WITH_RSA_ENCRYPTION;
    const ByteVector digest = Digest(sha1 ? EVP_sha1() : EVP_sha256(), data);
    Corvane::ASN1OctetString signature;
    signature.SetContent(SignRaw(key, Corvane::DigestInfo(sha1 ? OID_SHA1 : OID_SHA256, digest)));

    Corvane::PKCS7encoder encoder(data);
    const Corvane::Certificate certificate(signer);
    const Corvane::SignerInfo signerInfo(certificate, signature);
    if (!encoder.AddSigner(signerInfo) || !encoder.AddCertificate(certificate))
        return {};
    return encoder.GetASN1Object().Encode();
}

PKCS7Ptr ParsePKCS7(const ByteVector& der)
{
    const unsigned char* cursor = der.data();
    return PKCS7Ptr(d2i_PKCS7(nullptr, &cursor, static_cast<long>(der.size())));
}

bool VerifyWithLibcrypto(const ByteVector& der, ByteVector& content)
{
    PKCS7Ptr p7 = ParsePKCS7(der);
    BIOPtr out(BIO_new(BIO_s_mem()));
    if (!p7 || !out ||
        PKCS7_verify(p7.get(), nullptr, nullptr, nullptr, out.get(), PKCS7_NOVERIFY) != 1)
        return false;
    const unsigned char* bytes = nullptr;
    const long length = BIO_get_mem_data(out.get(), &bytes);
    content.assign(bytes, bytes + length);
    return true;
}

std::vector<SignerCertificateCase> SignerCertificateCases()
{
    const ByteVector sixteenBytes = {0x91, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    return {
        {"sha1_serial_80", Profile({0x80}, false, EVP_sha1())},
        {"sha1_negative_serial", Profile({0x01, 0x23}, true, EVP_sha1())},
        {"sha1_sixteen_byte_serial", Profile(sixteenBytes, false, EVP_sha1())},
        {"sha256_serial_80", Profile({0x80})},
        {"sha256_negative_serial", Profile({0x01, 0x23}, true)},
        {"sha256_sixteen_byte_serial", Profile(sixteenBytes)},
    };
}

} // namespace testsupport
