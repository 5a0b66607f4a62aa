// The generated card set and its JSON form.

#include "sim/cardmodule/cardset/CardSet.h"
#include "sim/cardmodule/cardset/Generator.h"
#include "sim/cardmodule/cardset/OpenSsl.h"
#include "sim/cardmodule/testsupport/SimEnvironment.h"

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <gtest/gtest.h>

#include <memory>

using namespace QuendrySim;

namespace
{
using CertificatePtr = OpenSslPtr<X509>;

std::string CommonName(X509* certificate)
{
    char name[128] = {};
    X509_NAME_get_text_by_NID(X509_get_subject_name(certificate), NID_commonName, name,
                              sizeof name);
    return name;
}
} // namespace

TEST(SimCardSet, WritingAndParsingKeepEverything)
{
    CardSet set;
    ASSERT_TRUE(LoadCardSet(SimEnvironment::TemplatePath(), set));
    set.dialog = {DialogAnswer::Enter({"1", "2"}), DialogAnswer::Cancel(), DialogAnswer::Fail(),
                  DialogAnswer::Answer(0x80000001)};
    set.dialog[0].pin = "SIG";
    Fault fault;
    fault.function = "C_Sign";
    fault.rv = 6;
    fault.skip = 2;
    fault.times = 1;
    fault.gate = "go";
    set.faults = {fault};
    set.slots[0].card->objects[0].attributes[0x121] = std::nullopt;
    set.slots[0].card->objects[0].attributes[0x3] = ByteVector{0x41};
    set.slots[0].card->files.push_back({"3F00/5031", 1, true, {}, {{1}, {}}});
    const std::string written = WriteCardSet(set);
    CardSet parsed;
    ASSERT_TRUE(ParseCardSet(written, parsed));
    EXPECT_EQ(written, WriteCardSet(parsed));
    EXPECT_EQ(DialogAnswer::Kind::Code, parsed.dialog[3].kind);
    EXPECT_EQ(0x80000001u, parsed.dialog[3].rv);
    EXPECT_EQ("SIG", parsed.dialog[0].pin);
    EXPECT_EQ("", parsed.dialog[1].pin);
}

TEST(SimCardSet, MalformedMembersAreRefused)
{
    const char* const bad[] = {
        "[1, 2]",
        "{\"slots\": [{\"id\": 1, \"card\": {\"atr\": \"3B0\"}}]}",
        "{\"slots\": [{\"id\": 1, \"card\": {\"objects\": [{\"class\": \"key\"}]}}]}",
        "{\"faults\": [{\"function\": \"C_Sign\", \"rv\": \"six\"}]}",
        "{\"slots\": {}}",
        "{\"dialog\": [{\"pin\": 1, \"enter\": [\"1234\"]}]}",
    };
    for (const char* json : bad)
    {
        CardSet set;
        EXPECT_FALSE(ParseCardSet(json, set)) << json;
    }
    CardSet set;
    EXPECT_TRUE(
        ParseCardSet("{\"faults\": [{\"function\": \"C_Sign\", \"rv\": \"0x80000001\"}]}", set));
    EXPECT_EQ(0x80000001u, *set.faults[0].rv);
}

TEST(SimCardSet, GeneratedCardsOfEveryType)
{
    CardSet set;
    GeneratedCa ca;
    ASSERT_TRUE(GenerateCardSet(set, ca));
    ASSERT_EQ(10u, set.slots.size());
    EXPECT_FALSE(set.slots[9].card.has_value());
    CertificatePtr caCertificate = DecodeCertificate(ca.certificate);
    ASSERT_TRUE(caCertificate);
    OpenSslPtr<EVP_PKEY> caKey(X509_get_pubkey(caCertificate.get()));
    const bool containers[] = {false, true, true, false, false, true, true, true, true};
    for (int type = 0; type < 9; ++type)
    {
        SCOPED_TRACE(type);
        Card& card = *set.slots[type].card;
        EXPECT_EQ(type, card.cardType);
        EXPECT_EQ(16u, card.serial.size());
        EXPECT_EQ(containers[type], card.FindObject("INFOBOX") != nullptr);
        EXPECT_EQ(type == 0, card.FindPin("INFOBOX") != nullptr);
        for (const char* label : {"C.CH.SIG", "C.CH.EKEY", "SK.CH.SIG", "SK.CH.EKEY", "PK.CH.SIG",
                                  "PK.CH.EKEY", "PERSONENBINDUNG", "RFU1", "RFU2"})
            EXPECT_NE(nullptr, card.FindObject(label)) << label;
        const ByteVector& link = card.FindObject("PERSONENBINDUNG")->value;
        EXPECT_GT(link.size(), 127u);
        EXPECT_EQ(0x30, link[0]);
        if (containers[type])
        {
            EXPECT_EQ(link, card.FindObject("0x01")->value);
        }
        for (const char* label : {"C.CH.SIG", "C.CH.EKEY"})
        {
            CertificatePtr certificate = DecodeCertificate(card.FindObject(label)->value);
            ASSERT_TRUE(certificate);
            EXPECT_EQ(1, X509_verify(certificate.get(), caKey.get())) << "issued by the test CA";
            const int digest = X509_get_signature_nid(certificate.get());
            EXPECT_EQ(type == 0 || type == 3 ? NID_sha1WithRSAEncryption
                                             : NID_sha256WithRSAEncryption,
                      digest);
            EXPECT_FALSE(CommonName(certificate.get()).empty());
        }
    }
}
