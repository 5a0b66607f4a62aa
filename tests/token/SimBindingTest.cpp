#include "SimFixture.h"

using namespace Corvane;
using QuendrySim::SimEnvironment;

namespace
{
std::vector<std::string> g_errors;
void CollectError(const std::string& text)
{
    g_errors.push_back(text);
}

bool AllFunctionsAbsent()
{
    const ModuleFunctions& f = acPKCS11::Functions();
    const void* entries[] = {
        reinterpret_cast<const void*>(f.C_Initialize),
        reinterpret_cast<const void*>(f.C_GetSlotList),
        reinterpret_cast<const void*>(f.C_OpenSession),
        reinterpret_cast<const void*>(f.C_CloseSession),
        reinterpret_cast<const void*>(f.C_Sign),
        reinterpret_cast<const void*>(f.C_Finalize),
        reinterpret_cast<const void*>(f.C_CardTransmit),
        reinterpret_cast<const void*>(f.C_Register),
    };
    return std::all_of(std::begin(entries), std::end(entries), [](const void* p) { return !p; });
}
} // namespace

TEST_F(SimCards, InitLoadsOnceAndDestroyUnloads)
{
    Start();
    EXPECT_TRUE(wrapper->Init());
    EXPECT_EQ(CallsOf("C_Initialize").size(), 1u);
    EXPECT_EQ(CallsOf("C_GetInfo").size(), 1u);

    wrapper->Destroy();
    EXPECT_EQ(CallsOf("C_Finalize").size(), 1u);
    EXPECT_TRUE(AllFunctionsAbsent());
    // The old slot list stays until the next GetSlots, but nothing reaches a module any more.
    EXPECT_FALSE(wrapper->OpenSession(0));

    ASSERT_TRUE(wrapper->Init());
    EXPECT_EQ(CallsOf("C_Initialize").size(), 2u);
    EXPECT_TRUE(wrapper->OpenSession(0)) << "old slot list, fresh module";
    wrapper->CloseSession();

    wrapper->Destroy();
    std::vector<TokenSlot*> none = {nullptr};
    EXPECT_FALSE(wrapper->GetSlots(none, true));
    EXPECT_TRUE(none.empty());
    EXPECT_FALSE(wrapper->OpenSession(0)) << "the failed GetSlots emptied the list";
}

TEST_F(SimCards, FailedReloadCallsNothing)
{
    Start();
    wrapper->Destroy();
    acPKCS11::SetModuleFile(env.Folder() + "/libmissing.so");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(wrapper->Init());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("LoadLibrary/GetProcAddress failed"),
              std::string::npos);
    env.ClearCalls();
    std::vector<TokenSlot*> none;
    EXPECT_FALSE(wrapper->GetSlots(none, true));
    EXPECT_FALSE(wrapper->OpenSession(0));
    EXPECT_TRUE(wrapper->CloseSession());
    EXPECT_EQ(wrapper->ChangePIN(PIN_TARGET_SIGNATURE), PIN_RESULT_OTHER);
    EXPECT_EQ(wrapper->GetATR(true), "");
    EXPECT_TRUE(env.Calls().empty());
}

TEST_F(SimCards, FailedInitLeavesNothingBehindAndTheNextInitSucceeds)
{
    struct Case
    {
        const char* name;
        std::function<void()> arrange;
        bool finalises; // the module was initialised, so it is finalised before the unload
    };
    const Case cases[] = {
        {"module without C_Initialize",
         [] { acPKCS11::SetModuleFile(SimEnvironment::NoInitModulePath()); }, false},
        {"C_Initialize fails", [this] { AddFault("C_Initialize", CKR_DEVICE_ERROR); }, false},
        {"C_GetInfo fails", [this] { AddFault("C_GetInfo", CKR_GENERAL_ERROR); }, true},
    };
    for (const Case& item : cases)
    {
        env.ClearCalls();
        item.arrange();
        acPKCS11 failing;
        EXPECT_TRUE(AllFunctionsAbsent()) << item.name;
        const auto calls = env.Calls();
        if (item.finalises)
        {
            ASSERT_GE(calls.size(), 2u) << item.name;
            EXPECT_EQ(calls[calls.size() - 2].function, "C_GetInfo") << item.name;
            EXPECT_EQ(calls.back().function, "C_Finalize") << item.name;
        }
        acPKCS11::SetModuleFile(SimEnvironment::ModulePath());
        // Had the initialised module stayed loaded, C_Initialize would now be refused.
        EXPECT_TRUE(failing.Init()) << item.name;
        std::vector<TokenSlot*> found;
        EXPECT_TRUE(failing.GetSlots(found, true)) << item.name;
        EXPECT_EQ(found.size(), 9u) << item.name;
        failing.Destroy();
    }
    const auto initialises = CallsOf("C_Initialize");
    ASSERT_FALSE(initialises.empty());
    EXPECT_EQ(initialises.back().rv, CKR_OK);
}

TEST_F(SimCards, SlotListOfEveryCard)
{
    Start();
    QuendrySim::CardSet set = env.Load();
    ASSERT_EQ(slots.size(), 9u) << "the empty reader holds no token";
    for (int cardType = 0; cardType <= 8; ++cardType)
    {
        const QuendrySim::Card& card = CardOfType(set, cardType);
        const TokenSlot* slot = slots[cardType];
        EXPECT_EQ(slot->slotId, static_cast<CK_SLOT_ID>(cardType + 1));
        EXPECT_EQ(slot->tokenSerial, card.serial);
        EXPECT_EQ(slot->tokenLabel, card.label + std::string(32 - card.label.size(), ' '));
    }
}

