// The simulated PIN dialog and the PIN rules behind the PIN attributes, C_Login and C_Sign.

#include "ModuleHarness.h"

#include <gtest/gtest.h>

using QuendrySim::DialogAnswer;
using QuendrySim::SimEnvironment;
using SimTest::LoadedModule;
using SimTest::SlotOfType;

namespace
{
struct PinOwner
{
    int cardType;
    CK_OBJECT_CLASS objectClass;
    const char* label;
    const char* pinName;
};
const PinOwner kSig1{1, CKO_PRIVATE_KEY, "SK.CH.SIG", "SIG"};
const PinOwner kSig2{2, CKO_PRIVATE_KEY, "SK.CH.SIG", "SIG"};
const PinOwner kSig4{4, CKO_PRIVATE_KEY, "SK.CH.SIG", "SIG"};
const PinOwner kEnc7{7, CKO_PRIVATE_KEY, "SK.CH.EKEY", "ENC"};
const PinOwner kInfobox0{0, CKO_DATA, "PERSONENBINDUNG", "INFOBOX"};
constexpr CK_ATTRIBUTE_TYPE kChange = CKA_QUENDRY_CHANGE_PIN;
constexpr CK_ATTRIBUTE_TYPE kUnblock = CKA_QUENDRY_UNBLOCK_PIN;

std::vector<DialogAnswer> Only(DialogAnswer answer)
{
    return {std::move(answer)};
}
std::vector<DialogAnswer> Enter(std::vector<std::string> texts)
{
    return Only(DialogAnswer::Enter(std::move(texts)));
}

struct PinCase
{
    const char* name;
    PinOwner owner;
    CK_ATTRIBUTE_TYPE attribute;
    int retries, pukRetries; // before
    std::vector<DialogAnswer> answers;
    CK_RV expected;
    const char* valueAfter;
    int retriesAfter, pukRetriesAfter;
    size_t answersLeft;
};

const PinCase kPinCases[] = {
    {"change done", kSig1, kChange, 2, 10, Enter({"123456", "654321"}), CKR_OK, "654321", 3, 10, 0},
    {"change cancelled", kSig1, kChange, 3, 10, Only(DialogAnswer::Cancel()), CKR_FUNCTION_CANCELED,
     "123456", 3, 10, 0},
    {"empty queue is cancelled", kSig1, kChange, 3, 10, std::vector<DialogAnswer>(),
     CKR_FUNCTION_CANCELED, "123456", 3, 10, 0},
    {"change wrong", kSig2, kChange, 3, 10, Enter({"000000", "654321"}), CKR_PIN_INCORRECT,
     "123456", 2, 10, 0},
    {"last try locks", kSig2, kChange, 1, 10, Enter({"000000", "654321"}), CKR_PIN_LOCKED, "123456",
     0, 10, 0},
    {"locked asks nothing", kSig2, kChange, 0, 10, Enter({"123456", "654321"}), CKR_PIN_LOCKED,
     "123456", 0, 10, 1},
    {"dialog fails", kEnc7, kChange, 3, 10, Only(DialogAnswer::Fail()), CKR_FUNCTION_FAILED, "1234",
     3, 10, 0},
    {"dialog answers a code", kEnc7, kChange, 3, 10, Only(DialogAnswer::Answer(CKR_DEVICE_ERROR)),
     CKR_DEVICE_ERROR, "1234", 3, 10, 0},
    {"new PIN too short", kEnc7, kChange, 2, 10, Enter({"1234", "123"}), CKR_PIN_LEN_RANGE, "1234",
     3, 10, 0},
    {"new PIN not digits", kEnc7, kChange, 3, 10, Enter({"1234", "12a4"}), CKR_PIN_INVALID, "1234",
     3, 10, 0},
    {"unblock done", kSig4, kUnblock, 0, 9, Enter({"12345678", "222222"}), CKR_OK, "222222", 3, 10,
     0},
    {"unblock wrong PUK", kSig4, kUnblock, 0, 10, Enter({"11111111", "222222"}), CKR_PIN_INCORRECT,
     "123456", 0, 9, 0},
    {"unblock PUK locked", kSig4, kUnblock, 0, 0, Enter({"12345678", "222222"}), CKR_PIN_LOCKED,
     "123456", 0, 0, 1},
    {"Infobox PIN", kInfobox0, kChange, 3, 10, Enter({"4321", "9876"}), CKR_OK, "9876", 3, 10, 0},
};

void Arrange(const SimEnvironment& env, const PinCase& c)
{
    auto set = env.Load();
    QuendrySim::Pin& pin = set.slots[c.owner.cardType].card->pins.at(c.owner.pinName);
    pin.retries = c.retries;
    pin.pukRetries = c.pukRetries;
    set.dialog = c.answers;
    ASSERT_TRUE(env.Save(set));
}

using SimPinRules = SimTest::ModuleTest;
} // namespace

