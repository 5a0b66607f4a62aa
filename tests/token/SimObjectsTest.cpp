#include "SimFixture.h"
#include "TestCrypto.h"

using namespace Corvane;
using QuendrySim::DialogAnswer;

namespace
{
const ByteVector kMessage = {'Q', 'u', 'e', 'n', 'd', 'r', 'y'};

ByteVector IdentityLink(size_t size, unsigned char first = 0x30)
{
    return tokentest::IdentityRecord(size, first);
}

// A record whose header no longer fits its size: cut, or with bytes after it.
ByteVector Resized(ByteVector record, size_t size)
{
    record.resize(size, 0x00);
    return record;
}

ByteVector IndefiniteLength(size_t size)
{
    ByteVector record = IdentityLink(size);
    record[1] = 0x80;
    record[size - 2] = record[size - 1] = 0x00;
    return record;
}

// A record whose length is written in more bytes than DER's shortest form takes.
ByteVector LongerLengthForm(size_t content, size_t lengthBytes)
{
    ByteVector record = {0x30, static_cast<unsigned char>(0x80 | lengthBytes)};
    for (size_t i = lengthBytes; i > 0; --i)
        record.push_back(static_cast<unsigned char>(content >> (8 * (i - 1))));
    record.resize(record.size() + content, 0x5A);
    return record;
}

std::string PinOfKey(QuendrySim::Card& card, const std::string& label)
{
    return card.FindPin(card.FindObject(label)->pin)->value;
}
} // namespace

TEST_F(SimCards, ReadsBothCertificatesOfEveryCard)
{
    Start();
    QuendrySim::CardSet set = env.Load();
    for (int cardType = 0; cardType <= 8; ++cardType)
    {
        QuendrySim::Card& card = CardOfType(set, cardType);
        OpenCard(cardType);
        ASSERT_TRUE(wrapper->ReadCertificate(true)) << cardType;
        EXPECT_EQ(wrapper->CertificateBytes(), card.FindObject("C.CH.SIG")->value) << cardType;
        ASSERT_TRUE(wrapper->ReadCertificate(false)) << cardType;
        EXPECT_EQ(wrapper->CertificateBytes(), card.FindObject("C.CH.EKEY")->value) << cardType;
        wrapper->CloseSession();
    }
    EXPECT_FALSE(wrapper->ReadCertificate(true)) << "closed session";
}

TEST_F(SimCards, CertificateObjectsThatCannotBeTaken)
{
    const ByteVector oversized(6000, 0x30);
    const ByteVector garbage(100, 0x42);
    struct Case
    {
        const char* name;
        std::function<void(QuendrySim::Card&)> edit;
        bool read;
        ByteVector bytes;
    };
    QuendrySim::CardSet original = env.Load();
    const ByteVector real = CardOfType(original, 3).FindObject("C.CH.SIG")->value;
    const Case cases[] = {
        {"value of 6000 bytes",
         [&](QuendrySim::Card& card) { card.FindObject("C.CH.SIG")->value = oversized; },
         false,
         {}},
        {"oversized first, readable second",
         [&](QuendrySim::Card& card)
         {
             QuendrySim::CardObject first = *card.FindObject("C.CH.SIG");
             first.value = oversized;
             card.objects.insert(card.objects.begin(), first);
         },
         true, real},
        {"not a certificate",
         [&](QuendrySim::Card& card) { card.FindObject("C.CH.SIG")->value = garbage; }, false,
         garbage},
        {"empty",
         [&](QuendrySim::Card& card) { card.FindObject("C.CH.SIG")->value.clear(); },
         false,
         {}},
        {"label cut short by the module",
         [&](QuendrySim::Card& card) {
             card.FindObject("C.CH.SIG")->attributes[CKA_LABEL] = ByteVector{'C', '.', 'C', 'H'};
         },
         false,
         {}},
    };
    Start();
    for (const Case& item : cases)
    {
        ResetCard(original, 3, item.edit);
        OpenCard(3);
        EXPECT_EQ(wrapper->ReadCertificate(true), item.read) << item.name;
        if (!item.bytes.empty())
        {
            EXPECT_EQ(wrapper->CertificateBytes(), item.bytes) << item.name;
        }
        wrapper->CloseSession();
    }
}

