// The wrapper's standard calls against SoftHSM2, a PKCS#11 module nobody here wrote. Two things
// differ from the card maker's module: SoftHSM2's slots are not removable devices, so the card
// list leaves them out (the tests go through a shim that only adds that flag), and private keys
// show only after C_Login with the user PIN (there is no PIN dialog), so the tests log in through
// the bound function table before they use private keys.
#include "TestCrypto.h"
#include "tests/platform/ScopedTempFolder.h"
#include "token/acPKCS11.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace Corvane;
using namespace tokentest;

namespace
{
const char* kSoftHsm = "/usr/lib/softhsm/libsofthsm2.so";
const std::string kUserPin = "123456";
const std::string kTokenLabel = "Quendry HSM Card";

std::string Quoted(const std::string& text)
{
    return "'" + text + "'";
}

class SoftHsmToken
{
public:
    bool Create()
    {
        WriteTextFile(File("softhsm2.conf"),
                      "directories.tokendir = " + folder.Path().string() +
                          "\nobjectstore.backend = file\nlog.level = ERROR\n");
        setenv("SOFTHSM2_CONF", File("softhsm2.conf").c_str(), 1);
        return Run("softhsm2-util --init-token --free --label " + Quoted(kTokenLabel) +
                   " --so-pin 12345678 --pin " + kUserPin + " >/dev/null") &&
               MakeKeyPair("sig", "rsa", "01", "SIG") && MakeKeyPair("enc", "ec", "02", "EKEY") &&
               MakeDataObject();
    }
    std::string File(const std::string& name) const { return folder.File(name); }

private:
    bool MakeKeyPair(const std::string& name, const std::string& type, const std::string& id,
                     const std::string& suffix)
    {
        const std::string algorithm = type == "rsa"
                                          ? "-algorithm RSA -pkeyopt rsa_keygen_bits:2048"
                                          : "-algorithm EC -pkeyopt ec_paramgen_curve:P-256";
        const std::string key = File(name + ".key.der");
        return Run("openssl genpkey " + algorithm + " -outform DER -out " + key + " 2>/dev/null") &&
               Run("openssl pkey -inform DER -in " + key + " -pubout -outform DER -out " +
                   File(name + ".pub.der")) &&
               Run("openssl req -x509 -new -key " + key + " -keyform DER -subj '/CN=HSM " + name +
                   "' -days 30 -outform DER -out " + File(name + ".crt.der")) &&
               Write(key, "privkey", "SK.CH." + suffix, id) &&
               Write(File(name + ".pub.der"), "pubkey", "PK.CH." + suffix, id) &&
               Write(File(name + ".crt.der"), "cert", "C.CH." + suffix, id);
    }

    bool MakeDataObject()
    {
        WriteTextFile(File("link.der"), std::string("\x30\x03\x02\x01\x01", 5));
        return Write(File("link.der"), "data", "PERSONENBINDUNG", "");
    }

    bool Write(const std::string& file, const std::string& type, const std::string& label,
               const std::string& id)
    {
        return Run(std::string("pkcs11-tool --module ") + kSoftHsm + " --login --pin " + kUserPin +
                   " --write-object " + file + " --type " + type + " --label " + label +
                   (id.empty() ? "" : " --id " + id) + " >/dev/null 2>&1");
    }

