#include "SimFixture.h"
#include "TestCrypto.h"

using namespace Corvane;
using QuendrySim::DialogAnswer;

TEST_F(SimCards, CardInfoOfEveryCardType)
{
    struct Expected
    {
        int encAlgorithm, encLength, sigAlgorithm, sigLength;
        bool container;
        int chipType;
    };
    const int rsa = KEY_ALGORITHM_RSA, ecc = KEY_ALGORITHM_ECC;
    const Expected expected[] = {
        {rsa, 1536, ecc, 192, false, 1}, {rsa, 1536, ecc, 256, true, 5},
        {rsa, 1536, ecc, 256, true, 6},  {ecc, 192, ecc, 192, false, 3},
        {rsa, 1536, ecc, 256, false, 7}, {rsa, 1536, ecc, 256, true, 7},
        {rsa, 2048, ecc, 256, true, 8},  {rsa, 2048, ecc, 256, true, 9},
        {rsa, 0, ecc, 256, true, 10}, // the length of the card's own key
    };
    Start();
    QuendrySim::CardSet set = env.Load();
    for (int cardType = 0; cardType <= 8; ++cardType)
    {
        QuendrySim::Card& card = CardOfType(set, cardType);
        CardInfo info;
        ASSERT_TRUE(wrapper->GetCardInfo(IndexOf(cardType), info)) << cardType;
        const Expected& item = expected[cardType];
        EXPECT_EQ(info.cardType, cardType);
        EXPECT_EQ(info.encKeyAlgorithm, item.encAlgorithm) << cardType;
        const int encLength = item.encLength
                                  ? item.encLength
                                  : tokentest::RsaBits(card.FindObject("C.CH.EKEY")->value);
        EXPECT_EQ(info.encKeyLength, encLength) << cardType;
        EXPECT_EQ(info.sigKeyAlgorithm, item.sigAlgorithm) << cardType;
        EXPECT_EQ(info.sigKeyLength, item.sigLength) << cardType;
        EXPECT_EQ(info.infoboxContainer, item.container) << cardType;
        EXPECT_EQ(info.model, card.model + std::string(16 - card.model.size(), ' '));
        EXPECT_EQ(info.serial, card.serial);
        EXPECT_EQ(info.tokenLabel.size(), 32u);
        EXPECT_EQ(wrapper->CurrentSlotIndex(), -1) << "its own session is closed again";

        ASSERT_TRUE(wrapper->OpenSession(IndexOf(cardType)));
        EXPECT_TRUE(wrapper->DetectChipType()) << cardType;
        EXPECT_EQ(wrapper->ChipType(), item.chipType) << cardType;
        wrapper->CloseSession();
    }
}

TEST_F(SimCards, UnknownModelAndMissingTokenInformation)
{
    EditCards([this](QuendrySim::CardSet& set) { CardOfType(set, 5).model = "Starcos SPK 9"; });
    Start();
    CardInfo info;
    ASSERT_TRUE(wrapper->GetCardInfo(IndexOf(5), info));
    EXPECT_EQ(info.cardType, CARD_TYPE_UNKNOWN);
    EXPECT_EQ(info.encKeyLength, 0);
    OpenCard(5);
    EXPECT_FALSE(wrapper->DetectChipType());
    EXPECT_EQ(wrapper->ChipType(), CHIP_TYPE_NONE);
    wrapper->CloseSession();

    CardInfo untouched;
    untouched.model = "kept";
    AddFault("C_GetTokenInfo", CKR_DEVICE_ERROR);
    EXPECT_FALSE(wrapper->GetCardInfo(0, untouched));
    EXPECT_EQ(untouched.model, "kept");
    EXPECT_FALSE(wrapper->GetCardInfo(-1, untouched));
    EXPECT_FALSE(wrapper->GetCardInfo(static_cast<int>(slots.size()), untouched));
    EXPECT_FALSE(wrapper->DetectChipType()) << "no session";
}

