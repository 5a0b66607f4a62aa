#include "asn1/ASN1Object.h"
#include "asn1/OID.h"
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

TEST_P(LengthTest, AgreesWithLibcryptoOctetString)
{
    const ByteVector content(GetParam(), 0x5A);
    Corvane::ASN1OctetString ours;
    ours.SetContent(content);

    ASN1StringPtr theirs(ASN1_OCTET_STRING_new());
    ASSERT_EQ(ASN1_OCTET_STRING_set(theirs.get(), content.data(), static_cast<int>(content.size())),
              1);
    EXPECT_EQ(ours.Encode(), EncodeDER(theirs.get(), i2d_ASN1_OCTET_STRING));
}

INSTANTIATE_TEST_SUITE_P(Lengths, LengthTest,
                         testing::Values(0, 1, 127, 128, 200, 255, 256, 65535, 65536, 70000,
                                         16777215, 16777216));

TEST(LengthTest, OctetsOfKnownLengths)
{
    struct Case
    {
        size_t length;
        ByteVector octets;
    };
    const Case cases[] = {{0, {0x00}},
                          {127, {0x7F}},
                          {128, {0x81, 0x80}},
                          {200, {0x81, 0xC8}},
                          {255, {0x81, 0xFF}},
                          {256, {0x82, 0x01, 0x00}},
                          {65535, {0x82, 0xFF, 0xFF}},
                          {65536, {0x83, 0x01, 0x00, 0x00}}};
    for (const Case& c : cases)
    {
        Corvane::ASN1Sequence sequence;
        sequence.SetContent(ByteVector(c.length, 0));
        EXPECT_EQ(sequence.EncodeLength(), c.octets) << c.length;
    }
}

struct IntegerCase
{
    uint32_t value;
    ByteVector encoding;
};

class IntegerTest : public testing::TestWithParam<IntegerCase>
{
};

TEST_P(IntegerTest, AgreesWithLibcryptoAndTheExpectedOctets)
{
    Corvane::ASN1Integer ours;
    ours.SetInteger(GetParam().value);

    ASN1StringPtr theirs(ASN1_INTEGER_new());
    ASSERT_EQ(ASN1_INTEGER_set_uint64(theirs.get(), GetParam().value), 1);
    EXPECT_EQ(ours.Encode(), EncodeDER(theirs.get(), i2d_ASN1_INTEGER));
    EXPECT_EQ(ours.Encode(), GetParam().encoding);
}

INSTANTIATE_TEST_SUITE_P(
    Values, IntegerTest,
    testing::Values(IntegerCase{0, {0x02, 0x01, 0x00}}, IntegerCase{1, {0x02, 0x01, 0x01}},
                    IntegerCase{127, {0x02, 0x01, 0x7F}},
                    IntegerCase{128, {0x02, 0x02, 0x00, 0x80}},
                    IntegerCase{255, {0x02, 0x02, 0x00, 0xFF}},
                    IntegerCase{256, {0x02, 0x02, 0x01, 0x00}},
                    IntegerCase{0x7FFF, {0x02, 0x02, 0x7F, 0xFF}},
                    IntegerCase{0x8000, {0x02, 0x03, 0x00, 0x80, 0x00}},
                    IntegerCase{0x00FFFFFF, {0x02, 0x04, 0x00, 0xFF, 0xFF, 0xFF}},
                    IntegerCase{0x7FFFFFFF, {0x02, 0x04, 0x7F, 0xFF, 0xFF, 0xFF}},
                    IntegerCase{0x80000000, {0x02, 0x05, 0x00, 0x80, 0x00, 0x00, 0x00}},
                    IntegerCase{0xFFFFFFFF, {0x02, 0x05, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}}));

TEST(IntegerTest, SetIntegerAppendsToTheContent)
{
    Corvane::ASN1Integer integer;
    integer.SetInteger(1);
    integer.SetInteger(0x80);
    EXPECT_EQ(integer.GetContent(), Bytes({0x01, 0x00, 0x80}));
}

class OIDTest : public testing::TestWithParam<std::string>
{
};

TEST_P(OIDTest, AgreesWithLibcryptoObject)
{
    Corvane::ASN1ObjectIdentifier ours;
    ours.SetOID(GetParam());

    ASN1ObjectPtr theirs(OBJ_txt2obj(GetParam().c_str(), 1));
    ASSERT_NE(theirs, nullptr);
    EXPECT_EQ(ours.Encode(), EncodeDER(theirs.get(), i2d_ASN1_OBJECT));
}

INSTANTIATE_TEST_SUITE_P(
    Constants, OIDTest,
    testing::Values(std::string(OID_PKCS7_DATA), std::string(OID_PKCS7_SIGNED_DATA),
                    std::string(OID_PKCS7_ENVELOPED_DATA), std::string(OID_MD5_WITH_RSA),
                    std::string(OID_SHA1_WITH_RSA), std::string(OID_SHA256_WITH_RSA),
                    std::string(OID_SHA384_WITH_RSA), std::string(OID_SHA512_WITH_RSA),
                    std::string(OID_SHA1), std::string(OID_SHA256), std::string(OID_SHA384),
                    std::string(OID_SHA512), std::string(OID_SHA224), std::string(OID_RIPEMD160),
                    std::string(OID_MD5), std::string(OID_EC_PUBLIC_KEY),
                    std::string(OID_PRIME256V1), std::string(OID_ECDSA_WITH_SHA1),
                    std::string(OID_ECDSA_WITH_SHA256), std::string(OID_ECDSA_WITH_SHA384),
                    std::string(OID_ECDSA_WITH_SHA512), std::string(OID_ECDSA_PLAIN_RIPEMD160),
                    std::string(OID_RSA_ENCRYPTION), std::string(OID_RC2_CBC), std::string(OID_RC4),
                    std::string(OID_DES_EDE3_CBC), std::string(OID_RC5_CBC_PAD),
                    std::string(OID_DES_CDMF), std::string(OID_COMMON_NAME),
                    std::string(OID_GIVEN_NAME), std::string(OID_SURNAME),
                    std::string(OID_COUNTRY_NAME), std::string(OID_LOCALITY_NAME),
                    std::string(OID_STATE_OR_PROVINCE_NAME), std::string(OID_ORGANIZATION_NAME),
                    std::string(OID_ORGANIZATIONAL_UNIT_NAME), std::string(OID_SERIAL_NUMBER)));

