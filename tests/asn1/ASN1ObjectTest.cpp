#include "asn1/ASN1Object.h"
#include "asn1/OID.h"
#include "asn1/PKCS7.h"
#include "slcertificate/OpenSSLTypes.h"
#include "tests/asn1/SignedRequest.h"

#include <openssl/asn1.h>
#include <openssl/objects.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

using Corvane::ASN1Object;

namespace
{

using ASN1StringPtr = std::unique_ptr<ASN1_STRING, OpenSSLFree<ASN1_STRING_free>>;
using ASN1ObjectPtr = std::unique_ptr<ASN1_OBJECT, OpenSSLFree<ASN1_OBJECT_free>>;

ByteVector Bytes(std::initializer_list<unsigned char> bytes)
{
    return ByteVector(bytes);
}

class LengthTest : public testing::TestWithParam<size_t>
{
};

TEST_P(LengthTest, AgreesWithLibcryptoAndDecodesBack)
{
    const ByteVector content(GetParam(), 0x5A);
    Corvane::ASN1OctetString ours;
    ours.SetContent(content);

    ASN1StringPtr theirs(ASN1_OCTET_STRING_new());
    ASSERT_EQ(ASN1_OCTET_STRING_set(theirs.get(), content.data(), static_cast<int>(content.size())),
              1);
    EXPECT_EQ(ours.Encode(), EncodeDER(theirs.get(), i2d_ASN1_OCTET_STRING));
    EXPECT_EQ(ASN1Object(ours.Encode()).Encode(), ours.Encode());
}

INSTANTIATE_TEST_SUITE_P(Lengths, LengthTest,
                         testing::Values(0, 1, 127, 128, 200, 255, 256, 65535, 65536, 70000,
                                         16777215, 16777216));

class IntegerTest : public testing::TestWithParam<uint32_t>
{
};

TEST_P(IntegerTest, AgreesWithLibcrypto)
{
    Corvane::ASN1Integer ours;
    ours.SetInteger(GetParam());

    ASN1StringPtr theirs(ASN1_INTEGER_new());
    ASSERT_EQ(ASN1_INTEGER_set_uint64(theirs.get(), GetParam()), 1);
    EXPECT_EQ(ours.Encode(), EncodeDER(theirs.get(), i2d_ASN1_INTEGER));
}

INSTANTIATE_TEST_SUITE_P(Values, IntegerTest,
                         testing::Values(0u, 1u, 127u, 128u, 255u, 256u, 0x7FFFu, 0x8000u,
                                         0x00FFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu));

TEST(IntegerTest, SetIntegerAppendsToTheContent)
{
    Corvane::ASN1Integer integer;
    integer.SetInteger(1);
    integer.SetInteger(0x80);
    EXPECT_EQ(integer.GetContent(), Bytes({0x01, 0x00, 0x80}));
}

class OIDTest : public testing::TestWithParam<std::string_view>
{
};

TEST_P(OIDTest, AgreesWithLibcryptoObject)
{
    Corvane::ASN1ObjectIdentifier ours;
    ours.SetOID(GetParam());

    ASN1ObjectPtr theirs(OBJ_txt2obj(std::string(GetParam()).c_str(), 1));
    ASSERT_NE(theirs, nullptr);
    EXPECT_EQ(ours.Encode(), EncodeDER(theirs.get(), i2d_ASN1_OBJECT));
}

INSTANTIATE_TEST_SUITE_P(
    Constants, OIDTest,
    testing::Values(OID_PKCS7_DATA, OID_PKCS7_SIGNED_DATA, OID_PKCS7_ENVELOPED_DATA,
                    OID_MD5_WITH_RSA, OID_SHA1_WITH_RSA, OID_SHA256_WITH_RSA, OID_SHA384_WITH_RSA,
                    OID_SHA512_WITH_RSA, OID_SHA1, OID_SHA256, OID_SHA384, OID_SHA512, OID_SHA224,
                    OID_RIPEMD160, OID_MD5, OID_EC_PUBLIC_KEY, OID_PRIME256V1, OID_ECDSA_WITH_SHA1,
                    OID_ECDSA_WITH_SHA256, OID_ECDSA_WITH_SHA384, OID_ECDSA_WITH_SHA512,
                    OID_ECDSA_PLAIN_RIPEMD160, OID_RSA_ENCRYPTION, OID_RC2_CBC, OID_RC4,
                    OID_DES_EDE3_CBC, OID_RC5_CBC_PAD, OID_DES_CDMF, OID_COMMON_NAME,
                    OID_GIVEN_NAME, OID_SURNAME, OID_COUNTRY_NAME, OID_LOCALITY_NAME,
                    OID_STATE_OR_PROVINCE_NAME, OID_ORGANIZATION_NAME, OID_ORGANIZATIONAL_UNIT_NAME,
                    OID_SERIAL_NUMBER));

INSTANTIATE_TEST_SUITE_P(Arcs, OIDTest,
                         testing::Values("0.0", "2.39", "1.39.0", "1.2.127", "1.2.128", "1.2.16383",
                                         "1.2.16384", "1.2.2097151", "1.2.2097152",
                                         "1.2.4294967295", "2.5.0.0.0", "1.2.00840.0001"));

class InvalidOIDTest : public testing::TestWithParam<std::string>
{
};

TEST_P(InvalidOIDTest, GivesNoArcsAndAnEmptyIdentifier)
{
    EXPECT_TRUE(ParseOIDText(GetParam()).empty());
    Corvane::ASN1ObjectIdentifier oid;
    oid.SetOID("1.2.3");
    oid.SetOID(GetParam());
    EXPECT_EQ(oid.Encode(), Bytes({0x06, 0x00}));
}

INSTANTIATE_TEST_SUITE_P(Texts, InvalidOIDTest,
                         testing::Values("", "1", ".1.2", "1.2.", "1..2", "1.2a", "3.1", "1.40",
                                         "2.40", "2.999", "1.2.-3", "1.2 .3", " 1.2", ".",
                                         // beyond 32 bits: refused, not folded into another OID
                                         "1.2.4294967296", "1.2.99999999999999999999",
                                         "4294967297.1"));

TEST(ParseOIDTextTest, ReadsTheArcs)
{
    EXPECT_EQ(ParseOIDText("1.2.840.113549"), (std::vector<uint32_t>{1, 2, 840, 113549}));
    EXPECT_EQ(ParseOIDText("2.39.4294967295"), (std::vector<uint32_t>{2, 39, 4294967295u}));
    EXPECT_EQ(ParseOIDText("0.0"), (std::vector<uint32_t>{0, 0}));
    EXPECT_EQ(ParseOIDText("01.002.0"), (std::vector<uint32_t>{1, 2, 0}));
}

TEST(SetOIDArcsTest, RefusesInvalidFirstArcs)
{
    const std::vector<std::vector<uint32_t>> refused = {{}, {1}, {3, 1}, {1, 40}, {2, 40, 1}};
    for (const auto& arcs : refused)
    {
        Corvane::ASN1ObjectIdentifier oid;
        oid.SetOID("1.2.3");
        oid.SetOIDArcs(arcs);
        EXPECT_TRUE(oid.GetContent().empty()) << arcs.size();
    }
    Corvane::ASN1ObjectIdentifier oid;
    oid.SetOIDArcs({2, 39, 0, 840});
    EXPECT_EQ(oid.GetContent(), Bytes({0x77, 0x00, 0x86, 0x48}));
}

TEST(TypedElementTest, PresetIdentifiersAndEmptyContent)
{
    const std::pair<ASN1Object, uint8_t> cases[] = {
        {Corvane::ASN1Sequence(), 0x30},    {Corvane::ASN1Set(), 0x31},
        {Corvane::ASN1Integer(), 0x02},     {Corvane::ASN1OctetString(), 0x04},
        {Corvane::ASN1Null(), 0x05},        {Corvane::ASN1ObjectIdentifier(), 0x06},
        {Corvane::ASN1ExplicitTag(), 0xA0}, {ASN1Object(2, 1, 3), 0xA3},
        {ASN1Object(3, 0, 30), 0xDE},
    };
    for (const auto& [element, identifier] : cases)
    {
        EXPECT_EQ(element.Encode(), Bytes({identifier, 0x00}));
        // The fields describe the identifier they produce.
        EXPECT_EQ(element.GetTagClass(), identifier >> 6u) << int(identifier);
        EXPECT_EQ(element.GetConstructed(), (identifier >> 5u) & 1u) << int(identifier);
        EXPECT_EQ(element.GetTagNumber(), identifier & 0x1Fu) << int(identifier);
    }
}

TEST(BuildTest, ChildrenNestInTheOrderOfAppending)
{
    const ByteVector digest(20, 0xAB);
    ByteVector expected = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E,
                           0x03, 0x02, 0x1A, 0x05, 0x00, 0x04, 0x14};
    expected.insert(expected.end(), digest.begin(), digest.end());
    EXPECT_EQ(Corvane::DigestInfo(OID_SHA1, digest), expected);

