#include "sim/cardmodule/cardset/Generator.h"

#include "sim/cardmodule/cardset/Hex.h"
#include "sim/cardmodule/cardset/OpenSsl.h"

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>

namespace QuendrySim
{
namespace
{
using KeyPtr = OpenSslPtr<EVP_PKEY>;
using CertificatePtr = OpenSslPtr<X509>;

struct KeySpec
{
    KeyType type;
    int rsaBits;
    const char* curve;
};
constexpr KeySpec kRsa1536{KeyType::Rsa, 1536, nullptr};
constexpr KeySpec kRsa2048{KeyType::Rsa, 2048, nullptr};
constexpr KeySpec kEc192{KeyType::Ec, 0, "P-192"};
constexpr KeySpec kEc256{KeyType::Ec, 0, "P-256"};

struct CardSpec
{
    const char* model;
    const char* label;
    KeySpec encryptionKey;
    KeySpec signatureKey;
    bool container;
    const char* holder;
    const char* atr;
};

// Rows by card type 0 to 8.
const CardSpec kCards[] = {
    {"ACOS EMV-A03", "Quendry Tavrel ACOS 03", kRsa1536, kEc192, false, "Lena Hofbauer",
     "3BBE9600004103000000000000000000029000"},
    {"ACOS EMV-A04", "Quendry Tavrel ACOS 04", kRsa1536, kEc256, true, "J\xC3\xB6rg Wei\xC3\x9F",
     "3BBE9600004104000000000000000000029000"},
    {"ACOS EMV-A05", "Quendry Tavrel ACOS 05", kRsa1536, kEc256, true, "Mira Tanzer",
     "3BBE9600004105000000000000000000029000"},
    {"Starcos SPK 3.1", "Quendry Tavrel e-Card G2", kEc192, kEc192, false, "Paul Ecker",
     "3BBD18008131FE45805102670414B10101020081053D"},
    {"Starcos SPK 3.4", "Quendry Tavrel e-Card G3A", kRsa1536, kEc256, false, "Sophie Lindner",
     "3BDD96FF81B1FE451F038031B052020364041BB42281059E"},
    {"Starcos SPK 3.4+", "Quendry Tavrel e-Card G3B", kRsa1536, kEc256, true, "Tobias Rainer",
     "3BDD96FF81B1FE451F038031B052020364041BB42281059F"},
    {"ATOS 5.3", "Quendry Tavrel e-Card G4", kRsa2048, kEc256, true,
     "Eva Gr\xC3\xBC"
     "ber",
     "3BD518FF8191FE1FC38073C8211308"},
    {"CardOS 5.3", "Quendry Tavrel CardOS 5.3", kRsa2048, kEc256, true, "Karl Moser",
     "3BD218008131FE58C90316"},
    {"ACOS-ID", "Quendry Tavrel ACOS-ID", kRsa2048, kEc256, true, "Nora Aigner",
     "3BBF96008131FE5D0064041100000000000000000000000000"},
};
constexpr int kCardTypes = sizeof kCards / sizeof kCards[0];

ByteVector RandomBytes(size_t count)
{
    ByteVector bytes(count);
    RAND_bytes(bytes.data(), static_cast<int>(count));
    return bytes;
}

KeyPtr NewKey(const KeySpec& profile)
{
    if (profile.type == KeyType::Rsa)
        return KeyPtr(EVP_RSA_gen(static_cast<unsigned>(profile.rsaBits)));
    return KeyPtr(EVP_EC_gen(profile.curve));
}

bool AddNameEntry(X509_NAME* name, const char* field, const std::string& text)
{
    return X509_NAME_add_entry_by_txt(name, field, MBSTRING_UTF8,
                                      reinterpret_cast<const unsigned char*>(text.c_str()), -1, -1,
                                      0) == 1;
}

bool SetRandomSerial(X509* certificate)
{
    OpenSslPtr<BIGNUM> serial(BN_new());
    return serial && BN_rand(serial.get(), 64, BN_RAND_TOP_ONE, BN_RAND_BOTTOM_ANY) &&
           BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate));
}

