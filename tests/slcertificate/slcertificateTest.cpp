#include "slcertificate/slcertificate.h"

#include "tests/slcertificate/TestCertificates.h"

#include <memory>
#include <openssl/x509v3.h>

#include <gtest/gtest.h>

using namespace testsupport;

namespace
{

struct SerialCase
{
    const char* name;
    CertificateSpec profile;
    const char* hex;
    int32_t number;
};

// Prints the case by its name, so that a listing of the tests is the same in every build.
void PrintTo(const SerialCase& c, std::ostream* os)
{
    *os << c.name;
}

class SerialTest : public testing::TestWithParam<SerialCase>
{
};

TEST_P(SerialTest, HexTextAndSaturatedNumber)
{
    const slcertificate holder = Holder(GetParam().profile);
    EXPECT_EQ(holder.GetSerialHex(), GetParam().hex);
    EXPECT_EQ(holder.GetSerialNumber(), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Serials, SerialTest,
    testing::Values(
        SerialCase{"zero", Profile({0x00}), "0x0", 0},
        SerialCase{"two_bytes", Profile({0x0A, 0x1B}), "0x0A1B", 2587},
        SerialCase{"top_bit", Profile({0x80}), "0x80", 128},
        SerialCase{"largest", Profile({0x7F, 0xFF, 0xFF, 0xFF}), "0x7FFFFFFF", 2147483647},
        SerialCase{"above_31_bits", Profile({0x80, 0x00, 0x00, 0x00}), "0x80000000", 2147483647},
        SerialCase{"sixteen_bytes",
                   Profile({0xF1, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C,
                            0x0D, 0x0E, 0x0F, 0x10}),
                   "0xF102030405060708090A0B0C0D0E0F10", 2147483647},
        SerialCase{"negative", Profile({0x01, 0x23}, true), "0x-0123", 0}),
    CaseName());

struct AlgorithmCase
{
    const char* name;
    const EVP_MD* digest;
    const char* outerOID; // replaces the signed algorithm when set
    SignatureAlgorithmCode code;
};

void PrintTo(const AlgorithmCase& c, std::ostream* os)
{
    *os << c.name;
}

class SignatureAlgorithmTest : public testing::TestWithParam<AlgorithmCase>
{
};

TEST_P(SignatureAlgorithmTest, CodeOfOuterAlgorithm)
{
    CertificateSpec profile;
    profile.digest = GetParam().digest;
    X509Ptr certificate = MakeCertificate(profile);
    slcertificate holder;
    if (GetParam().outerOID == nullptr)
    {
        holder.SetHandle(std::move(certificate));
    }
    else
    {
        ASSERT_TRUE(DecodeCertificate(
            WithOuterSignatureAlgorithm(certificate.get(), GetParam().outerOID), holder));
    }
    EXPECT_EQ(holder.GetSignatureAlgorithm(), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Algorithms, SignatureAlgorithmTest,
    testing::Values(
        AlgorithmCase{"sha1_rsa", EVP_sha1(), nullptr, SHA1_WITH_RSA_ENCRYPTION},
        AlgorithmCase{"sha256_rsa", EVP_sha256(), nullptr, SHA256_WITH_RSA_ENCRYPTION},
        AlgorithmCase{"sha512_rsa", EVP_sha512(), nullptr, SHA512_WITH_RSA_ENCRYPTION},
        AlgorithmCase{"sha384_rsa", EVP_sha384(), nullptr, SIGNATURE_ALGORITHM_OTHER},
        AlgorithmCase{"bare_sha1", EVP_sha256(), "1.3.14.3.2.26", SIGNATURE_ALGORITHM_SHA1},
        AlgorithmCase{"bare_sha256", EVP_sha256(), "2.16.840.1.101.3.4.2.1",
                      SIGNATURE_ALGORITHM_SHA256},
        AlgorithmCase{"bare_sha512", EVP_sha256(), "2.16.840.1.101.3.4.2.3",
                      SIGNATURE_ALGORITHM_SHA512},
        AlgorithmCase{"md5_rsa", EVP_sha256(), "1.2.840.113549.1.1.4", SIGNATURE_ALGORITHM_OTHER}),
    CaseName());

TEST(SignatureAlgorithmTest, EcdsaIsOther)
{
    CertificateSpec profile;
    profile.key = KeyKind::Ec;
    EXPECT_EQ(Holder(profile).GetSignatureAlgorithm(), SIGNATURE_ALGORITHM_OTHER);
}

struct CommonNameCase
{
    const char* name;
    std::vector<std::string> commonNames;
    std::string expected;
};

void PrintTo(const CommonNameCase& c, std::ostream* os)
{
    *os << c.name;
}

class CommonNameTest : public testing::TestWithParam<CommonNameCase>
{
};

TEST_P(CommonNameTest, FirstCommonNameOfSubject)
{
    CertificateSpec profile;
    profile.subjectCommonNames = GetParam().commonNames;
    EXPECT_EQ(Holder(profile).GetCommonName(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, CommonNameTest,
    testing::Values(CommonNameCase{"plain", {"Max Mustermann"}, "Max Mustermann"},
                    CommonNameCase{"none", {}, ""},
                    CommonNameCase{"first_of_two", {"Erste", "Zweite"}, "Erste"},
                    CommonNameCase{"utf8_bytes_unconverted",
                                   {"J\xC3\xBCrgen M\xC3\xBCller"},
                                   "J\xC3\xBCrgen M\xC3\xBCller"},
                    CommonNameCase{
                        "cut_to_1023", {std::string(2000, 'x')}, std::string(1023, 'x')}),
    CaseName());

// The hash, as bytes and as a string of those bytes, is the subject key identifier that
// libcrypto computes from the key bits.
TEST(PublicKeyHashTest, EqualsSubjectKeyIdentifierComputedByLibcrypto)
{
    for (const KeyKind key : {KeyKind::Rsa, KeyKind::Ec})
    {
        CertificateSpec profile;
        profile.key = key;
        X509Ptr certificate = MakeCertificate(profile);
        const ASN1_OCTET_STRING* keyId = X509_get0_subject_key_id(certificate.get());
        ASSERT_NE(keyId, nullptr);
        const std::string expected(keyId->data, keyId->data + keyId->length);
        const slcertificate holder(std::move(certificate));
        EXPECT_EQ(holder.GetPublicKeyHash(), ByteVector(expected.begin(), expected.end()));
        EXPECT_EQ(holder.GetPublicKeyHashString(), expected);
    }
}

TEST(EmptyHolderTest, EveryQueryGivesItsEmptyResult)
{
    const slcertificate holder;
    EXPECT_FALSE(holder.HasCertificate());
    EXPECT_EQ(holder.GetSignatureAlgorithm(), SIGNATURE_ALGORITHM_OTHER);
    EXPECT_EQ(holder.GetSerialHex(), "");
    EXPECT_EQ(holder.GetSerialNumber(), 0);
    EXPECT_EQ(holder.GetCommonName(), "");
    EXPECT_TRUE(holder.GetPublicKeyHash().empty());
    EXPECT_EQ(holder.GetPublicKeyHashString(), "");
    EXPECT_EQ(slcertificate::Duplicate(nullptr), nullptr);
}

TEST(DuplicateTest, CopiesShareTheDecodedCertificateAndOutliveTheOriginal)
{
    X509Ptr original = MakeCertificate(CertificateSpec());
    const ByteVector der = CertificateDER(original.get());
    X509Ptr copy = slcertificate::Duplicate(original.get());
    ASSERT_EQ(copy.get(), original.get()) << "decoded again instead of shared";
    original.reset();
    EXPECT_EQ(CertificateDER(copy.get()), der);

    auto holder = std::make_unique<slcertificate>(std::move(copy));
    const std::string name = holder->GetCommonName();
    slcertificate copied(*holder);
    slcertificate assigned;
    assigned = *holder;
    EXPECT_EQ(copied.GetHandle(), holder->GetHandle());
    EXPECT_EQ(assigned.GetHandle(), holder->GetHandle());
    holder.reset();
    EXPECT_EQ(copied.GetCommonName(), name);
    EXPECT_EQ(CertificateDER(assigned.GetHandle()), der);
}

TEST(DecodeTest, DecodesACompleteCertificateTrailingBytesAllowed)
{
    const ByteVector der = CertificateDER(MakeCertificate(CertificateSpec()).get());
    ByteVector trailing = der;
    trailing.insert(trailing.end(), {0x00, 0x01});
    const std::pair<ByteVector, bool> cases[] = {
        {der, true}, {trailing, true}, {{0x30, 0x03, 0x02, 0x01, 0x05}, false}};
    for (const auto& [input, decodes] : cases)
    {
        SCOPED_TRACE(input.size());
        slcertificate holder(MakeCertificate(CertificateSpec()));
        EXPECT_EQ(DecodeCertificate(input, holder), decodes);
        EXPECT_EQ(holder.HasCertificate(), decodes);
        if (decodes)
        {
            EXPECT_EQ(CertificateDER(holder.GetHandle()), der);
        }
    }
}

TEST(DecodeTest, TruncatedAtEveryLengthFailsAndEmptiesTheHolder)
{
    const X509Ptr certificate = MakeCertificate(CertificateSpec());
    const ByteVector der = CertificateDER(certificate.get());
    for (size_t length = 0; length < der.size(); ++length)
    {
        slcertificate holder(slcertificate::Duplicate(certificate.get()));
        EXPECT_FALSE(DecodeCertificate(ByteVector(der.begin(), der.begin() + length), holder))
            << length;
        EXPECT_FALSE(holder.HasCertificate()) << length;
    }
}

} // namespace