INSTANTIATE_TEST_SUITE_P(Arcs, OIDTest,
                         testing::Values("0.0", "2.39", "1.39.0", "1.2.127", "1.2.128", "1.2.16383",
                                         "1.2.16384", "1.2.2097151", "1.2.2097152",
                                         "1.2.4294967295", "2.5.0.0.0", "1.2.00840.0001"));

TEST(OIDTest, KnownEncodings)
{
    struct Case
    {
        std::string_view text;
        ByteVector encoding;
    };
    const Case cases[] = {
        {"1.2.840.113549.1.1.1",
         {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01}},
        {"1.2.840.10045.4.1", {0x06, 0x07, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x04, 0x01}},
        {"1.2.840.113549.1.7.2",
         {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02}},
        {"1.3.14.3.2.26", {0x06, 0x05, 0x2B, 0x0E, 0x03, 0x02, 0x1A}},
    };
    for (const Case& c : cases)
    {
        Corvane::ASN1ObjectIdentifier oid;
        oid.SetOID(c.text);
        EXPECT_EQ(oid.Encode(), c.encoding) << c.text;
    }
}

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

struct TypeCase
{
    ASN1Object element;
    uint32_t tagClass;
    uint32_t constructed;
    uint8_t tagNumber;
    uint8_t identifier;
};

TEST(TypedElementTest, PresetIdentifiersAndEmptyContent)
{
    const TypeCase cases[] = {
        {Corvane::ASN1Sequence(), 0, 1, 16, 0x30},
        {Corvane::ASN1Set(), 0, 1, 17, 0x31},
        {Corvane::ASN1Integer(), 0, 0, 2, 0x02},
        {Corvane::ASN1OctetString(), 0, 0, 4, 0x04},
        {Corvane::ASN1Null(), 0, 0, 5, 0x05},
        {Corvane::ASN1ObjectIdentifier(), 0, 0, 6, 0x06},
        {Corvane::ASN1ExplicitTag(), 0, 0, 160, 0xA0},
        {ASN1Object(2, 1, 3), 2, 1, 3, 0xA3},
        {ASN1Object(3, 0, 30), 3, 0, 30, 0xDE},
    };
    for (const TypeCase& c : cases)
    {
        EXPECT_EQ(c.element.GetTagClass(), c.tagClass);
        EXPECT_EQ(c.element.GetConstructed(), c.constructed);
        EXPECT_EQ(c.element.GetTagNumber(), c.tagNumber);
        EXPECT_EQ(c.element.GetIdentifier(), c.identifier);
        EXPECT_EQ(c.element.Encode(), Bytes({c.identifier, 0x00}));
    }
}

TEST(BuildTest, DigestInfoAndWrappers)
{
    const ByteVector digest(20, 0xAB);
    ByteVector expected = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E,
                           0x03, 0x02, 0x1A, 0x05, 0x00, 0x04, 0x14};
    expected.insert(expected.end(), digest.begin(), digest.end());
    EXPECT_EQ(testsupport::DigestInfo(OID_SHA1, digest), expected);

    Corvane::ASN1OctetString inner;
    inner.SetContent({0xAA});
    Corvane::ASN1ExplicitTag tag;
    tag.AddChild(inner);
    EXPECT_EQ(tag.Encode(), Bytes({0xA0, 0x03, 0x04, 0x01, 0xAA}));
}

TEST(BuildTest, SetKeepsTheOrderOfAppending)
{
    Corvane::ASN1Integer big;
    big.SetInteger(0xFFFF);
    Corvane::ASN1Set set;
    set.AddChild(big);
    set.AddChild(Corvane::ASN1Null());
    EXPECT_EQ(set.Encode(), Bytes({0x31, 0x07, 0x02, 0x03, 0x00, 0xFF, 0xFF, 0x05, 0x00}));
}

TEST(BuildTest, CopyCarriesEveryField)
{
    ASN1Object original(2, 1, 4);
    original.SetContent({1, 2, 3});
    ASN1Object copy(original);
    original.SetContent({});
    EXPECT_EQ(copy.GetTagClass(), 2u);
    EXPECT_EQ(copy.GetConstructed(), 1u);
    EXPECT_EQ(copy.GetTagNumber(), 4);
    EXPECT_EQ(copy.GetIdentifier(), 0xA4);
    EXPECT_EQ(copy.GetContent(), Bytes({1, 2, 3}));
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

TEST(DecodeTest, ReEncodingGivesTheSameBytes)
{
    for (const size_t length : {0u, 1u, 127u, 128u, 300u, 70000u})
    {
        Corvane::ASN1OctetString original;
        original.SetContent(ByteVector(length, 0x11));
        Corvane::ASN1Sequence outer;
        outer.AddChild(original);
        EXPECT_EQ(ASN1Object(outer.Encode()).Encode(), outer.Encode()) << length;
    }
}

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