TEST(SimPinEngine, PinAttributesRunTheDialog)
{
    for (const PinCase& c : kPinCases)
    {
        SCOPED_TRACE(c.name);
        SimEnvironment env;
        ASSERT_TRUE(env.Ready());
        Arrange(env, c);
        LoadedModule module;
        ASSERT_TRUE(module.Load());
        ASSERT_EQ(CKR_OK, module.Initialize());
        CK_SESSION_HANDLE session = module.Open(SlotOfType(c.owner.cardType));
        CK_OBJECT_HANDLE object = module.Find(session, c.owner.objectClass, c.owner.label);
        ASSERT_NE(0u, object);
        EXPECT_EQ(c.expected, module.SetPinAttribute(session, object, c.attribute));
        module.F().C_CloseSession(session);
        module.Finalize();
        const auto set = env.Load();
        const QuendrySim::Pin& pin = set.slots[c.owner.cardType].card->pins.at(c.owner.pinName);
        EXPECT_EQ(c.valueAfter, pin.value);
        EXPECT_EQ(c.retriesAfter, pin.retries);
        EXPECT_EQ(c.pukRetriesAfter, pin.pukRetries);
        EXPECT_EQ(c.answersLeft, set.dialog.size());
    }
}

TEST_F(SimPinRules, PinAttributeNeedsAPinAndTheValueZero)
{
    CK_SESSION_HANDLE session = module.Open(SlotOfType(1));
    CK_OBJECT_HANDLE link = module.Find(session, CKO_DATA, "PERSONENBINDUNG");
    EXPECT_EQ(CKR_ATTRIBUTE_TYPE_INVALID,
              module.SetPinAttribute(session, link, CKA_QUENDRY_CHANGE_PIN))
        << "no Infobox PIN on this card type";
    CK_BYTE one = 1;
    CK_ATTRIBUTE attribute{CKA_QUENDRY_CHANGE_PIN, &one, 1};
    CK_OBJECT_HANDLE key = module.Find(session, CKO_PRIVATE_KEY, "SK.CH.SIG");
    EXPECT_EQ(CKR_ATTRIBUTE_VALUE_INVALID,
              module.F().C_SetAttributeValue(session, key, &attribute, 1));
}

TEST(SimPinEngine, LoginAsksTheDialogForAnEmptyPin)
{
    struct LoginCase
    {
        const char* name;
        std::vector<DialogAnswer> answers;
        std::string pin; // empty: through the dialog
        CK_RV expected;
        int retriesAfter;
    } const cases[] = {
        {"dialog right", {DialogAnswer::Enter({"1234"})}, "", CKR_OK, 3},
        {"dialog cancelled", {}, "", CKR_FUNCTION_CANCELED, 3},
        {"dialog wrong", {DialogAnswer::Enter({"0000"})}, "", CKR_PIN_INCORRECT, 2},
        {"given right", {}, "1234", CKR_OK, 3},
        {"given wrong", {}, "9999", CKR_PIN_INCORRECT, 2},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        SimEnvironment env;
        ASSERT_TRUE(env.Ready());
        env.ScriptDialog(c.answers);
        LoadedModule module;
        ASSERT_TRUE(module.Load());
        ASSERT_EQ(CKR_OK, module.Initialize());
        CK_SESSION_HANDLE session = module.Open(SlotOfType(2));
        auto* pin = reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(c.pin.data()));
        EXPECT_EQ(c.expected, module.F().C_Login(session, CKU_USER, c.pin.empty() ? nullptr : pin,
                                                 static_cast<CK_ULONG>(c.pin.size())));
        CK_SESSION_INFO info{};
        ASSERT_EQ(CKR_OK, module.F().C_GetSessionInfo(session, &info));
        EXPECT_EQ(c.expected == CKR_OK ? CKS_RO_USER_FUNCTIONS : CKS_RO_PUBLIC_SESSION, info.state);
        EXPECT_EQ(c.expected == CKR_OK ? CKR_OK : CKR_USER_NOT_LOGGED_IN,
                  module.F().C_Logout(session));
        module.Finalize();
        EXPECT_EQ(c.retriesAfter, env.Load().slots[2].card->pins.at("ENC").retries);
    }
}

TEST_F(SimPinRules, SigningAsksForTheKeysPinUnlessLoggedIn)
{
    env.ScriptDialog(
        {DialogAnswer::Enter({"123456"}), DialogAnswer::Cancel(), DialogAnswer::Enter({"999999"})});
    CK_SESSION_HANDLE session = module.Open(SlotOfType(1));
    const std::vector<unsigned char> digest(32, 0x5A);
    std::vector<unsigned char> signature;
    CK_OBJECT_HANDLE sig = module.Find(session, CKO_PRIVATE_KEY, "SK.CH.SIG");
    EXPECT_EQ(CKR_OK, module.Sign(session, sig, CKM_ECDSA, digest, signature));
    EXPECT_EQ(CKR_FUNCTION_CANCELED, module.Sign(session, sig, CKM_ECDSA, digest, signature));
    EXPECT_EQ(CKR_PIN_INCORRECT, module.Sign(session, sig, CKM_ECDSA, digest, signature));
    // Logged in with the encryption PIN, the encryption key signs without a dialog.
    CK_UTF8CHAR pin[] = {'1', '2', '3', '4'};
    ASSERT_EQ(CKR_OK, module.F().C_Login(session, CKU_USER, pin, 4));
    CK_OBJECT_HANDLE enc = module.Find(session, CKO_PRIVATE_KEY, "SK.CH.EKEY");
    EXPECT_EQ(CKR_OK, module.Sign(session, enc, CKM_RSA_PKCS, digest, signature));
    EXPECT_EQ(192u, signature.size());
    EXPECT_EQ(2, env.Load().slots[1].card->pins.at("SIG").retries);
}
