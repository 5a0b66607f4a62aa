// The standard's rules as the simulated module follows them, and the cards it offers.

#include "ModuleHarness.h"

#include "sim/cardmodule/module/Pkcs11Extra.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using QuendrySim::DialogAnswer;
using QuendrySim::SimEnvironment;
using SimTest::LoadedModule;
using SimTest::SlotOfType;

namespace
{
class SimStandard : public SimTest::ModuleTest
{
protected:
    CK_ULONG UlongValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type)
    {
        std::vector<unsigned char> value = module.Value(session, object, type);
        CK_ULONG number = 0;
        EXPECT_EQ(sizeof number, value.size());
        if (value.size() == sizeof number)
            std::memcpy(&number, value.data(), sizeof number);
        return number;
    }
};
} // namespace

TEST(SimStandardLifecycle, InitialisationRules)
{
    SimEnvironment env;
    ASSERT_TRUE(env.Ready());
    LoadedModule module;
    ASSERT_TRUE(module.Load());
    CK_ULONG count = 0;
    EXPECT_EQ(CKR_CRYPTOKI_NOT_INITIALIZED, module.F().C_GetSlotList(CK_TRUE, nullptr, &count));
    EXPECT_EQ(CKR_CRYPTOKI_NOT_INITIALIZED, module.Finalize());
    ASSERT_EQ(CKR_OK, module.Initialize());
    EXPECT_EQ(CKR_CRYPTOKI_ALREADY_INITIALIZED, module.Initialize());
    CK_INFO info{};
    EXPECT_EQ(CKR_OK, module.F().C_GetInfo(&info));
    EXPECT_EQ(CKR_OK, module.Finalize());
    EXPECT_EQ(CKR_CRYPTOKI_NOT_INITIALIZED, module.F().C_GetInfo(&info));
}

TEST_F(SimStandard, SlotListCountsAndBufferTooSmall)
{
    CK_ULONG present = 0, all = 0;
    ASSERT_EQ(CKR_OK, module.F().C_GetSlotList(CK_TRUE, nullptr, &present));
    ASSERT_EQ(CKR_OK, module.F().C_GetSlotList(CK_FALSE, nullptr, &all));
    EXPECT_EQ(9u, present);
    EXPECT_EQ(10u, all);
    CK_SLOT_ID ids[9] = {};
    CK_ULONG room = 3;
    EXPECT_EQ(CKR_BUFFER_TOO_SMALL, module.F().C_GetSlotList(CK_TRUE, ids, &room));
    EXPECT_EQ(9u, room);
    ASSERT_EQ(CKR_OK, module.F().C_GetSlotList(CK_TRUE, ids, &room));
    for (int type = 0; type < 9; ++type)
        EXPECT_EQ(SlotOfType(type), ids[type]);
    CK_SLOT_INFO slot{};
    ASSERT_EQ(CKR_OK, module.F().C_GetSlotInfo(SimTest::kEmptySlot, &slot));
    EXPECT_EQ(CKF_REMOVABLE_DEVICE, slot.flags & (CKF_REMOVABLE_DEVICE | CKF_TOKEN_PRESENT));
    CK_TOKEN_INFO token{};
    EXPECT_EQ(CKR_TOKEN_NOT_PRESENT, module.F().C_GetTokenInfo(SimTest::kEmptySlot, &token));
    EXPECT_EQ(CKR_SLOT_ID_INVALID, module.F().C_GetTokenInfo(99, &token));
}

TEST_F(SimStandard, KeysOfEveryCardType)
{
    struct Keys
    {
        CK_KEY_TYPE encryption;
        CK_ULONG encryptionBits;
        size_t signatureBytes;
    } const expected[] = {{CKK_RSA, 1536, 48}, {CKK_RSA, 1536, 64}, {CKK_RSA, 1536, 64},
                          {CKK_EC, 0, 48},     {CKK_RSA, 1536, 64}, {CKK_RSA, 1536, 64},
                          {CKK_RSA, 2048, 64}, {CKK_RSA, 2048, 64}, {CKK_RSA, 2048, 64}};
    for (int type = 0; type < 9; ++type)
    {
        SCOPED_TRACE(type);
        env.ScriptDialog({DialogAnswer::Enter({"123456"})});
        CK_SESSION_HANDLE session = module.Open(SlotOfType(type));
        CK_OBJECT_HANDLE publicKey = module.Find(session, CKO_PUBLIC_KEY, "PK.CH.EKEY");
        EXPECT_EQ(expected[type].encryption, UlongValue(session, publicKey, CKA_KEY_TYPE));
        if (expected[type].encryption == CKK_RSA)
        {
            EXPECT_EQ(expected[type].encryptionBits,
                      UlongValue(session, publicKey, CKA_MODULUS_BITS));
        }
        CK_OBJECT_HANDLE sigKey = module.Find(session, CKO_PRIVATE_KEY, "SK.CH.SIG");
        EXPECT_EQ(CKK_EC, UlongValue(session, sigKey, CKA_KEY_TYPE));
        std::vector<unsigned char> signature;
        EXPECT_EQ(CKR_OK, module.Sign(session, sigKey, CKM_ECDSA, std::vector<unsigned char>(32, 1),
                                      signature));
        EXPECT_EQ(expected[type].signatureBytes, signature.size());
        module.F().C_CloseSession(session);
    }
}

