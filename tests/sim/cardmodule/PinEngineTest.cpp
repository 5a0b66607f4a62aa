// The simulated PIN dialog and the PIN rules behind the PIN attributes, C_Login and C_Sign.

#include "ModuleHarness.h"

#include <gtest/gtest.h>

using QuendrySim::DialogAnswer;
using QuendrySim::SimEnvironment;
using SimTest::kEnc7;
using SimTest::kInfobox0;
using SimTest::kSig1;
using SimTest::kSig2;
using SimTest::kSig4;
using SimTest::LoadedModule;
using SimTest::PinOwner;
using SimTest::SlotOfType;

namespace
{
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
std::vector<DialogAnswer> Both(DialogAnswer first, DialogAnswer second)
{
    return {std::move(first), std::move(second)};
}
DialogAnswer EnterFor(const char* pinName, std::vector<std::string> texts)
{
    DialogAnswer answer = DialogAnswer::Enter(std::move(texts));
    answer.pin = pinName;
    return answer;
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
    {"answer for another PIN stays queued", kSig1, kChange, 3, 10,
     Only(EnterFor("ENC", {"1234", "4321"})), CKR_FUNCTION_CANCELED, "123456", 3, 10, 1},
    {"answer naming the PIN is taken past another's", kSig1, kChange, 2, 10,
     Both(EnterFor("ENC", {"1234", "4321"}), EnterFor("SIG", {"123456", "654321"})), CKR_OK,
     "654321", 3, 10, 1},
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

TEST(SimPinEngine, QueuedAnswersGoToTheirOwnPin)
{
    enum class Step
    {
        SignWithSignatureKey,
        LogInWithDialog // the login PIN of card type 1 is the encryption PIN
    };
    struct QueueCase
    {
        const char* name;
        int signatureRetries; // before
        std::vector<DialogAnswer> answers;
        std::vector<std::pair<Step, CK_RV>> steps;
        int signatureRetriesAfter, encryptionRetriesAfter;
        size_t answersLeft;
    } const cases[] = {
        {"a signature takes its own answer, not the one queued first",
         3,
         {EnterFor("ENC", {"1234"}), EnterFor("SIG", {"123456"})},
         {{Step::SignWithSignatureKey, CKR_OK}, {Step::LogInWithDialog, CKR_OK}},
         3,
         3,
         0},
        {"an answer for a locked PIN is not taken by the next PIN",
         0,
         {EnterFor("SIG", {"123456"})},
         {{Step::SignWithSignatureKey, CKR_PIN_LOCKED},
          {Step::LogInWithDialog, CKR_FUNCTION_CANCELED}},
         0,
         3,
         1},
        {"an answer naming no PIN is kept through a locked PIN for the next",
         0,
         {DialogAnswer::Enter({"1234"})},
         {{Step::SignWithSignatureKey, CKR_PIN_LOCKED}, {Step::LogInWithDialog, CKR_OK}},
         0,
         3,
         0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        SimEnvironment env;
        ASSERT_TRUE(env.Ready());
        auto set = env.Load();
        set.slots[1].card->pins.at("SIG").retries = c.signatureRetries;
        set.dialog = c.answers;
        ASSERT_TRUE(env.Save(set));
        LoadedModule module;
        ASSERT_TRUE(module.Load());
        ASSERT_EQ(CKR_OK, module.Initialize());
        CK_SESSION_HANDLE session = module.Open(SlotOfType(1));
        CK_OBJECT_HANDLE key = module.Find(session, CKO_PRIVATE_KEY, "SK.CH.SIG");
        std::vector<unsigned char> signature;
        for (const auto& [step, expected] : c.steps)
            EXPECT_EQ(expected, step == Step::SignWithSignatureKey
                                    ? module.Sign(session, key, CKM_ECDSA,
                                                  std::vector<unsigned char>(32, 0x5A), signature)
                                    : module.F().C_Login(session, CKU_USER, nullptr, 0));
        module.Finalize();
        set = env.Load();
        EXPECT_EQ(c.signatureRetriesAfter, set.slots[1].card->pins.at("SIG").retries);
        EXPECT_EQ(c.encryptionRetriesAfter, set.slots[1].card->pins.at("ENC").retries);
        EXPECT_EQ(c.answersLeft, set.dialog.size());
    }
}