bool AddExtension(X509* certificate, int nid, const char* value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    std::unique_ptr<X509_EXTENSION, decltype(&X509_EXTENSION_free)> extension(
        X509V3_EXT_conf_nid(nullptr, &context, nid, value), X509_EXTENSION_free);
    return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

// Without these a verifier does not take the certificate as a CA for the card certificates.
bool AddCaExtensions(X509* certificate)
{
    return AddExtension(certificate, NID_basic_constraints, "critical,CA:TRUE") &&
           AddExtension(certificate, NID_key_usage, "critical,keyCertSign,cRLSign") &&
           AddExtension(certificate, NID_subject_key_identifier, "hash");
}

// A certificate without an issuer is the self-signed CA.
CertificatePtr Issue(EVP_PKEY* subjectKey, const std::string& commonName, X509* issuer,
                     EVP_PKEY* issuerKey, const EVP_MD* digest)
{
    CertificatePtr certificate(X509_new());
    OpenSslPtr<X509_NAME> subject(X509_NAME_new());
    if (!certificate || !subject || !X509_set_version(certificate.get(), 2) ||
        !SetRandomSerial(certificate.get()) || !AddNameEntry(subject.get(), "C", "AT") ||
        !AddNameEntry(subject.get(), "O", "Quendry Test") ||
        !AddNameEntry(subject.get(), "CN", commonName) ||
        !X509_set_subject_name(certificate.get(), subject.get()) ||
        !X509_set_issuer_name(certificate.get(),
                              issuer ? X509_get_subject_name(issuer) : subject.get()) ||
        !X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -24 * 3600) ||
        !X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 5L * 365 * 24 * 3600) ||
        !X509_set_pubkey(certificate.get(), subjectKey) ||
        (!issuer && !AddCaExtensions(certificate.get())) ||
        X509_sign(certificate.get(), issuerKey, digest) <= 0)
        return nullptr;
    return certificate;
}

ByteVector PrivateKeyDer(EVP_PKEY* key)
{
    OpenSslPtr<PKCS8_PRIV_KEY_INFO> info(EVP_PKEY2PKCS8(key));
    if (!info)
        return {};
    return Encoded([&](unsigned char** p) { return i2d_PKCS8_PRIV_KEY_INFO(info.get(), p); });
}