TEST_F(SimCards, AcosIdEncryptionKeyLengthFromTheCard)
{
    struct Case
    {
        const char* name;
        std::function<void(QuendrySim::Card&)> edit;
        int length;
    };
    QuendrySim::CardSet original = env.Load();
    const int generatedBits =
        tokentest::RsaBits(CardOfType(original, 8).FindObject("C.CH.EKEY")->value);
    ASSERT_GE(generatedBits, 2048);
    const Case cases[] = {
        {"generated", [](QuendrySim::Card&) {}, generatedBits},
        {"no PK.CH.EKEY",
         [](QuendrySim::Card& card) { card.FindObject("PK.CH.EKEY")->label = "PK.X"; }, 0},
        {"modulus bits unavailable",
         [](QuendrySim::Card& card)
         { card.FindObject("PK.CH.EKEY")->attributes[CKA_MODULUS_BITS] = std::nullopt; },
         0},
        {"two keys: the search returns the first",
         [](QuendrySim::Card& card)
         {
             QuendrySim::CardObject first = *card.FindObject("PK.CH.EKEY");
             ByteVector bits(sizeof(CK_ULONG), 0);
             bits[1] = 0x10; // 4096, least significant byte first
             first.attributes[CKA_MODULUS_BITS] = bits;
             card.objects.insert(card.objects.begin(), first);
         },
         4096},
        {"modulus bits as wide as the other layout's CK_ULONG",
         [](QuendrySim::Card& card)
         {
             ByteVector bits(sizeof(CK_ULONG) == 4 ? 8 : 4, 0);
             bits[1] = 0x08; // 2048, were the width taken
             card.FindObject("PK.CH.EKEY")->attributes[CKA_MODULUS_BITS] = bits;
         },
         0},
    };
    Start();
    for (const Case& item : cases)
    {
        ResetCard(original, 8, item.edit);
        CardInfo info;
        ASSERT_TRUE(wrapper->GetCardInfo(IndexOf(8), info)) << item.name;
        EXPECT_EQ(info.cardType, 8) << item.name;
        EXPECT_EQ(info.encKeyLength, item.length) << item.name;
        EXPECT_EQ(info.sigKeyLength, 256) << item.name;
    }
}

TEST_F(SimCards, CardInfoUsesAnOpenSessionAndLeavesItOpen)
{
    Start();
    OpenCard(8);
    const CK_SESSION_HANDLE session = wrapper->SessionHandle();
    env.ClearCalls();
    CardInfo info;
    ASSERT_TRUE(wrapper->GetCardInfo(IndexOf(8), info));
    EXPECT_GE(info.encKeyLength, 2048);
    EXPECT_TRUE(CallsOf("C_OpenSession").empty());
    EXPECT_TRUE(CallsOf("C_CloseSession").empty());
    EXPECT_EQ(wrapper->SessionHandle(), session);
    EXPECT_EQ(wrapper->CurrentSlotIndex(), IndexOf(8));
    wrapper->CloseSession();
}

// A slot that is no card reader comes first in the module's order: the unfiltered token index
// and the slot-list index then name different cards.
TEST_F(SimCards, CardInfoReadsTheEntrysOwnSlot)
{
    EditCards([](QuendrySim::CardSet& set) { set.FindSlot(1)->removable = false; });
    Start();
    ASSERT_EQ(slots[0]->slotId, 2u);
    TokenInfo byModuleIndex;
    ASSERT_TRUE(wrapper->GetTokenInfo(0, byModuleIndex));
    EXPECT_EQ(byModuleIndex.model, "ACOS EMV-A03    ");
    CardInfo info;
    ASSERT_TRUE(wrapper->GetCardInfo(0, info));
    EXPECT_EQ(info.model, "ACOS EMV-A04    ");
    EXPECT_EQ(info.serial, slots[0]->tokenSerial);
    EXPECT_EQ(info.cardType, 1);
}

