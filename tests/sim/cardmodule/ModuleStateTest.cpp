// The module's state lives in the card-set file: it survives unloading, reloading and a crash, and
// every write replaces the file as a whole. Opening sessions does not rewrite the file each time.

#include "ChildProcess.h"
#include "ModuleHarness.h"

#include "sim/cardmodule/cardset/AtomicFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

using QuendrySim::DialogAnswer;
using QuendrySim::SimEnvironment;
using SimTest::LoadedModule;
using SimTest::SlotOfType;

namespace
{
CK_RV ChangeSignaturePin(const LoadedModule& module, const std::string& oldPin,
                         const std::string& newPin, const SimEnvironment& env)
{
    env.ScriptDialog({DialogAnswer::Enter({oldPin, newPin})});
    CK_SESSION_HANDLE session = module.Open(SlotOfType(1));
    CK_OBJECT_HANDLE key = module.Find(session, CKO_PRIVATE_KEY, "SK.CH.SIG");
    CK_RV rv = module.SetPinAttribute(session, key, CKA_QUENDRY_CHANGE_PIN);
    module.F().C_CloseSession(session);
    return rv;
}

using SimModuleFile = SimTest::ModuleTest;
} // namespace

TEST(SimModuleState, PinChangeAndCountersSurviveUnloadAndReload)
{
    SimEnvironment env;
    ASSERT_TRUE(env.Ready());
    {
        LoadedModule module;
        ASSERT_TRUE(module.Load());
        ASSERT_EQ(CKR_OK, module.Initialize());
        EXPECT_EQ(CKR_OK, ChangeSignaturePin(module, "123456", "654321", env));
        EXPECT_EQ(CKR_PIN_INCORRECT, ChangeSignaturePin(module, "123456", "111111", env));
        module.Finalize();
    }
    LoadedModule reloaded;
    ASSERT_TRUE(reloaded.Load());
    ASSERT_EQ(CKR_OK, reloaded.Initialize());
    EXPECT_EQ(2, env.Load().slots[1].card->pins.at("SIG").retries);
    EXPECT_EQ(CKR_OK, ChangeSignaturePin(reloaded, "654321", "222222", env));
    const auto set = env.Load();
    EXPECT_EQ("222222", set.slots[1].card->pins.at("SIG").value);
    EXPECT_EQ(3, set.slots[1].card->pins.at("SIG").retries);
    reloaded.Finalize();
}

namespace
{
// The highest handle a module gave before it was unloaded, or before its process died without
// finalising or unloading anything.
CK_SESSION_HANDLE HighestHandleBefore(bool crash, const SimEnvironment& env)
{
    const std::string record = env.Folder() + "/highest";
    const char* end = crash ? "crash" : "unload";
    if (SimTest::RunProgram(QUENDRY_SIM_MODULE_CHILD, {"handles", record, end}) != 0)
        return 0;
    CK_SESSION_HANDLE highest = 0;
    std::ifstream(record) >> highest;
    return highest;
}
} // namespace

TEST(SimModuleState, SessionHandlesGrowAcrossReloadsAndCrashes)
{
    for (bool crash : {false, true})
    {
        SCOPED_TRACE(crash ? "crash" : "unload");
        SimEnvironment env;
        ASSERT_TRUE(env.Ready());
        const CK_SESSION_HANDLE before = HighestHandleBefore(crash, env);
        ASSERT_NE(0u, before);
        LoadedModule module;
        ASSERT_TRUE(module.Load());
        ASSERT_EQ(CKR_OK, module.Initialize());
        const CK_SESSION_HANDLE first = module.Open(SlotOfType(0));
        EXPECT_GT(first, before);
        module.F().C_CloseSession(first);
        EXPECT_GT(module.Open(SlotOfType(0)), first) << "a closed handle is not given again";
        module.Finalize();
    }
}

TEST_F(SimModuleFile, SessionsOpenWithoutRewritingTheCardSet)
{
    module.F().C_CloseSession(module.Open(SlotOfType(0)));
    QuendrySim::FileIdentity before;
    ASSERT_TRUE(QuendrySim::IdentityOf(env.CardSetPath(), before));
    for (int i = 0; i < 100; ++i)
        module.F().C_CloseSession(module.Open(SlotOfType(i % 9)));
    QuendrySim::FileIdentity after;
    ASSERT_TRUE(QuendrySim::IdentityOf(env.CardSetPath(), after));
    EXPECT_EQ(before.inode, after.inode) << "the card set was replaced";
    EXPECT_EQ(before.modifiedNs, after.modifiedNs);
}