TEST_F(SimCards, SignaturesOfEveryKeyVerifyWithLibcrypto)
{
    Start();
    QuendrySim::CardSet set = env.Load();
    const char* keys[][3] = {{"SK.CH.SIG", "PK.CH.SIG", "C.CH.SIG"},
                             {"SK.CH.EKEY", "PK.CH.EKEY", "C.CH.EKEY"}};
    for (int cardType = 0; cardType <= 8; ++cardType)
    {
        QuendrySim::Card& card = CardOfType(set, cardType);
        for (const auto& key : keys)
        {
            const ByteVector& certificate = card.FindObject(key[2])->value;
            const bool rsa = card.FindObject(key[0])->keyType == QuendrySim::KeyType::Rsa;
            const ByteVector input =
                rsa ? tokentest::Sha256DigestInfo(kMessage) : tokentest::Sha256(kMessage);
            Script({DialogAnswer::Enter({PinOfKey(card, key[0])})});
            OpenCard(cardType);
            ByteVector signature = {0xEE};
            ASSERT_TRUE(wrapper->Sign(key[0], input, signature)) << cardType << key[0];
            ASSERT_EQ(signature.front(), 0xEE) << "appended";
            signature.erase(signature.begin());
            EXPECT_TRUE(tokentest::VerifyCardSignature(certificate, input, signature))
                << cardType << key[0];
            EXPECT_TRUE(wrapper->Verify(key[1], signature, input)) << cardType << key[1];
            signature.back() ^= 0x01;
            EXPECT_FALSE(wrapper->Verify(key[1], signature, input)) << cardType << key[1];
            wrapper->CloseSession();
        }
    }
    const auto mechanisms = CallsOf("C_SignInit");
    ASSERT_EQ(mechanisms.size(), 18u);
    EXPECT_EQ(mechanisms[0].Field("mechanism"), "0x1041");
    EXPECT_EQ(mechanisms[1].Field("mechanism"), "0x1");
    EXPECT_TRUE(CallsOf("C_Login").empty()) << "signing never logs in";
}

TEST_F(SimCards, SigningKeyChoice)
{
    struct Case
    {
        const char* name;
        std::function<void(QuendrySim::Card&)> edit;
        bool signs;
        const char* certificate; // whose key must have signed
    };
    const Case cases[] = {
        {"SK.CH.SIG2 first is taken",
         [](QuendrySim::Card& card)
         {
             QuendrySim::CardObject other = *card.FindObject("SK.CH.EKEY");
             other.label = "SK.CH.SIG2";
             other.pin = "SIG";
             card.objects.insert(card.objects.begin(), other);
         },
         true, "C.CH.EKEY"},
        {"SK.CH never matches",
         [](QuendrySim::Card& card) { card.FindObject("SK.CH.SIG")->label = "SK.CH"; }, false, ""},
        {"label shorter than returned",
         [](QuendrySim::Card& card)
         {
             card.FindObject("SK.CH.SIG")->attributes[CKA_LABEL] =
                 ByteVector{'S', 'K', '.', 'C', 'H', '.', 'S', 'I'};
         },
         false, ""},
        {"DSA key",
         [](QuendrySim::Card& card)
         { card.FindObject("SK.CH.SIG")->keyType = QuendrySim::KeyType::Dsa; },
         false, ""},
        {"key type unreadable",
         [](QuendrySim::Card& card)
         { card.FindObject("SK.CH.SIG")->attributes[CKA_KEY_TYPE] = std::nullopt; },
         false, ""},
    };
    QuendrySim::CardSet original = env.Load();
    Start();
    for (const Case& item : cases)
    {
        ResetCard(original, 7, item.edit);
        Script({DialogAnswer::Enter({"123456"})});
        OpenCard(7);
        const ByteVector input = tokentest::Sha256DigestInfo(kMessage);
        ByteVector signature;
        EXPECT_EQ(wrapper->Sign("SK.CH.SIG", input, signature), item.signs) << item.name;
        if (item.signs)
        {
            QuendrySim::CardSet set = env.Load();
            EXPECT_TRUE(tokentest::VerifyRsaPkcs1(
                CardOfType(set, 7).FindObject(item.certificate)->value, input, signature))
                << item.name;
        }
        else
            EXPECT_TRUE(signature.empty()) << item.name;
        wrapper->CloseSession();
    }
}