    Corvane::ASN1Integer big;
    big.SetInteger(0xFFFF);
    Corvane::ASN1Set set; // kept in appending order, not sorted as DER would sort a SET OF
    set.AddChild(Corvane::ASN1Null());
    set.AddChild(big);
    Corvane::ASN1ExplicitTag tag;
    tag.AddChild(set);
    EXPECT_EQ(tag.Encode(),
              Bytes({0xA0, 0x09, 0x31, 0x07, 0x05, 0x00, 0x02, 0x03, 0x00, 0xFF, 0xFF}));
}

struct DecodeCase
{
    const char* name;
    ByteVector input;
    uint8_t identifier;
    uint32_t tagClass;
    uint32_t constructed;
    uint8_t tagNumber;
    ByteVector content;
};

// Prints the case by its name, so that a listing of the tests is the same in every build.
void PrintTo(const DecodeCase& c, std::ostream* os)
{
    *os << c.name;
}

class DecodeTest : public testing::TestWithParam<DecodeCase>
{
};

TEST_P(DecodeTest, TakesTheElementApart)
{
    const ASN1Object element(GetParam().input);
    EXPECT_EQ(element.GetIdentifier(), GetParam().identifier);
    EXPECT_EQ(element.GetTagClass(), GetParam().tagClass);
    EXPECT_EQ(element.GetConstructed(), GetParam().constructed);
    EXPECT_EQ(element.GetTagNumber(), GetParam().tagNumber);
    EXPECT_EQ(element.GetContent(), GetParam().content);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, DecodeTest,
    testing::Values(
        DecodeCase{"sequence", {0x30, 0x03, 0x02, 0x01, 0x05}, 0x30, 0, 1, 16, {0x02, 0x01, 0x05}},
        DecodeCase{"empty", {}, 0x05, 0, 0, 5, {}},
        DecodeCase{"one_octet", {0x30}, 0x05, 0, 0, 5, {}},
        DecodeCase{"length_octets_missing", {0x30, 0x83, 0x00}, 0x05, 0, 0, 5, {}},
        DecodeCase{"127_length_octets_announced", {0x04, 0xFF, 0x00}, 0x05, 0, 0, 5, {}},
        DecodeCase{"long_form_no_content", {0x04, 0x82, 0x00, 0x00}, 0x04, 0, 0, 4, {}},
        DecodeCase{"long_form", {0x04, 0x81, 0x02, 0xAA, 0xBB}, 0x04, 0, 0, 4, {0xAA, 0xBB}},
        DecodeCase{"zero_length_octets", {0x04, 0x80, 0xAA}, 0x04, 0, 0, 4, {0xAA}},
        DecodeCase{"null", {0x05, 0x00}, 0x05, 0, 0, 5, {}},
        DecodeCase{"context_tag", {0xA0, 0x01, 0x07}, 0xA0, 2, 1, 0, {0x07}},
        DecodeCase{"private_primitive", {0xDE, 0x00}, 0xDE, 3, 0, 30, {}},
        DecodeCase{"high_tag_form_not_recognised", {0x1F, 0x01, 0x22}, 0x1F, 0, 0, 31, {0x22}},
        DecodeCase{"length_not_compared", {0x04, 0x05, 0x01}, 0x04, 0, 0, 4, {0x01}}),
    testsupport::CaseName());

TEST(DecodeTest, EveryPrefixOfAnElementIsSafe)
{
    Corvane::ASN1OctetString element;
    element.SetContent(ByteVector(300, 0x42));
    const ByteVector der = element.Encode();
    for (size_t length = 0; length <= der.size(); ++length)
    {
        const ASN1Object decoded(ByteVector(der.begin(), der.begin() + length));
        EXPECT_LE(decoded.GetContent().size(), length);
    }
}

} // namespace