TEST(SimModuleState, ChangeIsOnDiskBeforeTheProcessDies)
{
    SimEnvironment env;
    ASSERT_TRUE(env.Ready());
    env.ScriptDialog({DialogAnswer::Enter({"123456", "777777"})});
    ASSERT_EQ(0, SimTest::RunProgram(QUENDRY_SIM_MODULE_CHILD, {"change-pin"}));
    EXPECT_EQ("777777", env.Load().slots[1].card->pins.at("SIG").value);
    EXPECT_TRUE(env.Load().dialog.empty()) << "the used answer is gone from the queue";
}

TEST_F(SimModuleFile, ReadersNeverSeeAPartlyWrittenFile)
{
    // Every passed-over call of a fault is written back at once.
    auto withFault = env.Load();
    withFault.faults.push_back({"C_GetInfo", std::nullopt, 1000, std::nullopt});
    ASSERT_TRUE(env.Save(withFault));
    std::atomic<bool> done{false};
    std::atomic<int> reads{0}, broken{0};
    std::thread reader(
        [&]
        {
            while (!done)
            {
                std::string bytes;
                QuendrySim::CardSet set;
                if (!QuendrySim::ReadWholeFile(env.CardSetPath(), bytes) ||
                    !QuendrySim::ParseCardSet(bytes, set))
                    ++broken;
                ++reads;
            }
        });
    CK_INFO info{};
    for (int i = 0; i < 300; ++i)
        module.F().C_GetInfo(&info);
    done = true;
    reader.join();
    module.Finalize();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(0, broken.load());
    ASSERT_EQ(1u, env.Load().faults.size());
    EXPECT_EQ(700, env.Load().faults[0].skip) << "every call was written back";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(env.Folder()))
        files += entry.path().filename() != "calls.log";
    EXPECT_EQ(1, files) << "no temporary file is left beside the card set";
}

TEST_F(SimModuleFile, EditsOfTheFileReachAnInitialisedModule)
{
    auto set = env.Load();
    set.slots[4].card.reset();
    ASSERT_TRUE(env.Save(set));
    CK_ULONG count = 0;
    ASSERT_EQ(CKR_OK, module.F().C_GetSlotList(CK_TRUE, nullptr, &count));
    EXPECT_EQ(8u, count);
    CK_TOKEN_INFO info{};
    EXPECT_EQ(CKR_TOKEN_NOT_PRESENT, module.F().C_GetTokenInfo(SlotOfType(4), &info));

    // A file of the same size is still another file.
    for (const char* label : {"Quendry Tavrel XXXX 03", "Quendry Tavrel YYYY 03"})
    {
        set.slots[0].card->label = label;
        ASSERT_TRUE(env.Save(set));
        ASSERT_EQ(CKR_OK, module.F().C_GetTokenInfo(SlotOfType(0), &info));
        EXPECT_EQ(label, std::string(reinterpret_cast<const char*>(info.label), strlen(label)));
    }
}

TEST(SimModuleState, UnreadableCardSetFailsInitialisation)
{
    SimEnvironment env;
    ASSERT_TRUE(env.Ready());
    ASSERT_TRUE(QuendrySim::WriteFileAtomically(env.CardSetPath(), "{ \"slots\": [ 1, "));
    LoadedModule module;
    ASSERT_TRUE(module.Load());
    EXPECT_EQ(CKR_GENERAL_ERROR, module.Initialize());
    CK_ULONG count = 0;
    EXPECT_EQ(CKR_CRYPTOKI_NOT_INITIALIZED, module.F().C_GetSlotList(CK_TRUE, nullptr, &count));
}

TEST_F(SimModuleFile, CardSetSavedWithAnOlderCountGivesNoOpenHandleAgain)
{
    const auto stale = env.Load();
    CK_SESSION_HANDLE first = module.Open(SlotOfType(0));
    ASSERT_TRUE(env.Save(stale));
    CK_SESSION_HANDLE second = module.Open(SlotOfType(1));
    EXPECT_GT(second, first);
    CK_SESSION_INFO info{};
    ASSERT_EQ(CKR_OK, module.F().C_GetSessionInfo(first, &info));
    EXPECT_EQ(SlotOfType(0), info.slotID) << "the first session is still its own";
}