TEST_F(SimCards, SignAndVerifyFailures)
{
    Start();
    const ByteVector digest = tokentest::Sha256(kMessage);
    ByteVector signature;
    EXPECT_FALSE(wrapper->Sign("SK.CH.SIG", digest, signature)) << "no session";
    EXPECT_FALSE(wrapper->Verify("PK.CH.SIG", digest, digest)) << "no session";
    OpenCard(1);
    EXPECT_FALSE(wrapper->Sign("SK.CH.SIG", digest, signature)) << "dialog cancelled";
    AddFault("C_Sign", CKR_DEVICE_ERROR);
    Script({DialogAnswer::Enter({"123456"})});
    EXPECT_FALSE(wrapper->Sign("SK.CH.SIG", digest, signature)) << "length query fails";
    AddFault("C_SignInit", CKR_KEY_HANDLE_INVALID);
    EXPECT_FALSE(wrapper->Sign("SK.CH.SIG", digest, signature));
    EXPECT_TRUE(signature.empty());
    EXPECT_FALSE(wrapper->Verify("PK.CH.NONE", digest, digest));
    EditCards([this](QuendrySim::CardSet& set)
              { CardOfType(set, 1).FindObject("PK.CH.SIG")->keyType = QuendrySim::KeyType::Dsa; });
    env.ClearCalls();
    EXPECT_FALSE(wrapper->Verify("PK.CH.SIG", digest, digest)) << "DSA key";
    EXPECT_TRUE(CallsOf("C_VerifyInit").empty());
    wrapper->CloseSession();
}

TEST_F(SimCards, FindSlotByCardIdentificationNumber)
{
    EditCards([this](QuendrySim::CardSet& set) { CardOfType(set, 0).serial = "0000000000000000"; });
    Start();
    QuendrySim::CardSet set = env.Load();
    const std::string serial = CardOfType(set, 4).serial;
    struct Case
    {
        std::string cin;
        int index; // in the list without the empty serial
    };
    const Case cases[] = {
        {serial.substr(0, 12), 3},
        {serial, 3},
        {serial.substr(0, 11), -1},
        {serial.substr(0, 13), -1},
        {serial.substr(0, 15) + "X", -1},
        {"", -1},
        {"000000000000", -1},
    };
    for (const Case& item : cases)
        EXPECT_EQ(wrapper->FindSlotByCIN(item.cin), item.index) << item.cin;
    std::vector<TokenSlot*> current;
    ASSERT_TRUE(wrapper->GetSlots(current, false));
    EXPECT_EQ(current[3]->tokenSerial, serial);
}