TEST_F(SimCards, PinOperationsEveryTargetAndOutcome)
{
    struct Target
    {
        int target;
        int cardType;
        const char* pin;
        const char* value;
        const char* puk;
        const char* newValue;
        const char* wrong;
        const char* wrongPuk = "00000000";
        const char* tooShort = "1";
    };
    const Target targets[] = {
        {PIN_TARGET_SIGNATURE, 1, "SIG", "123456", "12345678", "654321", "000000"},
        {PIN_TARGET_ENCRYPTION, 4, "ENC", "1234", "87654321", "4321", "0000"},
        {PIN_TARGET_INFOBOX, 0, "INFOBOX", "4321", "11223344", "9876", "0000"},
    };
    // The dialog answers the two texts named, or answers without them.
    using Text = const char* Target::*;
    struct Outcome
    {
        const char* name;
        bool unblock;
        std::optional<DialogAnswer> answer; // empty: enters first and second
        Text first, second;
        int result;
        std::function<void(QuendrySim::Pin&)> prepare = nullptr;
    };
    const std::optional<DialogAnswer> enter;
    const Text none = nullptr, value = &Target::value, newValue = &Target::newValue;
    const Outcome outcomes[] = {
        {"changed", false, enter, value, newValue, PIN_RESULT_DONE},
        {"cancelled", false, DialogAnswer::Cancel(), none, none, PIN_RESULT_CANCELLED},
        {"nothing scripted", true, enter, none, none, PIN_RESULT_CANCELLED},
        {"wrong", false, enter, &Target::wrong, newValue, PIN_RESULT_WRONG},
        {"wrong PUK", true, enter, &Target::wrongPuk, newValue, PIN_RESULT_WRONG},
        {"dialog fails", false, DialogAnswer::Fail(), none, none, PIN_RESULT_OTHER},
        {"new PIN too short", false, enter, value, &Target::tooShort, PIN_RESULT_OTHER},
        {"other code", true, DialogAnswer::Answer(CKR_DEVICE_ERROR), none, none, PIN_RESULT_OTHER},
        {"unblocked", true, enter, &Target::puk, newValue, PIN_RESULT_DONE},
        {"wrong on the last try", false, enter, &Target::wrong, newValue, PIN_RESULT_LOCKED,
         [](QuendrySim::Pin& pin) { pin.retries = 1; }},
        {"locked", false, enter, value, newValue, PIN_RESULT_LOCKED,
         [](QuendrySim::Pin& pin) { pin.retries = 0; }},
        {"PUK locked", true, enter, &Target::puk, newValue, PIN_RESULT_LOCKED,
         [](QuendrySim::Pin& pin) { pin.pukRetries = 0; }},
    };
    const auto answersOf = [](const Outcome& outcome, const Target& target)
    {
        if (outcome.answer)
            return std::vector<DialogAnswer>{*outcome.answer};
        if (!outcome.first)
            return std::vector<DialogAnswer>{};
        return std::vector<DialogAnswer>{
            DialogAnswer::Enter({target.*outcome.first, target.*outcome.second})};
    };
    Start();
    for (const Target& target : targets)
    {
        for (const Outcome& outcome : outcomes)
        {
            if (outcome.prepare)
                EditCards(
                    [&](QuendrySim::CardSet& set)
                    { outcome.prepare(*CardOfType(set, target.cardType).FindPin(target.pin)); });
            Script(answersOf(outcome, target));
            OpenCard(target.cardType);
            const int result = outcome.unblock ? wrapper->UnblockPIN(target.target)
                                               : wrapper->ChangePIN(target.target);
            wrapper->CloseSession();
            EXPECT_EQ(result, outcome.result) << target.pin << ": " << outcome.name;
            // Put the PIN back so every outcome starts from the same card.
            EditCards(
                [&](QuendrySim::CardSet& set)
                {
                    QuendrySim::Pin& pin = *CardOfType(set, target.cardType).FindPin(target.pin);
                    if (outcome.result == PIN_RESULT_DONE)
                    {
                        EXPECT_EQ(pin.value, target.newValue) << target.pin << ": " << outcome.name;
                    }
                    pin.value = target.value;
                    pin.retries = pin.maxRetries;
                    pin.pukRetries = pin.maxPukRetries;
                    set.dialog.clear();
                });
        }
    }
    const auto attributes = CallsOf("C_SetAttributeValue");
    ASSERT_FALSE(attributes.empty());
    EXPECT_EQ(attributes.front().Field("types"), "0x200");
}