TEST_F(SimStandard, SignRules)
{
    CK_SESSION_HANDLE session = module.Open(SlotOfType(1));
    CK_OBJECT_HANDLE rsaKey = module.Find(session, CKO_PRIVATE_KEY, "SK.CH.EKEY");
    CK_OBJECT_HANDLE ecKey = module.Find(session, CKO_PRIVATE_KEY, "SK.CH.SIG");
    CK_MECHANISM ecdsa{CKM_ECDSA, nullptr, 0}, rsa{CKM_RSA_PKCS, nullptr, 0}, sha{0x40, nullptr, 0};
    CK_BYTE data[20] = {};
    CK_ULONG length = 0;
    EXPECT_EQ(CKR_OPERATION_NOT_INITIALIZED,
              module.F().C_Sign(session, data, 20, nullptr, &length));
    EXPECT_EQ(CKR_KEY_TYPE_INCONSISTENT, module.F().C_SignInit(session, &ecdsa, rsaKey));
    EXPECT_EQ(CKR_MECHANISM_INVALID, module.F().C_SignInit(session, &sha, rsaKey));
    ASSERT_EQ(CKR_OK, module.F().C_SignInit(session, &rsa, rsaKey));
    EXPECT_EQ(CKR_OPERATION_ACTIVE, module.F().C_SignInit(session, &ecdsa, ecKey));
    ASSERT_EQ(CKR_OK, module.F().C_Sign(session, data, 20, nullptr, &length));
    EXPECT_EQ(192u, length);
    std::vector<CK_BYTE> small(100);
    length = 100;
    EXPECT_EQ(CKR_BUFFER_TOO_SMALL, module.F().C_Sign(session, data, 20, small.data(), &length));
    EXPECT_EQ(192u, length) << "the operation stays active after a length answer";
    std::vector<CK_BYTE> tooLong(190, 1), signature(192);
    EXPECT_EQ(CKR_FUNCTION_CANCELED,
              module.F().C_Sign(session, tooLong.data(), 190, signature.data(), &length));
    EXPECT_EQ(CKR_OPERATION_NOT_INITIALIZED,
              module.F().C_Sign(session, data, 20, signature.data(), &length));
    env.ScriptDialog({DialogAnswer::Enter({"1234"})});
    ASSERT_EQ(CKR_OK, module.F().C_SignInit(session, &rsa, rsaKey));
    EXPECT_EQ(CKR_DATA_LEN_RANGE,
              module.F().C_Sign(session, tooLong.data(), 190, signature.data(), &length));
}