TEST_F(SimCards, SlotFilters)
{
    EditCards(
        [this](QuendrySim::CardSet& set)
        {
            CardOfType(set, 2).serial = "0000000000000000";
            set.FindSlot(5)->removable = false; // card type 4
        });
    Start();
    ASSERT_EQ(slots.size(), 8u);
    EXPECT_EQ(slots[2]->tokenSerial, "0000000000000000");
    EXPECT_EQ(slots[4]->slotId, 6u) << "the non-removable slot 5 is left out";
    std::vector<TokenSlot*> filtered;
    ASSERT_TRUE(wrapper->GetSlots(filtered, false));
    ASSERT_EQ(filtered.size(), 7u);
    EXPECT_EQ(filtered[2]->slotId, 4u);
}

TEST_F(SimCards, UnreadableSlotIsLeftOutTheOthersStay)
{
    struct Case
    {
        const char* function;
        int skip;
        CK_SLOT_ID missing;
    };
    const Case cases[] = {{"C_GetTokenInfo", 2, 3}, {"C_GetSlotInfo", 0, 1}};
    Start();
    for (const Case& item : cases)
    {
        AddFault(item.function, CKR_DEVICE_ERROR, item.skip);
        ASSERT_TRUE(wrapper->GetSlots(slots, true)) << item.function;
        ASSERT_EQ(slots.size(), 8u) << item.function;
        for (const TokenSlot* slot : slots)
            EXPECT_NE(slot->slotId, item.missing) << item.function;
    }
    AddFault("C_GetSlotList", CKR_DEVICE_ERROR);
    EXPECT_FALSE(wrapper->GetSlots(slots, true));
    EXPECT_TRUE(slots.empty());
}

TEST_F(SimCards, MoreThan128SlotsAreCutTo128)
{
    EditCards(
        [](QuendrySim::CardSet& set)
        {
            const QuendrySim::Slot model = set.slots.front();
            set.slots.clear();
            for (QuendrySim::Code id = 1; id <= 130; ++id)
            {
                QuendrySim::Slot slot = model;
                slot.id = id;
                set.slots.push_back(slot);
            }
        });
    Start();
    ASSERT_EQ(slots.size(), 128u);
    EXPECT_EQ(slots.front()->slotId, 1u);
    EXPECT_EQ(slots.back()->slotId, 128u);
    const auto lists = CallsOf("C_GetSlotList");
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_EQ(lists.back().rv, CKR_OK) << "the id buffer has room for every slot";
}

TEST_F(SimCards, SessionRules)
{
    Start();
    env.ClearCalls();
    EXPECT_FALSE(wrapper->OpenSession(-1));
    EXPECT_FALSE(wrapper->OpenSession(static_cast<int>(slots.size())));
    EXPECT_TRUE(CallsOf("C_OpenSession").empty());

    EXPECT_TRUE(wrapper->CloseSession());
    const auto closes = CallsOf("C_CloseSession");
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].Field("session"), "0");

    ASSERT_TRUE(wrapper->OpenSession(3));
    EXPECT_EQ(wrapper->CurrentSlotIndex(), 3);
    const auto opens = CallsOf("C_OpenSession");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].Field("flags"), "0x4");
    EXPECT_EQ(opens[0].Field("slot"), "4");
    EXPECT_EQ(opens[0].Field("session"), std::to_string(wrapper->SessionHandle()));
    wrapper->CloseSession();
    EXPECT_EQ(wrapper->CurrentSlotIndex(), -1);

    AddFault("C_OpenSession", CKR_SESSION_COUNT);
    EXPECT_FALSE(wrapper->OpenSession(3));
    EXPECT_EQ(wrapper->SessionHandle(), 0u);
    EXPECT_EQ(wrapper->CurrentSlotIndex(), -1);
}

TEST_F(SimCards, TokenInfoTextsAndIndexes)
{
    Start();
    TokenInfo info;
    ASSERT_TRUE(wrapper->GetTokenInfo(7, info));
    EXPECT_EQ(info.label, "Quendry Tavrel CardOS 5.3       ");
    EXPECT_EQ(info.manufacturer.size(), 32u);
    EXPECT_EQ(info.model, "CardOS 5.3      ");
    EXPECT_EQ(info.serial, slots[7]->tokenSerial);
    env.ClearCalls();
    EXPECT_FALSE(wrapper->GetTokenInfo(9, info));
    EXPECT_EQ(CallsOf("C_GetSlotList").size(), 1u) << "an index beyond the count fetches no ids";
    AddFault("C_GetTokenInfo", CKR_DEVICE_ERROR);
    EXPECT_FALSE(wrapper->GetTokenInfo(0, info));
}

TEST_F(SimCards, FailedCallsReachTheErrorHookWithTheirCode)
{
    Start();
    g_errors.clear();
    acPKCS11::SetErrorHook(CollectError);
    AddFault("C_OpenSession", 0xB3);
    EXPECT_FALSE(wrapper->OpenSession(0));
    acPKCS11::SetErrorHook(nullptr);
    EXPECT_FALSE(wrapper->OpenSession(-1));
    ASSERT_EQ(g_errors.size(), 1u);
    EXPECT_EQ(g_errors[0], "C_OpenSession failed 0xb3");
}

TEST_F(SimCards, LabelAndSerialEndAtTheirFirstZeroByte)
{
    EditCards(
        [this](QuendrySim::CardSet& set)
        {
            CardOfType(set, 0).label = std::string("Quendry\0Tavrel", 14);
            CardOfType(set, 1).serial = std::string("471120\0"
                                                    "24001110",
                                                    15);
        });
    Start();
    EXPECT_EQ(slots[0]->tokenLabel, "Quendry");
    EXPECT_EQ(slots[1]->tokenSerial, "471120");
    EXPECT_EQ(slots[2]->tokenLabel.size(), 32u);
    EXPECT_EQ(slots[2]->tokenSerial.size(), 16u);
}
