#include "asn1/PKCS7.h"

#include "asn1/OID.h"
#include "tests/asn1/SignedRequest.h"
#include "tests/slcertificate/TestCertificates.h"

#include <openssl/pkcs7.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <type_traits>

using namespace testsupport;

namespace
{

static_assert(!std::is_copy_constructible_v<Corvane::PKCS7encoder>);
static_assert(!std::is_copy_assignable_v<Corvane::PKCS7encoder>);

const ByteVector abc = {'a', 'b', 'c'};
const ByteVector sha256Identifier = {0x30, 0x0D, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                     0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00};
const ByteVector sha1Identifier = {0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E,
                                   0x03, 0x02, 0x1A, 0x05, 0x00};

Corvane::ASN1OctetString Signature(const ByteVector& bytes)
{
    Corvane::ASN1OctetString signature;
    signature.SetContent(bytes);
    return signature;
}

ByteVector Encode(const Corvane::PKCS7encoder& encoder)
{
    return encoder.GetASN1Object().Encode();
}

PKCS7_SIGNER_INFO* Signer(PKCS7* p7, int index)
{
    return sk_PKCS7_SIGNER_INFO_value(PKCS7_get_signer_info(p7), index);
}

TEST(PKCS7EncoderTest, NoSignerAndNoCertificate)
{
    const Corvane::PKCS7encoder encoder(abc);
    const ByteVector expected = {0x30, 0x2A, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01,
                                 0x07, 0x02, 0xA0, 0x1D, 0x30, 0x1B, 0x02, 0x01, 0x01, 0x31, 0x00,
                                 0x30, 0x12, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01,
                                 0x07, 0x01, 0xA0, 0x05, 0x04, 0x03, 0x61, 0x62, 0x63, 0x31, 0x00};
    EXPECT_EQ(Encode(encoder), expected);
}

// The encoder keeps copies: the caller's certificate and signer are gone before it encodes.
TEST(PKCS7EncoderTest, OneSignerAsLibcryptoReadsIt)
{
    const slcertificate holder = Holder(CertificateSpec());
    Corvane::PKCS7encoder encoder(abc);
    {
        const Corvane::Certificate certificate(holder);
        ASSERT_TRUE(encoder.AddSigner(Corvane::SignerInfo(certificate, Signature({1, 2, 3}))));
        ASSERT_TRUE(encoder.AddCertificate(certificate));
    }

    PKCS7Ptr p7 = ParsePKCS7(Encode(encoder));
    ASSERT_NE(p7, nullptr);
    ASSERT_TRUE(PKCS7_type_is_signed(p7.get()));
    const PKCS7_SIGNED* sign = p7->d.sign;
    EXPECT_EQ(ASN1_INTEGER_get(sign->version), 1);
    ASSERT_EQ(sk_X509_ALGOR_num(sign->md_algs), 1);
    EXPECT_EQ(EncodeDER(sk_X509_ALGOR_value(sign->md_algs, 0), i2d_X509_ALGOR), sha256Identifier);
    ASSERT_EQ(sk_X509_num(sign->cert), 1);
    EXPECT_EQ(CertificateDER(sk_X509_value(sign->cert, 0)), CertificateDER(holder.GetHandle()));
    EXPECT_TRUE(PKCS7_type_is_data(sign->contents));

    ASSERT_EQ(sk_PKCS7_SIGNER_INFO_num(sign->signer_info), 1);
    PKCS7_SIGNER_INFO* signer = Signer(p7.get(), 0);
    EXPECT_EQ(ASN1_INTEGER_get(signer->version), 1);
    EXPECT_EQ(
        ByteVector(signer->enc_digest->data, signer->enc_digest->data + signer->enc_digest->length),
        ByteVector({1, 2, 3}));
    EXPECT_EQ(signer->auth_attr, nullptr); // absent, not empty
    EXPECT_EQ(signer->unauth_attr, nullptr);

    // certificates is [0] IMPLICIT, holding the certificate's DER byte for byte
    ByteVector certificates = {0xA0, 0x82};
    const ByteVector der = CertificateDER(holder.GetHandle());
    certificates.push_back(static_cast<unsigned char>(der.size() >> 8));
    certificates.push_back(static_cast<unsigned char>(der.size() & 0xFF));
    certificates.insert(certificates.end(), der.begin(), der.end());
    const ByteVector encoded = Encode(encoder);
    EXPECT_NE(std::search(encoded.begin(), encoded.end(), certificates.begin(), certificates.end()),
              encoded.end());
}

struct SignerCase
{
    const char* name;
    CertificateSpec profile;
    ByteVector digestIdentifier;
    std::string_view signatureOID;
};

// Prints the case by its name, so that a listing of the tests is the same in every build.
void PrintTo(const SignerCase& c, std::ostream* os)
{
    *os << c.name;
}

class SignerInfoTest : public testing::TestWithParam<SignerCase>
{
};

TEST_P(SignerInfoTest, PartsTakenFromTheCertificate)
{
    const slcertificate holder = Holder(GetParam().profile);
    const Corvane::Certificate certificate(holder);
    Corvane::PKCS7encoder encoder(abc);
    ASSERT_TRUE(encoder.AddSigner(Corvane::SignerInfo(certificate, Signature({9}))));

    PKCS7Ptr p7 = ParsePKCS7(Encode(encoder));
    ASSERT_NE(p7, nullptr);
    PKCS7_SIGNER_INFO* signer = Signer(p7.get(), 0);
    ASSERT_NE(signer, nullptr);
    EXPECT_EQ(EncodeDER(signer->issuer_and_serial->serial, i2d_ASN1_INTEGER),
              EncodeDER(X509_get0_serialNumber(holder.GetHandle()), i2d_ASN1_INTEGER));
    EXPECT_EQ(EncodeDER(signer->issuer_and_serial->issuer, i2d_X509_NAME),
              EncodeDER(X509_get_issuer_name(holder.GetHandle()), i2d_X509_NAME));

    X509_ALGOR* digest = nullptr;
    X509_ALGOR* signature = nullptr;
    PKCS7_SIGNER_INFO_get0_algs(signer, nullptr, &digest, &signature);
    EXPECT_EQ(EncodeDER(digest, i2d_X509_ALGOR), GetParam().digestIdentifier);
    Corvane::ASN1ObjectIdentifier oid;
    oid.SetOID(GetParam().signatureOID);
    Corvane::ASN1Sequence expectedSignature;
    expectedSignature.AddChild(oid);
    expectedSignature.AddChild(Corvane::ASN1Null());
    EXPECT_EQ(EncodeDER(signature, i2d_X509_ALGOR), expectedSignature.Encode());
}

// Serials as libcrypto stores them (magnitude and sign) must come out as their DER octets.
INSTANTIATE_TEST_SUITE_P(
    Certificates, SignerInfoTest,
    testing::Values(SignerCase{"five_byte_serial", Profile({1, 2, 3, 4, 5}), sha256Identifier,
                               OID_RSA_ENCRYPTION},
                    SignerCase{"serial_80_sha1", Profile({0x80}, false, EVP_sha1()), sha1Identifier,
                               OID_RSA_ENCRYPTION},
                    SignerCase{"negative_serial", Profile({0x01, 0x23}, true), sha256Identifier,
                               OID_RSA_ENCRYPTION},
                    SignerCase{"sha512_certificate", Profile({0x07}, false, EVP_sha512()),
                               sha256Identifier, OID_RSA_ENCRYPTION},
                    SignerCase{"ec_key_sha256", Profile({0x07}, false, EVP_sha256(), KeyKind::Ec),
                               sha256Identifier, OID_ECDSA_WITH_SHA1}),
    CaseName());

TEST(PKCS7EncoderTest, DigestAlgorithmsAreDistinctInOrderOfAdding)
{
    CertificateSpec sha256;
    CertificateSpec otherSha256;
    otherSha256.serial = {0x42};
    CertificateSpec sha1;
    sha1.digest = EVP_sha1();
    const Corvane::Certificate first((Holder(sha256)));
    const Corvane::Certificate second((Holder(otherSha256)));
    const Corvane::Certificate third((Holder(sha1)));

    Corvane::PKCS7encoder encoder(abc);
    for (const Corvane::Certificate* certificate : {&first, &second, &third})
        ASSERT_TRUE(encoder.AddSigner(Corvane::SignerInfo(*certificate, Signature({1}))));

    PKCS7Ptr p7 = ParsePKCS7(Encode(encoder));
    ASSERT_NE(p7, nullptr);
    ASSERT_EQ(sk_X509_ALGOR_num(p7->d.sign->md_algs), 2);
    EXPECT_EQ(EncodeDER(sk_X509_ALGOR_value(p7->d.sign->md_algs, 0), i2d_X509_ALGOR),
              sha256Identifier);
    EXPECT_EQ(EncodeDER(sk_X509_ALGOR_value(p7->d.sign->md_algs, 1), i2d_X509_ALGOR),
              sha1Identifier);
    ASSERT_EQ(sk_PKCS7_SIGNER_INFO_num(p7->d.sign->signer_info), 3);
    EXPECT_EQ(ASN1_INTEGER_get(Signer(p7.get(), 1)->issuer_and_serial->serial), 0x42);
    EXPECT_EQ(p7->d.sign->cert, nullptr); // no certificates: left out
}

TEST(PKCS7EncoderTest, RebuiltOnlyAfterAChange)
{
    const slcertificate holder = Holder(CertificateSpec());
    const Corvane::Certificate certificate(holder);
    Corvane::PKCS7encoder encoder(abc);
    ASSERT_TRUE(encoder.AddSigner(Corvane::SignerInfo(certificate, Signature({1}))));

    const Corvane::ASN1Object* first = &encoder.GetASN1Object();
    const ByteVector withoutCertificate = first->Encode();
    EXPECT_EQ(&encoder.GetASN1Object(), first);
    EXPECT_EQ(encoder.GetASN1Object().Encode(), withoutCertificate);

    ASSERT_TRUE(encoder.AddCertificate(certificate));
    // the element handed out before stays intact until the encoder is asked again
    EXPECT_EQ(first->Encode(), withoutCertificate);
    PKCS7Ptr p7 = ParsePKCS7(Encode(encoder));
    ASSERT_NE(p7, nullptr);
    EXPECT_EQ(sk_X509_num(p7->d.sign->cert), 1);
}

TEST(PKCS7EncoderTest, CertificateCopiesShareTheHoldersDecodedCertificate)
{
    const slcertificate holder = Holder(CertificateSpec());
    const Corvane::Certificate certificate(holder);
    const Corvane::Certificate copy(certificate);
    EXPECT_EQ(certificate.GetHandle(), holder.GetHandle());
    EXPECT_EQ(copy.GetHandle(), holder.GetHandle());
    EXPECT_EQ(copy.GetASN1Object().Encode(), EncodeDER(holder.GetHandle(), i2d_X509));
}

TEST(PKCS7EncoderTest, EmptyCertificateIsRefused)
{
    const slcertificate empty;
    const Corvane::Certificate certificate(empty);
    EXPECT_FALSE(certificate.HasCertificate());
    EXPECT_EQ(certificate.GetASN1Object().Encode(), ByteVector({0x05, 0x00}));

    EXPECT_EQ(Corvane::IssuerAndSerialNumber(certificate).GetASN1Object().Encode(),
              ByteVector({0x30, 0x04, 0x30, 0x00, 0x02, 0x00}));
    Corvane::DistinguishedName none;
    none.SetFromIssuer(certificate);
    EXPECT_EQ(none.GetASN1Object().Encode(), ByteVector({0x30, 0x00}));

    const Corvane::SignerInfo signer(certificate, Signature({1, 2}));
    EXPECT_FALSE(signer.IsValid());
    EXPECT_EQ(signer.GetDigestAlgorithm(), nullptr);

    Corvane::PKCS7encoder encoder(abc);
    const ByteVector before = Encode(encoder);
    EXPECT_FALSE(encoder.AddSigner(signer));
    EXPECT_FALSE(encoder.AddCertificate(certificate));
    EXPECT_EQ(Encode(encoder), before);
}

TEST(AlgorithmIdentifierTest, ParametersOrNull)
{
    Corvane::ASN1ObjectIdentifier oid;
    oid.SetOID(OID_SHA1);
    EXPECT_EQ(Corvane::AlgorithmIdentifier(oid, {}).GetASN1Object().Encode(), sha1Identifier);
    Corvane::ASN1Integer one;
    one.SetInteger(1);
    EXPECT_EQ(Corvane::AlgorithmIdentifier(oid, {one, one}).GetASN1Object().Encode(),
              ByteVector({0x30, 0x0D, 0x06, 0x05, 0x2B, 0x0E, 0x03, 0x02, 0x1A, 0x02, 0x01, 0x01,
                          0x02, 0x01, 0x01}));
    EXPECT_EQ(Corvane::SignatureAlgorithmIdentifier(Corvane::SignatureAlgorithm())
                  .GetASN1Object()
                  .Encode(),
              ByteVector({0x30, 0x0D, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01,
                          0x01, 0x05, 0x00}));
}

class SignedRequestTest : public testing::TestWithParam<SignerCertificateCase>
{
};

TEST_P(SignedRequestTest, LibcryptoVerifiesAndRejectsAFlippedByte)
{
    const slcertificate holder = Holder(GetParam().profile);
    const std::string text = "Suchanfrage f\xFCr M\xFCller\r\n<ZMR/>";
    const ByteVector data(text.begin(), text.end());

    const ByteVector der = SignedRequest(holder, Key(KeyKind::Rsa), data);
    ByteVector content;
    ASSERT_TRUE(VerifyWithLibcrypto(der, content));
    EXPECT_EQ(content, data);

    const auto dataAt = std::search(der.begin(), der.end(), data.begin(), data.end());
    ASSERT_NE(dataAt, der.end());
    ByteVector flippedData = der;
    flippedData[static_cast<size_t>(dataAt - der.begin()) + 3] ^= 0x01;
    EXPECT_FALSE(VerifyWithLibcrypto(flippedData, content));

    ByteVector flippedSignature = der; // the signature value ends the structure
    flippedSignature.back() ^= 0x80;
    EXPECT_FALSE(VerifyWithLibcrypto(flippedSignature, content));
}

INSTANTIATE_TEST_SUITE_P(Signers, SignedRequestTest, testing::ValuesIn(SignerCertificateCases()),
                         CaseName());

} // namespace