// What the module does not perform fails, and a failed multi-part step ends the operation it
// belongs to, so that the next init works.
TEST_F(SimStandard, UnsupportedStepsEndTheOperationAndNoKeyAdvertisesThem)
{
    using PartFn = CK_RV (*)(CK_SESSION_HANDLE, CK_BYTE*, CK_ULONG);
    using FinalFn = CK_RV (*)(CK_SESSION_HANDLE, CK_BYTE*, CK_ULONG*);
    CK_SESSION_HANDLE session = module.Open(SlotOfType(1));
    CK_OBJECT_HANDLE privateKey = module.Find(session, CKO_PRIVATE_KEY, "SK.CH.EKEY");
    CK_OBJECT_HANDLE publicKey = module.Find(session, CKO_PUBLIC_KEY, "PK.CH.EKEY");
    CK_MECHANISM rsa{CKM_RSA_PKCS, nullptr, 0};
    CK_BYTE data[20] = {};
    CK_ULONG length = sizeof data;
    const CK_FUNCTION_LIST& f = module.F();
    const struct
    {
        const char* name;
        std::function<CK_RV()> init;
        std::function<CK_RV()> step;
    } cases[] = {
        {"SignUpdate", [&] { return f.C_SignInit(session, &rsa, privateKey); },
         [&] { return reinterpret_cast<PartFn>(f.C_SignUpdate)(session, data, length); }},
        {"SignFinal", [&] { return f.C_SignInit(session, &rsa, privateKey); },
         [&] { return reinterpret_cast<FinalFn>(f.C_SignFinal)(session, data, &length); }},
        {"VerifyUpdate", [&] { return f.C_VerifyInit(session, &rsa, publicKey); },
         [&] { return reinterpret_cast<PartFn>(f.C_VerifyUpdate)(session, data, length); }},
        {"VerifyFinal", [&] { return f.C_VerifyInit(session, &rsa, publicKey); },
         [&] { return reinterpret_cast<PartFn>(f.C_VerifyFinal)(session, data, length); }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CKR_OPERATION_NOT_INITIALIZED, c.step());
        ASSERT_EQ(CKR_OK, c.init());
        EXPECT_EQ(CKR_FUNCTION_NOT_SUPPORTED, c.step());
        EXPECT_EQ(CKR_OK, c.init()) << "the failed step left the operation active";
        EXPECT_EQ(CKR_FUNCTION_NOT_SUPPORTED, c.step());
    }

    constexpr CK_RV kRandomNoRng = 0x121;
    EXPECT_EQ(kRandomNoRng, reinterpret_cast<PartFn>(f.C_GenerateRandom)(session, data, length));
    EXPECT_EQ(CKR_SESSION_HANDLE_INVALID,
              reinterpret_cast<PartFn>(f.C_GenerateRandom)(session + 1000, data, length));

    for (CK_OBJECT_HANDLE key : {privateKey, publicKey})
        for (CK_ATTRIBUTE_TYPE type :
             {CKA_DECRYPT, CKA_ENCRYPT, CK_ATTRIBUTE_TYPE(0x106), CK_ATTRIBUTE_TYPE(0x107),
              CK_ATTRIBUTE_TYPE(0x109), CK_ATTRIBUTE_TYPE(0x10B), CK_ATTRIBUTE_TYPE(0x10C)})
            EXPECT_EQ(std::vector<unsigned char>{0}, module.Value(session, key, type))
                << std::hex << type;
    EXPECT_EQ(std::vector<unsigned char>{1}, module.Value(session, privateKey, CKA_SIGN));
    EXPECT_EQ(std::vector<unsigned char>{1}, module.Value(session, publicKey, CKA_VERIFY));
    f.C_CloseSession(session);
}

TEST_F(SimStandard, SessionsAndFindState)
{
    CK_SESSION_HANDLE none = 0;
    EXPECT_EQ(CKR_SESSION_PARALLEL_NOT_SUPPORTED,
              module.F().C_OpenSession(SlotOfType(0), CKF_RW_SESSION, nullptr, nullptr, &none));
    EXPECT_EQ(
        CKR_TOKEN_NOT_PRESENT,
        module.F().C_OpenSession(SimTest::kEmptySlot, CKF_SERIAL_SESSION, nullptr, nullptr, &none));
    CK_SESSION_HANDLE session = module.Open(SlotOfType(0));
    CK_SESSION_INFO info{};
    ASSERT_EQ(CKR_OK, module.F().C_GetSessionInfo(session, &info));
    EXPECT_EQ(SlotOfType(0), info.slotID);
    EXPECT_EQ(CKS_RO_PUBLIC_SESSION, info.state);
    CK_OBJECT_CLASS privateKey = CKO_PRIVATE_KEY;
    CK_ATTRIBUTE byClass{CKA_CLASS, &privateKey, sizeof privateKey};
    EXPECT_EQ(CKR_OPERATION_NOT_INITIALIZED, module.F().C_FindObjectsFinal(session));
    ASSERT_EQ(CKR_OK, module.F().C_FindObjectsInit(session, &byClass, 1));
    EXPECT_EQ(CKR_OPERATION_ACTIVE, module.F().C_FindObjectsInit(session, &byClass, 1));
    CK_OBJECT_HANDLE found[4] = {};
    CK_ULONG count = 0;
    ASSERT_EQ(CKR_OK, module.F().C_FindObjects(session, found, 1, &count));
    EXPECT_EQ(1u, count);
    ASSERT_EQ(CKR_OK, module.F().C_FindObjects(session, found + 1, 3, &count));
    EXPECT_EQ(1u, count) << "two private keys in all";
    EXPECT_EQ(CKR_OK, module.F().C_FindObjectsFinal(session));
    EXPECT_EQ(0u, module.Find(session, CKO_PRIVATE_KEY, "SK.CH")) << "labels match exactly";
    EXPECT_EQ(0u, module.Find(session, CKO_PUBLIC_KEY, "SK.CH.SIG"));
    EXPECT_NE(0u, module.Find(session, CKO_PRIVATE_KEY, "SK.CH.SIG")) << "found without login";
    EXPECT_EQ(CKR_OK, module.F().C_CloseSession(session));
    EXPECT_EQ(CKR_SESSION_HANDLE_INVALID, module.F().C_GetSessionInfo(session, &info));
    EXPECT_EQ(CKR_SESSION_HANDLE_INVALID, module.F().C_CloseSession(session));
    EXPECT_EQ(CKR_SESSION_HANDLE_INVALID, module.F().C_GetSessionInfo(0, &info));
}

