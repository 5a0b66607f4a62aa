// Faults from the card set, the module variants without some functions, and the call log.

#include "ModuleHarness.h"

#include <gtest/gtest.h>

using QuendrySim::Fault;
using QuendrySim::SimEnvironment;
using SimTest::LoadedModule;
using SimTest::SlotOfType;

namespace
{
void AddFault(const SimEnvironment& env, Fault fault)
{
    auto set = env.Load();
    set.faults.push_back(std::move(fault));
    ASSERT_TRUE(env.Save(set));
}

Fault MakeFault(const char* function, std::optional<CK_RV> rv, int skip, std::optional<int> times,
                int delayMs = 0)
{
    Fault fault;
    fault.function = function;
    fault.rv = rv;
    fault.skip = skip;
    fault.times = times;
    fault.delayMs = delayMs;
    return fault;
}

using SimFaultsLoaded = SimTest::ModuleTest;
} // namespace

TEST_F(SimFaultsLoaded, ChosenCodeOnTheNthCallOnly)
{
    AddFault(env, MakeFault("C_GetTokenInfo", CKR_DEVICE_ERROR, 1, 1));
    CK_TOKEN_INFO info{};
    EXPECT_EQ(CKR_OK, module.F().C_GetTokenInfo(SlotOfType(0), &info));
    EXPECT_EQ(CKR_DEVICE_ERROR, module.F().C_GetTokenInfo(SlotOfType(0), &info));
    EXPECT_EQ(CKR_OK, module.F().C_GetTokenInfo(SlotOfType(0), &info));
    EXPECT_TRUE(env.Load().faults.empty()) << "a used-up fault is removed";
}

TEST(SimFaults, CountersHoldAcrossReloads)
{
    SimEnvironment env;
    ASSERT_TRUE(env.Ready());
    AddFault(env, MakeFault("C_OpenSession", CKR_GENERAL_ERROR, 1, 2));
    for (CK_RV expected : {CKR_OK, CKR_GENERAL_ERROR, CKR_GENERAL_ERROR, CKR_OK})
    {
        LoadedModule module;
        ASSERT_TRUE(module.Load());
        ASSERT_EQ(CKR_OK, module.Initialize());
        CK_SESSION_HANDLE session = 0;
        EXPECT_EQ(expected, module.F().C_OpenSession(SlotOfType(2), CKF_SERIAL_SESSION, nullptr,
                                                     nullptr, &session));
        module.Finalize();
    }
}

TEST(SimFaults, FailingInitialisationLeavesTheModuleUninitialised)
{
    SimEnvironment env;
    ASSERT_TRUE(env.Ready());
    AddFault(env, MakeFault("C_Initialize", CKR_DEVICE_ERROR, 0, 1));
    AddFault(env, MakeFault("C_GetInfo", CKR_FUNCTION_FAILED, 0, std::nullopt));
    LoadedModule module;
    ASSERT_TRUE(module.Load());
    EXPECT_EQ(CKR_DEVICE_ERROR, module.Initialize());
    CK_INFO info{};
    EXPECT_EQ(CKR_CRYPTOKI_NOT_INITIALIZED, module.F().C_GetInfo(&info));
    ASSERT_EQ(CKR_OK, module.Initialize());
    EXPECT_EQ(CKR_FUNCTION_FAILED, module.F().C_GetInfo(&info));
    EXPECT_EQ(CKR_FUNCTION_FAILED, module.F().C_GetInfo(&info)) << "without times: every call";
    module.Finalize();
}

TEST_F(SimFaultsLoaded, SlowAnswerStillAnswers)
{
    AddFault(env, MakeFault("C_GetSlotList", std::nullopt, 0, 1, 200));
    CK_ULONG count = 0;
    EXPECT_EQ(CKR_OK, module.F().C_GetSlotList(CK_TRUE, nullptr, &count));
    EXPECT_EQ(9u, count);
}

TEST(SimFaults, VariantsReallyLackTheirOmittedFunctions)
{
    SimEnvironment env;
    ASSERT_TRUE(env.Ready());
    struct Variant
    {
        std::string path;
        std::vector<const char*> absent;
        std::vector<const char*> present;
    } const variants[] = {
        {SimEnvironment::ModulePath(),
         {},
         {"C_Initialize", "C_CardTransmit", "C_CardAttribute", "C_Register"}},
        {SimEnvironment::NoVendorModulePath(),
         {"C_CardTransmit", "C_CardAttribute", "C_Register"},
         {"C_Initialize", "C_GetFunctionList", "C_Sign"}},
        {SimEnvironment::NoInitModulePath(), {"C_Initialize"}, {"C_Finalize", "C_CardTransmit"}},
    };
    for (const auto& variant : variants)
    {
        SCOPED_TRACE(variant.path);
        LoadedModule module(variant.path);
        ASSERT_TRUE(module.Load());
        for (const char* name : variant.absent)
            EXPECT_EQ(nullptr, module.Symbol(name)) << name;
        for (const char* name : variant.present)
            EXPECT_NE(nullptr, module.Symbol(name)) << name;
        EXPECT_EQ(nullptr, module.Symbol("_ZN10QuendrySim9TheModuleEv")) << "internals stay hidden";
    }
}

TEST_F(SimFaultsLoaded, UnimplementedListEntriesAnswerNotSupported)
{
    using DecryptInit = CK_RV (*)(CK_SESSION_HANDLE, CK_MECHANISM*, CK_OBJECT_HANDLE);
    using DigestInit = CK_RV (*)(CK_SESSION_HANDLE, CK_MECHANISM*);
    CK_MECHANISM rsa{CKM_RSA_PKCS, nullptr, 0};
    CK_MECHANISM sha{0x250, nullptr, 0};
    EXPECT_EQ(CKR_FUNCTION_NOT_SUPPORTED,
              reinterpret_cast<DecryptInit>(module.F().C_DecryptInit)(1, &rsa, 1));
    EXPECT_EQ(CKR_FUNCTION_NOT_SUPPORTED,
              reinterpret_cast<DigestInit>(module.F().C_DigestInit)(1, &sha));
    EXPECT_EQ(2, module.F().version.major);
}

TEST_F(SimFaultsLoaded, CallLogTellsWhichSessionsStayOpen)
{
    CK_SESSION_HANDLE first = module.Open(SlotOfType(0));
    CK_SESSION_HANDLE second = module.Open(SlotOfType(1));
    module.F().C_CloseSession(first);
    EXPECT_EQ(std::vector<std::string>{std::to_string(second)},
              QuendrySim::UnclosedSessions(env.Calls()));
    using CloseAll = CK_RV (*)(CK_SLOT_ID);
    reinterpret_cast<CloseAll>(module.F().C_CloseAllSessions)(SlotOfType(1));
    EXPECT_TRUE(QuendrySim::UnclosedSessions(env.Calls()).empty());
    module.Find(module.Open(SlotOfType(0)), CKO_DATA, "RFU 1");
    const auto calls = env.Calls();
    ASSERT_GE(calls.size(), 3u);
    const auto& search = calls[calls.size() - 3];
    EXPECT_EQ("C_FindObjectsInit", search.function);
    EXPECT_EQ("RFU 1", search.Field("label")) << "escaped in the file, plain when read";
    EXPECT_EQ("0x0,0x3", search.Field("types"));
    module.Finalize();
    EXPECT_TRUE(QuendrySim::UnclosedSessions(env.Calls()).empty()) << "C_Finalize ends them all";
}