    ScopedTempFolder folder;
};

class SoftHsmPeer : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        token = new SoftHsmToken();
        created = token->Create();
        acPKCS11::SetModuleFile(QUENDRY_SOFTHSM_SHIM);
    }
    static void TearDownTestSuite()
    {
        acPKCS11::SetModuleFile("");
        delete token;
        token = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(created) << "SoftHSM2 token could not be made";
        wrapper = std::make_unique<acPKCS11>();
        ASSERT_TRUE(wrapper->GetSlots(slots, true));
        for (size_t i = 0; i < slots.size(); ++i)
        {
            if (slots[i]->tokenLabel.compare(0, kTokenLabel.size(), kTokenLabel) == 0)
                index = static_cast<int>(i);
        }
        ASSERT_GE(index, 0) << "token not in the slot list";
    }
    void TearDown() override
    {
        if (wrapper)
            wrapper->Destroy();
    }

    void OpenLoggedIn()
    {
        ASSERT_TRUE(wrapper->OpenSession(index));
        std::string pin = kUserPin;
        ASSERT_EQ(acPKCS11::Functions().C_Login(wrapper->SessionHandle(), CKU_USER,
                                                reinterpret_cast<CK_UTF8CHAR*>(pin.data()),
                                                static_cast<CK_ULONG>(pin.size())),
                  CKR_OK);
    }

    static SoftHsmToken* token;
    static bool created;
    std::unique_ptr<acPKCS11> wrapper;
    std::vector<TokenSlot*> slots;
    int index = -1;
};

SoftHsmToken* SoftHsmPeer::token = nullptr;
bool SoftHsmPeer::created = false;
} // namespace

TEST_F(SoftHsmPeer, SlotListAndTokenTexts)
{
    const TokenSlot slot = *slots[index]; // the next GetSlots frees the entries
    EXPECT_EQ(slot.tokenLabel, kTokenLabel + std::string(32 - kTokenLabel.size(), ' '));
    EXPECT_EQ(slot.tokenSerial.size(), 16u);
    // Unfiltered and filtered lists agree here: the serial is not the empty one.
    std::vector<TokenSlot*> filtered;
    ASSERT_TRUE(wrapper->GetSlots(filtered, false));
    EXPECT_EQ(filtered.size(), slots.size());

    CardInfo info;
    ASSERT_TRUE(wrapper->GetCardInfo(index, info));
    EXPECT_EQ(info.manufacturer, "SoftHSM project" + std::string(17, ' '));
    EXPECT_EQ(info.model, "SoftHSM v2" + std::string(6, ' '));
    EXPECT_EQ(info.serial, slot.tokenSerial);
    EXPECT_EQ(info.cardType, CARD_TYPE_UNKNOWN);
    EXPECT_EQ(wrapper->CurrentSlotIndex(), -1) << "the session GetCardInfo opened stays open";
}

TEST_F(SoftHsmPeer, ReadsBothCertificates)
{
    ASSERT_TRUE(wrapper->OpenSession(index));
    ASSERT_TRUE(wrapper->ReadCertificate(true));
    EXPECT_EQ(wrapper->CertificateBytes(), ReadFileBytes(token->File("sig.crt.der")));
    ASSERT_TRUE(wrapper->ReadCertificate(false));
    EXPECT_EQ(wrapper->CertificateBytes(), ReadFileBytes(token->File("enc.crt.der")));
    wrapper->CloseSession();
}

TEST_F(SoftHsmPeer, SignsAndVerifiesWithRsaAndEc)
{
    struct Case
    {
        std::string name, privateKey, publicKey;
        bool digestInfo;
    };
    const Case cases[] = {{"sig", "SK.CH.SIG", "PK.CH.SIG", true},
                          {"enc", "SK.CH.EKEY", "PK.CH.EKEY", false}};
    OpenLoggedIn();
    const ByteVector message = {'a', 'b', 'c'};
    for (const Case& item : cases)
    {
        const ByteVector input = item.digestInfo ? Sha256DigestInfo(message) : Sha256(message);
        ByteVector signature;
        ASSERT_TRUE(wrapper->Sign(item.privateKey, input, signature)) << item.name;
        const ByteVector certificate = ReadFileBytes(token->File(item.name + ".crt.der"));
        EXPECT_TRUE(VerifyCardSignature(certificate, input, signature)) << item.name;
        EXPECT_TRUE(wrapper->Verify(item.publicKey, signature, input)) << item.name;
        signature[signature.size() / 2] ^= 0x01;
        EXPECT_FALSE(wrapper->Verify(item.publicKey, signature, input)) << item.name;
        EXPECT_FALSE(VerifyCardSignature(certificate, input, signature)) << item.name;
    }
    ByteVector unused;
    EXPECT_FALSE(wrapper->Sign("SK.CH.NONE", ByteVector{1}, unused));
    EXPECT_FALSE(wrapper->Verify("PK.CH", ByteVector{1}, ByteVector{1}));
    wrapper->CloseSession();
}