TEST_F(SimStandard, AttributeReadingRules)
{
    CK_SESSION_HANDLE session = module.Open(SlotOfType(8));
    CK_OBJECT_HANDLE key = module.Find(session, CKO_PRIVATE_KEY, "SK.CH.EKEY");
    CK_OBJECT_HANDLE cert = module.Find(session, CKO_CERTIFICATE, "C.CH.SIG");
    CK_BYTE label[4];
    CK_BYTE value[8];
    CK_ATTRIBUTE small[] = {{CKA_LABEL, label, sizeof label}};
    EXPECT_EQ(CKR_BUFFER_TOO_SMALL, module.F().C_GetAttributeValue(session, cert, small, 1));
    EXPECT_EQ(CK_UNAVAILABLE_INFORMATION, small[0].ulValueLen);
    CK_ATTRIBUTE secret[] = {{CKA_VALUE, value, sizeof value}, {CKA_LABEL, nullptr, 0}};
    EXPECT_EQ(QuendrySim::kRvAttributeSensitive,
              module.F().C_GetAttributeValue(session, key, secret, 2));
    EXPECT_EQ(CK_UNAVAILABLE_INFORMATION, secret[0].ulValueLen);
    EXPECT_EQ(10u, secret[1].ulValueLen) << "the other attributes are still answered";
    CK_ATTRIBUTE unknown[] = {{0x7777, value, sizeof value}};
    EXPECT_EQ(CKR_ATTRIBUTE_TYPE_INVALID,
              module.F().C_GetAttributeValue(session, cert, unknown, 1));
    EXPECT_EQ(CKR_OBJECT_HANDLE_INVALID, module.F().C_GetAttributeValue(session, 999, small, 1));
    EXPECT_EQ(2048u, UlongValue(session, module.Find(session, CKO_PUBLIC_KEY, "PK.CH.EKEY"),
                                CKA_MODULUS_BITS));
    EXPECT_EQ(std::vector<unsigned char>{1}, module.Value(session, key, CKA_PRIVATE));
}

TEST_F(SimStandard, RawAttributesOverrideWhatTheModuleDerives)
{
    auto set = env.Load();
    QuendrySim::CardObject& key = *set.slots[8].card->FindObject("PK.CH.EKEY");
    key.attributes[CKA_MODULUS_BITS] = std::nullopt;
    key.attributes[CKA_ID] = ByteVector{0xAB};
    ASSERT_TRUE(env.Save(set));
    CK_SESSION_HANDLE session = module.Open(SlotOfType(8));
    CK_OBJECT_HANDLE handle = module.Find(session, CKO_PUBLIC_KEY, "PK.CH.EKEY");
    CK_BYTE bits[8];
    CK_ATTRIBUTE attribute{CKA_MODULUS_BITS, bits, sizeof bits};
    EXPECT_EQ(CKR_ATTRIBUTE_TYPE_INVALID,
              module.F().C_GetAttributeValue(session, handle, &attribute, 1));
    EXPECT_EQ(std::vector<unsigned char>{0xAB}, module.Value(session, handle, CKA_ID));
}