TEST_F(SimCards, IdentityLinkWrite)
{
    struct Case
    {
        const char* name;
        std::function<void()> arrange;
        std::string cin; // empty: the card's own
        ByteVector data;
        bool written;
        std::string message;
    };
    const std::string unchanged = "unchanged";
    const Case cases[] = {
        {"128 bytes", [this] { Script({DialogAnswer::Enter({"1234"})}); }, "", IdentityLink(128),
         true, unchanged},
        {"3072 bytes", [this] { Script({DialogAnswer::Enter({"1234"})}); }, "", IdentityLink(3072),
         true, unchanged},
        {"unknown card", [] {}, "999999999999", IdentityLink(128), false,
         "Keine Smartcard gefunden für CIN=999999999999"},
        {"127 bytes", [] {}, "", IdentityLink(127), false,
         "Falsche Update Daten für die Smartcard"},
        {"no SEQUENCE", [] {}, "", IdentityLink(200, 0x31), false,
         "Falsche Update Daten für die Smartcard"},
        {"3073 bytes", [] {}, "", IdentityLink(3073), false,
         "Falsche Update Daten für die Smartcard"},
        {"header one byte past the data", [] {}, "", Resized(IdentityLink(201), 200), false,
         "Falsche Update Daten für die Smartcard"},
        {"header 300 bytes past the data", [] {}, "", Resized(IdentityLink(500), 200), false,
         "Falsche Update Daten für die Smartcard"},
        {"a byte after the record", [] {}, "", Resized(IdentityLink(200), 201), false,
         "Falsche Update Daten für die Smartcard"},
        {"indefinite length", [] {}, "", IndefiniteLength(200), false,
         "Falsche Update Daten für die Smartcard"},
        {"length 126 in the long form", [] {}, "", LongerLengthForm(126, 1), false,
         "Falsche Update Daten für die Smartcard"},
        {"length with a leading zero byte", [] {}, "", LongerLengthForm(0x93, 2), false,
         "Falsche Update Daten für die Smartcard"},
        {"length in three bytes", [] {}, "", LongerLengthForm(200, 3), false,
         "Falsche Update Daten für die Smartcard"},
        {"length in four bytes", [] {}, "", LongerLengthForm(200, 4), false,
         "Falsche Update Daten für die Smartcard"},
        {"session refused", [this] { AddFault("C_OpenSession", CKR_SESSION_COUNT); }, "",
         IdentityLink(128), false, "Fehler beim öffnen der Kartensession"},
        {"search fails", [this] { AddFault("C_FindObjectsInit", CKR_DEVICE_ERROR); }, "",
         IdentityLink(128), false, "PKCS11 FindObjects"},
        {"object missing",
         [this]
         {
             EditCards([this](QuendrySim::CardSet& set)
                       { CardOfType(set, 1).FindObject("PERSONENBINDUNG")->label = "PB"; });
         },
         "", IdentityLink(128), false, "Das Objekt 'PERSONENBINDUNG' wurde nicht gefunden."},
        {"login cancelled", [] {}, "", IdentityLink(128), false,
         "Fehler beim Initialisieren des Kartenobjektes. (CLogin)"},
        {"write refused",
         [this]
         {
             Script({DialogAnswer::Enter({"1234"})});
             AddFault("C_SetAttributeValue", CKR_DEVICE_ERROR);
         },
         "", IdentityLink(128), false,
         "Fehler beim modifizieren des Kartenobjektes. (C_SetAttributeValue)"},
    };
    QuendrySim::CardSet original = env.Load();
    const std::string cin = CardOfType(original, 1).serial.substr(0, 12);
    Start();
    for (const Case& item : cases)
    {
        EditCards([&](QuendrySim::CardSet& set) { set = original; });
        item.arrange();
        std::string message = unchanged;
        EXPECT_EQ(
            wrapper->WritePersonenbindung(item.cin.empty() ? cin : item.cin, item.data, message),
            item.written)
            << item.name;
        EXPECT_EQ(message, item.message) << item.name;
        EXPECT_EQ(wrapper->CurrentSlotIndex(), -1) << item.name;
        QuendrySim::CardSet after = env.Load();
        QuendrySim::Card& card = CardOfType(after, 1);
        if (item.written)
        {
            EXPECT_EQ(card.FindObject("PERSONENBINDUNG")->value, item.data) << item.name;
            EXPECT_EQ(card.FindObject("0x01")->value, item.data) << item.name;
        }
        else if (card.FindObject("PERSONENBINDUNG"))
        {
            EXPECT_EQ(card.FindObject("PERSONENBINDUNG")->value,
                      CardOfType(original, 1).FindObject("PERSONENBINDUNG")->value)
                << item.name;
        }
    }
    const auto logins = CallsOf("C_Login");
    ASSERT_FALSE(logins.empty());
    EXPECT_EQ(logins.front().Field("pinlen"), "0");
    EXPECT_EQ(CallsOf("C_Logout").size(), 5u)
        << "after each write, failed search and missing object";
}