TEST_F(SoftHsmPeer, FindsTheCardByItsIdentificationNumber)
{
    const std::string serial = slots[index]->tokenSerial;
    EXPECT_EQ(wrapper->FindSlotByCIN(serial.substr(0, 12)), index);
    EXPECT_EQ(wrapper->FindSlotByCIN(serial), index);
    EXPECT_EQ(wrapper->FindSlotByCIN(serial.substr(0, 11)), -1);
    EXPECT_EQ(wrapper->FindSlotByCIN(serial.substr(0, 13)), -1);
}

TEST_F(SoftHsmPeer, IdentityLinkWriteStopsAtTheLogin)
{
    // SoftHSM2 refuses the empty PIN that leaves the PIN entry to the maker's module.
    const ByteVector link = tokentest::IdentityRecord(200);
    std::string message;
    EXPECT_FALSE(
        wrapper->WritePersonenbindung(slots[index]->tokenSerial.substr(0, 12), link, message));
    EXPECT_EQ(message, "Fehler beim Initialisieren des Kartenobjektes. (CLogin)");
    EXPECT_EQ(wrapper->CurrentSlotIndex(), -1);
}

TEST_F(SoftHsmPeer, UnshimmedSlotsAreNotCardReadersAndVendorFunctionsAreAbsent)
{
    wrapper->Destroy();
    acPKCS11::SetModuleFile(kSoftHsm);
    acPKCS11 direct;
    acPKCS11::SetModuleFile(QUENDRY_SOFTHSM_SHIM);
    TokenInfo info;
    ASSERT_TRUE(direct.GetTokenInfo(0, info));
    EXPECT_EQ(info.label.compare(0, kTokenLabel.size(), kTokenLabel), 0);
    std::vector<TokenSlot*> directSlots;
    ASSERT_TRUE(direct.GetSlots(directSlots, true));
    EXPECT_TRUE(directSlots.empty());

    const ModuleFunctions& module = acPKCS11::Functions();
    EXPECT_EQ(module.C_CardTransmit, nullptr);
    EXPECT_EQ(module.C_CardAttribute, nullptr);
    EXPECT_EQ(module.C_Register, nullptr);
    EXPECT_NE(module.C_Sign, nullptr);
    ByteVector response;
    std::string text;
    EXPECT_FALSE(direct.SendAPDU({0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00}, response));
    EXPECT_FALSE(direct.SendAPDUHex("00A4000C023F00", text));
    EXPECT_EQ(direct.GetATR(true), "");
    EXPECT_EQ(direct.Reset(), "");
    EXPECT_EQ(direct.Register(1, nullptr, response), -1);
    EXPECT_FALSE(direct.GetCinCsn(text));
    EXPECT_FALSE(direct.GetChipIdHex(text));
    direct.Destroy();
}

TEST_F(SoftHsmPeer, PinTargetsWithoutVisibleObjectsAreOther)
{
    // Without a login SoftHSM2 shows no private key, so the PIN objects are not found.
    ASSERT_TRUE(wrapper->OpenSession(index));
    EXPECT_EQ(wrapper->ChangePIN(PIN_TARGET_SIGNATURE), PIN_RESULT_OTHER);
    EXPECT_EQ(wrapper->UnblockPIN(PIN_TARGET_ENCRYPTION), PIN_RESULT_OTHER);
    // A public data object is found, and SoftHSM2 rejects the vendor attribute.
    EXPECT_EQ(wrapper->ChangePIN(PIN_TARGET_INFOBOX), PIN_RESULT_OTHER);
    wrapper->CloseSession();
}