TEST_F(SimCards, PinLocksAfterItsRetriesAndThePukUnblocksIt)
{
    Start();
    OpenCard(2);
    for (int attempt = 1; attempt <= 3; ++attempt)
    {
        Script({DialogAnswer::Enter({"000000", "654321"})});
        const int expected = attempt < 3 ? PIN_RESULT_WRONG : PIN_RESULT_LOCKED;
        EXPECT_EQ(wrapper->ChangePIN(PIN_TARGET_SIGNATURE), expected) << attempt;
    }
    // Locked: answered at once, without asking.
    EXPECT_EQ(wrapper->ChangePIN(PIN_TARGET_SIGNATURE), PIN_RESULT_LOCKED);
    Script({DialogAnswer::Enter({"12345678", "111111"})});
    EXPECT_EQ(wrapper->UnblockPIN(PIN_TARGET_SIGNATURE), PIN_RESULT_DONE);
    Script({DialogAnswer::Enter({"111111", "222222"})});
    EXPECT_EQ(wrapper->ChangePIN(PIN_TARGET_SIGNATURE), PIN_RESULT_DONE);
    wrapper->CloseSession();
    QuendrySim::CardSet set = env.Load();
    EXPECT_EQ(CardOfType(set, 2).FindPin("SIG")->value, "222222");
}

TEST_F(SimCards, PinOperationsThatNeverReachTheDialog)
{
    Start();
    env.ClearCalls();
    EXPECT_EQ(wrapper->ChangePIN(PIN_TARGET_SIGNATURE), PIN_RESULT_OTHER) << "no session";
    EXPECT_EQ(wrapper->UnblockPIN(PIN_TARGET_SIGNATURE), PIN_RESULT_OTHER) << "no session";
    EXPECT_TRUE(env.Calls().empty());

    OpenCard(1);
    env.ClearCalls();
    EXPECT_EQ(wrapper->ChangePIN(3), PIN_RESULT_OTHER);
    EXPECT_EQ(wrapper->UnblockPIN(-1), PIN_RESULT_OTHER);
    EXPECT_TRUE(CallsOf("C_FindObjectsInit").empty());
    // Card type 1 keeps no PIN on its identity-link object.
    EXPECT_EQ(wrapper->ChangePIN(PIN_TARGET_INFOBOX), PIN_RESULT_OTHER);
    wrapper->CloseSession();

    EditCards([this](QuendrySim::CardSet& set)
              { CardOfType(set, 1).FindObject("SK.CH.SIG")->label = "SK.CH.SIGX"; });
    OpenCard(1);
    env.ClearCalls();
    EXPECT_EQ(wrapper->ChangePIN(PIN_TARGET_SIGNATURE), PIN_RESULT_OTHER) << "object missing";
    EXPECT_TRUE(CallsOf("C_SetAttributeValue").empty());
    wrapper->CloseSession();
}

TEST_F(SimCards, FindObjectsEndsEveryStartedSearch)
{
    Start();
    OpenCard(1);
    CK_OBJECT_CLASS dataClass = CKO_DATA;
    CK_ATTRIBUTE search[] = {{CKA_CLASS, &dataClass, sizeof dataClass}};
    CK_OBJECT_HANDLE objects[3] = {};
    CK_ULONG found = 99;
    ASSERT_TRUE(wrapper->FindObjects(search, 1, objects, 3, found));
    EXPECT_EQ(found, 3u) << "more data objects exist than there is room for";

    AddFault("C_FindObjects", CKR_DEVICE_ERROR);
    env.ClearCalls();
    EXPECT_FALSE(wrapper->FindObjects(search, 1, objects, 3, found));
    EXPECT_EQ(found, 0u);
    ASSERT_EQ(CallsOf("C_FindObjectsFinal").size(), 1u);

    AddFault("C_FindObjectsInit", CKR_DEVICE_ERROR);
    env.ClearCalls();
    EXPECT_FALSE(wrapper->FindObjects(search, 1, objects, 3, found));
    EXPECT_TRUE(CallsOf("C_FindObjects").empty());
    // The session is usable after all of it.
    CK_OBJECT_HANDLE link = 0;
    EXPECT_TRUE(wrapper->FindObject("PERSONENBINDUNG", CKO_DATA, link));
    EXPECT_FALSE(wrapper->FindObject("PERSONENBINDUN", CKO_DATA, link));
    EXPECT_FALSE(wrapper->FindObject("PERSONENBINDUNG", CKO_CERTIFICATE, link));
    // Last: a faulted C_FindObjectsFinal leaves the module's search running.
    AddFault("C_FindObjectsFinal", CKR_DEVICE_ERROR);
    EXPECT_FALSE(wrapper->FindObjects(search, 1, objects, 3, found));
    wrapper->CloseSession();
    EXPECT_FALSE(wrapper->FindObject("PERSONENBINDUNG", CKO_DATA, link)) << "closed session";
}
