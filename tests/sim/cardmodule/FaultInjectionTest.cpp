// Faults from the card set, a card set that cannot be saved, the module variants without some
// functions, and the call log.

#include "ModuleHarness.h"
#include "UnwritableFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <thread>

using QuendrySim::CardSet;
using QuendrySim::Fault;
using QuendrySim::SimEnvironment;
using SimTest::Bytes;
using SimTest::Hex;
using SimTest::LoadedModule;
using SimTest::SlotOfType;
using SimTest::UnwritableFolder;

namespace
{
void AddFault(const SimEnvironment& env, Fault fault)
{
    auto set = env.Load();
    set.faults.push_back(std::move(fault));
    ASSERT_TRUE(env.Save(set));
}

Fault MakeFault(const char* function, std::optional<CK_RV> rv, int skip, std::optional<int> times)
{
    Fault fault;
    fault.function = function;
    fault.rv = rv;
    fault.skip = skip;
    fault.times = times;
    return fault;
}

// Waits, a bounded while, until a held call has used its fault up and taken it from the file.
bool FaultsUsedUp(const SimEnvironment& env)
{
    for (int polls = 0; polls < 2000 && !env.Load().faults.empty(); ++polls)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return env.Load().faults.empty();
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

namespace
{
struct WriteContext
{
    const SimEnvironment& env;
    const LoadedModule& module;
    CK_SESSION_HANDLE session;
};

CK_RV SetValue(const LoadedModule& module, CK_SESSION_HANDLE session, const std::string& label,
               ByteVector value)
{
    CK_ATTRIBUTE attribute{CKA_VALUE, value.data(), static_cast<CK_ULONG>(value.size())};
    return module.F().C_SetAttributeValue(session, module.Find(session, CKO_DATA, label),
                                          &attribute, 1);
}

CK_RV LogIn(const LoadedModule& module, CK_SESSION_HANDLE session, std::string pin)
{
    return module.F().C_Login(session, CKU_USER, reinterpret_cast<CK_UTF8CHAR*>(pin.data()),
                              static_cast<CK_ULONG>(pin.size()));
}

QuendrySim::Card& CardOf(CardSet& set, int cardType)
{
    return *set.slots[static_cast<size_t>(cardType)].card;
}

std::string ValueOf(CardSet& set, int cardType, const std::string& label)
{
    return Hex(CardOf(set, cardType).FindObject(label)->value);
}

// A write whose save the file does not take: what it needs first, the write and what it
// answers, and the part of the card set it changes.
struct WritePath
{
    const char* name;
    int cardType;
    std::function<void(const WriteContext&)> prepare;
    std::function<CK_RV(const WriteContext&)> write;
    CK_RV answer;
    std::function<std::string(CardSet&)> state;
    const char* readBack; // an object whose value the module answers again, or none
};

std::function<void(const WriteContext&)> LoggedIn(std::string pin)
{
    return [pin](const WriteContext& c) { EXPECT_EQ(CKR_OK, LogIn(c.module, c.session, pin)); };
}

std::function<CK_RV(const WriteContext&)> Writing(std::string label, ByteVector value)
{
    return [=](const WriteContext& c) { return SetValue(c.module, c.session, label, value); };
}

std::function<std::string(CardSet&)> Values(int cardType, std::vector<std::string> labels)
{
    return [=](CardSet& set)
    {
        std::string joined;
        for (const auto& label : labels)
            joined += ValueOf(set, cardType, label) + " ";
        return joined;
    };
}

std::string PinState(CardSet& set, int cardType, const char* name)
{
    const auto& pin = CardOf(set, cardType).pins.at(name);
    return pin.value + " " + std::to_string(pin.retries) + " " + std::to_string(pin.pukRetries);
}

CK_RV ChangeSignaturePin(const WriteContext& c)
{
    return c.module.SetPinAttribute(
        c.session, c.module.Find(c.session, CKO_PRIVATE_KEY, "SK.CH.SIG"), CKA_QUENDRY_CHANGE_PIN);
}

// Every kind of write that changes the card set. Vendor file writes and register operations
// save through the same call, so the object and PIN rows stand for them.
std::vector<WritePath> WritePaths()
{
    const ByteVector link = Bytes("3003020101");
    return {
        {"identity link and its container entry", 1, LoggedIn("1234"),
         Writing("PERSONENBINDUNG", link), CKR_DEVICE_ERROR, Values(1, {"PERSONENBINDUNG", "0x01"}),
         "PERSONENBINDUNG"},
        {"identity link under the Infobox PIN", 0, LoggedIn("4321"),
         Writing("PERSONENBINDUNG", link), CKR_DEVICE_ERROR, Values(0, {"PERSONENBINDUNG"}),
         "PERSONENBINDUNG"},
        {"Infobox container", 5, nullptr, Writing("INFOBOX", Bytes("0000")), CKR_DEVICE_ERROR,
         Values(5, {"INFOBOX"}), "INFOBOX"},
        {"PIN try counter", 0, nullptr,
         [](const WriteContext& c) { return LogIn(c.module, c.session, "0000"); }, CKR_DEVICE_ERROR,
         [](CardSet& set) { return PinState(set, 0, "INFOBOX"); }, nullptr},
        {"PIN dialog and its queue", 1,
         [](const WriteContext& c) {
             c.env.ScriptDialog({QuendrySim::DialogAnswer::Enter({"123456", "654321"})});
         },
         ChangeSignaturePin, CKR_DEVICE_ERROR,
         [](CardSet& set)
         { return PinState(set, 1, "SIG") + " " + std::to_string(set.dialog.size()); },
         nullptr},
        {"fault counter", 0,
         [](const WriteContext& c)
         { AddFault(c.env, MakeFault("C_GetInfo", std::nullopt, 1, std::nullopt)); },
         [](const WriteContext& c)
         {
             CK_INFO info{};
             return c.module.F().C_GetInfo(&info);
         },
         CKR_OK, [](CardSet& set) { return std::to_string(set.faults.at(0).skip); }, nullptr},
    };
}

// The write fails while the folder takes no file, and the module answers the old state; a later
// write to another card does not carry the failed change to disk.
void ExpectUndoneInMemory(const WritePath& path)
{
    SimEnvironment env;
    ASSERT_TRUE(env.Ready());
    LoadedModule module;
    ASSERT_TRUE(module.Load());
    ASSERT_EQ(CKR_OK, module.Initialize());
    const WriteContext context{env, module, module.Open(SlotOfType(path.cardType))};
    const CK_SESSION_HANDLE other = module.Open(SlotOfType(3));
    if (path.prepare)
        path.prepare(context);
    CardSet set = env.Load();
    const std::string before = path.state(set);
    {
        UnwritableFolder folder(env.Folder());
        ASSERT_TRUE(folder.Holds());
        EXPECT_EQ(path.answer, path.write(context));
        if (path.readBack)
        {
            const CK_OBJECT_HANDLE object = module.Find(context.session, CKO_DATA, path.readBack);
            EXPECT_EQ(ValueOf(set, path.cardType, path.readBack),
                      Hex(module.Value(context.session, object, CKA_VALUE)));
        }
    }
    ASSERT_EQ(CKR_OK, SetValue(module, other, "RFU1", {0x01})) << "a write to another card";
    set = env.Load();
    EXPECT_EQ("01", ValueOf(set, 3, "RFU1"));
    EXPECT_EQ(before, path.state(set)) << "the failed change stays out of the file";
    module.Finalize();
}
} // namespace

TEST(SimFaults, WriteTheFileDoesNotTakeIsUndoneInMemory)
{
    for (const WritePath& path : WritePaths())
    {
        SCOPED_TRACE(path.name);
        ExpectUndoneInMemory(path);
    }
}

TEST_F(SimFaultsLoaded, HeldCallGoesOnOnceItsGateIsMade)
{
    Fault fault = MakeFault("C_GetSlotList", std::nullopt, 0, 1);
    fault.gate = "open";
    AddFault(env, fault);
    CK_ULONG count = 0;
    std::thread call([&]
                     { EXPECT_EQ(CKR_OK, module.F().C_GetSlotList(CK_TRUE, nullptr, &count)); });
    EXPECT_TRUE(FaultsUsedUp(env)) << "the call has used the fault up";
    const std::string gate = env.Folder() + "/open";
    std::ofstream{gate};
    call.join();
    EXPECT_EQ(9u, count);
    // Only a call still waiting when the gate was made can have taken it away.
    EXPECT_FALSE(std::filesystem::exists(gate)) << "the held call took its gate away";
}

TEST_F(SimFaultsLoaded, HeldCallGoesOnAndLeavesAFolderMadeInItsGatesPlace)
{
    Fault fault = MakeFault("C_GetSlotList", CKR_DEVICE_ERROR, 0, 1);
    fault.gate = "late";
    AddFault(env, fault);
    CK_ULONG count = 0;
    auto call = std::async(std::launch::async,
                           [&] { return module.F().C_GetSlotList(CK_TRUE, nullptr, &count); });
    EXPECT_TRUE(FaultsUsedUp(env)) << "the call waits at its gate";
    // Made beside it and moved in, so the gate is never an empty folder.
    // As the module names it, with the system's separator.
    const std::string folder = (std::filesystem::path(env.Folder()) / "late").string();
    const std::string kept = folder + "/kept";
    std::filesystem::create_directory(env.Folder() + "/making");
    std::ofstream{env.Folder() + "/making/kept"};
    testing::internal::CaptureStderr();
    std::filesystem::rename(env.Folder() + "/making", folder);
    if (call.wait_for(std::chrono::seconds(30)) != std::future_status::ready)
    {
        ADD_FAILURE() << "the call is held at a folder";
        std::filesystem::remove(kept); // lets it go, so that the test can end
    }
    EXPECT_EQ(CKR_DEVICE_ERROR, call.get());
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(std::filesystem::exists(kept)) << "the folder and its file stay";
    EXPECT_NE(std::string::npos, errors.find(folder + " stays")) << errors;
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