TEST_F(SimCards, EncryptionCertificateWrite)
{
    QuendrySim::CardSet original = env.Load();
    QuendrySim::Card& card = CardOfType(original, 7);
    const std::string cin = card.serial.substr(0, 12);
    const ByteVector renewed = tokentest::CertificateForKey(card.FindObject("SK.CH.EKEY")->key);
    const ByteVector current = card.FindObject("C.CH.EKEY")->value;
    const ByteVector foreign = tokentest::CertificateWithFreshKey();
    ASSERT_FALSE(renewed.empty());
    struct Case
    {
        const char* name;
        std::function<void()> arrange;
        std::string cin;
        ByteVector certificate;
        bool written;
        std::string message;
    };
    const std::string unchanged = "unchanged";
    const Case cases[] = {
        {"same key", [] {}, cin, renewed, true, unchanged},
        {"other key", [] {}, cin, foreign, false, "Public Key Hashwerte stimmen nicht überein"},
        {"not a certificate", [] {}, cin, ByteVector(64, 0x30), false,
         "Zertifikat konnte nicht gelesen werden"},
        {"empty", [] {}, cin, ByteVector(), false, "Zertifikat konnte nicht gelesen werden"},
        {"unknown card", [] {}, "12345678901", renewed, false,
         "Keine Smartcard gefunden für CIN=12345678901"},
        {"no certificate on the card",
         [this]
         {
             EditCards([this](QuendrySim::CardSet& set)
                       { CardOfType(set, 7).FindObject("C.CH.EKEY")->label = "C.X"; });
         },
         cin, renewed, false, "Zertifikat auf der Karte nicht gefunden"},
        {"session refused", [this] { AddFault("C_OpenSession", CKR_SESSION_COUNT); }, cin, renewed,
         false, "Fehler beim öffnen der Kartensession"},
        {"write refused", [this] { AddFault("C_SetAttributeValue", CKR_FUNCTION_FAILED); }, cin,
         renewed, false, "Fehler beim Modifizieren des Kartenobjektes. Code = 0x6"},
    };
    Start();
    for (const Case& item : cases)
    {
        EditCards([&](QuendrySim::CardSet& set) { set = original; });
        item.arrange();
        std::string message = unchanged;
        EXPECT_EQ(wrapper->WriteEncCert(item.cin, item.certificate, message), item.written)
            << item.name;
        EXPECT_EQ(message, item.message) << item.name;
        EXPECT_EQ(wrapper->CurrentSlotIndex(), -1) << item.name;
        QuendrySim::CardSet after = env.Load();
        if (const QuendrySim::CardObject* object = CardOfType(after, 7).FindObject("C.CH.EKEY"))
        {
            EXPECT_EQ(object->value, item.written ? renewed : current) << item.name;
        }
    }
}

TEST_F(SimCards, WritesLoadTheModuleWhenItIsNotLoaded)
{
    QuendrySim::CardSet set = env.Load();
    const std::string cin = CardOfType(set, 1).serial.substr(0, 12);
    Start();
    wrapper->Destroy();
    Script({DialogAnswer::Enter({"1234"})});
    std::string message;
    EXPECT_TRUE(wrapper->WritePersonenbindung(cin, IdentityLink(300), message)) << message;
    wrapper->Destroy();
    EXPECT_FALSE(wrapper->WriteEncCert(cin, ByteVector(), message));
    EXPECT_EQ(message, "Zertifikat konnte nicht gelesen werden") << "the card was found";

    wrapper->Destroy();
    acPKCS11::SetModuleFile(env.Folder() + "/libmissing.so");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(wrapper->WritePersonenbindung(cin, IdentityLink(300), message));
    EXPECT_EQ(message, "Keine Smartcard gefunden für CIN=" + cin) << "no module, no card";
    EXPECT_FALSE(wrapper->WriteEncCert(cin, ByteVector(), message));
    EXPECT_EQ(message, "Keine Smartcard gefunden für CIN=" + cin) << "no module, no card";
    testing::internal::GetCapturedStderr();
}