ByteVector Tlv(unsigned char tag, const ByteVector& content)
{
    ByteVector out{tag};
    const size_t n = content.size();
    if (n < 0x80)
        out.push_back(static_cast<unsigned char>(n));
    else if (n < 0x100)
        out.insert(out.end(), {0x81, static_cast<unsigned char>(n)});
    else
        out.insert(out.end(), {0x82, static_cast<unsigned char>(n >> 8),
                               static_cast<unsigned char>(n & 0xFF)});
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

ByteVector Utf8(const std::string& text)
{
    return Tlv(0x0C, ByteVector(text.begin(), text.end()));
}

ByteVector Concat(std::initializer_list<ByteVector> parts)
{
    ByteVector out;
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

std::pair<std::string, std::string> SplitName(const std::string& holder)
{
    size_t blank = holder.find(' ');
    return {holder.substr(0, blank), holder.substr(blank + 1)};
}

// The compact identity-link record: header texts, the person data, then the bound data.
ByteVector IdentityLink(const std::string& holder, int cardType)
{
    auto [given, family] = SplitName(holder);
    char birth[40];
    std::snprintf(birth, sizeof birth, "19%02d-0%d-1%d", 60 + cardType * 3, 1 + cardType % 9,
                  cardType % 10);
    ByteVector person =
        Tlv(0x30, Concat({Utf8("urn:quendry:zmr:00" + std::to_string(4711000 + cardType)),
                          Utf8(given), Utf8(family), Utf8(birth)}));
    ByteVector bits = Concat({{0x00}, RandomBytes(64)});
    return Tlv(0x30,
               Concat({Tlv(0x02, {0x01}), Utf8("http://idl.quendry.example/template/1"),
                       Utf8("urn:quendry:idl:compact"), Utf8("2024-03-01T10:00:00+01:00"),
                       Tlv(0xA0, person), Tlv(0x30, Tlv(0x04, RandomBytes(20))), Tlv(0x03, bits)}));
}

CardObject DataObject(const std::string& label, ByteVector value, const std::string& linked)
{
    CardObject object;
    object.objectClass = ObjectClass::Data;
    object.label = label;
    object.value = std::move(value);
    object.linked = linked;
    return object;
}

struct KeyPair
{
    KeyPtr key;
    CertificatePtr certificate;
};

void AddKeyObjects(Card& card, const std::string& suffix, unsigned char id, KeyType type,
                   const KeyPair& pair, const std::string& pin)
{
    CardObject certificate;
    certificate.objectClass = ObjectClass::Certificate;
    certificate.label = "C.CH." + suffix;
    certificate.id = {id};
    certificate.value =
        Encoded([&](unsigned char** p) { return i2d_X509(pair.certificate.get(), p); });
    CardObject privateKey;
    privateKey.objectClass = ObjectClass::PrivateKey;
    privateKey.label = "SK.CH." + suffix;
    privateKey.id = {id};
    privateKey.isPrivate = true;
    privateKey.keyType = type;
    privateKey.key = PrivateKeyDer(pair.key.get());
    privateKey.pin = pin;
    CardObject publicKey;
    publicKey.objectClass = ObjectClass::PublicKey;
    publicKey.label = "PK.CH." + suffix;
    publicKey.id = {id};
    publicKey.keyType = type;
    publicKey.key = Encoded([&](unsigned char** p) { return i2d_PUBKEY(pair.key.get(), p); });
    card.objects.push_back(std::move(certificate));
    card.objects.push_back(std::move(privateKey));
    card.objects.push_back(std::move(publicKey));
}

void AddInfoboxObjects(Card& card, int cardType, bool container)
{
    const CardSpec& profile = kCards[cardType];
    ByteVector link = IdentityLink(profile.holder, cardType);
    const char* fixedLabels[] = {"PERSONENBINDUNG", "RFU1", "RFU2"};
    const char* entryLabels[] = {"0x01", "0x02", "0x03"};
    for (int i = 0; i < 3; ++i)
        card.objects.push_back(DataObject(fixedLabels[i], i == 0 ? link : ByteVector{},
                                          container ? entryLabels[i] : ""));
    CardObject& identityLink = *card.FindObject("PERSONENBINDUNG");
    identityLink.writePin = card.loginPin;
    if (cardType == 0)
        identityLink.pin = "INFOBOX";
    if (!container)
        return;
    card.objects.push_back(
        DataObject("INFOBOX", {0x41, 0x49, 0x4B, 0x01, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0}, ""));
    for (int i = 0; i < 3; ++i)
        card.objects.push_back(
            DataObject(entryLabels[i], i == 0 ? link : ByteVector{}, fixedLabels[i]));
}

Pin MakePin(const char* value, const char* puk, int length)
{
    Pin pin;
    pin.value = value;
    pin.puk = puk;
    pin.minLength = pin.maxLength = length;
    return pin;
}

ByteVector SerialBytes(const std::string& serial)
{
    ByteVector bytes;
    for (size_t i = 0; i + 1 < serial.size(); i += 2)
        bytes.push_back(static_cast<unsigned char>((serial[i] - '0') << 4 | (serial[i + 1] - '0')));
    return bytes;
}

// The CardOS applications: the version record, the signature application DF01 with the
// holder's and the CA's certificate, the encryption application DF02 with its certificate.
void AddCardOsFiles(Card& card, const ByteVector& caCertificate)
{
    card.files.push_back({"3F00/0032", 0, true, {}, {{0x05, 0x03, 0x00, 0x01}}});
    card.files.push_back({"3F00/DF01/C000", 0, false, card.FindObject("C.CH.SIG")->value, {}});
    card.files.push_back({"3F00/DF01/C608", 0, false, caCertificate, {}});
    card.files.push_back({"3F00/DF02/2F01", 0, false, card.FindObject("C.CH.EKEY")->value, {}});
}

// The card identifier file and the chip identifier where each chip family keeps them.
void AddFiles(Card& card, int cardType, const ByteVector& caCertificate)
{
    const bool cardOs = cardType == 7;
    card.files.push_back({cardOs ? "3F00/D001" : "3F00/DF71/D001",
                          cardOs ? 1 : 0,
                          false,
                          SerialBytes(card.serial),
                          {}});
    ByteVector chipId = RandomBytes(8);
    if (cardType <= 2)
        card.chipId = chipId;
    if (cardOs)
    {
        AddCardOsFiles(card, caCertificate);
        card.files.push_back({"3F00/2F02", 0, false, Concat({{0x5A, 0x0A}, RandomBytes(10)}), {}});
    }
    if (cardType >= 4 && cardType <= 6)
        card.files.push_back(
            {"3F00/D002", 2, false, Concat({{0x5A, 0x0A, 0x00, 0x40}, chipId}), {}});
}

bool MakeCard(int cardType, X509* caCertificate, EVP_PKEY* caKey, Card& card)
{
    const CardSpec& profile = kCards[cardType];
    char serial[40];
    std::snprintf(serial, sizeof serial, "4711%08d%04d", 20240000 + 11 * cardType,
                  1000 + 7 * cardType); // 16 digits for the card types 0 to 8
    card.cardType = cardType;
    card.label = profile.label;
    card.manufacturer = "Quendry";
    card.model = profile.model;
    card.serial = serial;
    if (!FromHex(profile.atr, card.atr))
        return false;
    card.pins["SIG"] = MakePin("123456", "12345678", 6);
    card.pins["ENC"] = MakePin("1234", "87654321", 4);
    if (cardType == 0)
        card.pins["INFOBOX"] = MakePin("4321", "11223344", 4);
    card.loginPin = cardType == 0 ? "INFOBOX" : "ENC";
    const EVP_MD* digest = cardType == 0 || cardType == 3 ? EVP_sha1() : EVP_sha256();
    const std::pair<const char*, KeySpec> keys[] = {{"SIG", profile.signatureKey},
                                                    {"EKEY", profile.encryptionKey}};
    unsigned char id = 0;
    for (const auto& [suffix, keySpec] : keys)
    {
        ++id;
        KeyPair pair;
        pair.key = NewKey(keySpec);
        if (!pair.key)
            return false;
        pair.certificate = Issue(pair.key.get(), profile.holder, caCertificate, caKey, digest);
        if (!pair.certificate)
            return false;
        AddKeyObjects(card, suffix, id, keySpec.type, pair, id == 1 ? "SIG" : "ENC");
    }
    AddInfoboxObjects(card, cardType, profile.container);
    AddFiles(card, cardType,
             Encoded([&](unsigned char** p) { return i2d_X509(caCertificate, p); }));
    return true;
}
} // namespace

bool GenerateCardSet(CardSet& out, GeneratedCa& ca)
{
    KeyPtr caKey(EVP_RSA_gen(2048));
    if (!caKey)
        return false;
    CertificatePtr caCertificate =
        Issue(caKey.get(), "Quendry Test CA", nullptr, caKey.get(), EVP_sha256());
    if (!caCertificate)
        return false;
    CardSet set;
    for (int type = 0; type < kCardTypes; ++type)
    {
        Slot slot;
        slot.id = static_cast<Code>(type + 1);
        slot.description = "Quendry Sim Reader " + std::to_string(type + 1);
        slot.card.emplace();
        if (!MakeCard(type, caCertificate.get(), caKey.get(), *slot.card))
            return false;
        set.slots.push_back(std::move(slot));
    }
    set.slots.push_back({static_cast<Code>(kCardTypes + 1),
                         "Quendry Sim Reader " + std::to_string(kCardTypes + 1), true,
                         std::nullopt});
    ca.certificate = Encoded([&](unsigned char** p) { return i2d_X509(caCertificate.get(), p); });
    out = std::move(set);
    return true;
}
} // namespace QuendrySim