TEST_F(SimStandard, WritesInReadOnlySessionsAndTheirPins)
{
    CK_SESSION_HANDLE session = module.Open(SlotOfType(5));
    std::vector<unsigned char> link(200, 0x30);
    CK_ATTRIBUTE write{CKA_VALUE, link.data(), static_cast<CK_ULONG>(link.size())};
    CK_OBJECT_HANDLE rfu = module.Find(session, CKO_DATA, "RFU1");
    EXPECT_EQ(CKR_OK, module.F().C_SetAttributeValue(session, rfu, &write, 1));
    CK_OBJECT_HANDLE identity = module.Find(session, CKO_DATA, "PERSONENBINDUNG");
    EXPECT_EQ(CKR_USER_NOT_LOGGED_IN, module.F().C_SetAttributeValue(session, identity, &write, 1));
    env.ScriptDialog({DialogAnswer::Enter({"1234"})});
    ASSERT_EQ(CKR_OK, module.F().C_Login(session, CKU_USER, nullptr, 0));
    EXPECT_EQ(CKR_OK, module.F().C_SetAttributeValue(session, identity, &write, 1));
    CK_OBJECT_HANDLE privateKey = module.Find(session, CKO_PRIVATE_KEY, "SK.CH.SIG");
    EXPECT_EQ(CKR_ATTRIBUTE_READ_ONLY,
              module.F().C_SetAttributeValue(session, privateKey, &write, 1));
    auto set = env.Load();
    QuendrySim::Card& card = *set.slots[5].card;
    EXPECT_EQ(link, card.FindObject("RFU1")->value);
    EXPECT_EQ(link, card.FindObject("0x02")->value) << "linked";
    EXPECT_EQ(link, card.FindObject("0x01")->value) << "linked";
}

TEST_F(SimStandard, PrivateEntryUpdatesTheContainerAndAsksForItsPin)
{
    CK_SESSION_HANDLE session = module.Open(SlotOfType(1));
    CK_OBJECT_HANDLE entry = module.Find(session, CKO_DATA, "0x02");
    CK_BBOOL yes = CK_TRUE;
    CK_ATTRIBUTE makePrivate{CKA_PRIVATE, &yes, 1};
    ASSERT_EQ(CKR_OK, module.F().C_SetAttributeValue(session, entry, &makePrivate, 1));
    CK_OBJECT_HANDLE container = module.Find(session, CKO_DATA, "INFOBOX");
    EXPECT_EQ("41494B0101000000020100000300000000",
              SimTest::Hex(module.Value(session, container, CKA_VALUE)));
    CK_BYTE buffer[64];
    CK_ATTRIBUTE read{CKA_VALUE, buffer, sizeof buffer};
    EXPECT_EQ(CKR_FUNCTION_CANCELED, module.F().C_GetAttributeValue(session, entry, &read, 1))
        << "the empty dialog queue cancels";
    env.ScriptDialog({DialogAnswer::Enter({"1234"})});
    read.ulValueLen = sizeof buffer;
    EXPECT_EQ(CKR_OK, module.F().C_GetAttributeValue(session, entry, &read, 1));
    CK_BBOOL no = CK_FALSE;
    CK_ATTRIBUTE makePublic{CKA_PRIVATE, &no, 1};
    ASSERT_EQ(CKR_OK, module.F().C_SetAttributeValue(session, entry, &makePublic, 1));
    EXPECT_EQ("41494B0101000000020000000300000000",
              SimTest::Hex(module.Value(session, container, CKA_VALUE)));
}

TEST_F(SimStandard, AnEntryWrittenFirstIsListedInTheContainerOnce)
{
    CK_SESSION_HANDLE session = module.Open(SlotOfType(5));
    const auto write = [&](const char* label, std::vector<unsigned char> value)
    {
        CK_ATTRIBUTE attribute{CKA_VALUE, value.data(), static_cast<CK_ULONG>(value.size())};
        return module.F().C_SetAttributeValue(session, module.Find(session, CKO_DATA, label),
                                              &attribute, 1);
    };
    ASSERT_EQ(CKR_OK, write("INFOBOX", {0x41, 0x49, 0x4B, 0x01, 0x00}));
    for (int time = 0; time < 2; ++time)
        ASSERT_EQ(CKR_OK, write("RFU1", {0x30, 0x00}));
    CK_OBJECT_HANDLE container = module.Find(session, CKO_DATA, "INFOBOX");
    EXPECT_EQ("41494B010200000000", SimTest::Hex(module.Value(session, container, CKA_VALUE)));
}
