// Every function quendryp11.dll exports, called through the program's own declarations and
// binding (token/), with the module loaded by its bare name as the program loads it. Each answer
// lands in a buffer followed by guard bytes, and the fields at the ends of the structures are
// read back, so a module of another layout (a wider CK_ULONG, other packing) fails here.

#include "SimFixture.h"
#include "sim/cardmodule/module/Pkcs11Extra.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <set>

using QuendrySim::DialogAnswer;

namespace
{
constexpr unsigned char kGuard = 0xA5;
constexpr int kAcosCard = 1; // RSA encryption key, a chip that answers C_Register

// A value followed by guard bytes that a module writing more than the value's size breaks.
template <typename T> struct Guarded
{
    T value;
    std::array<unsigned char, 16> guard;

    Guarded()
    {
        std::memset(static_cast<void*>(&value), kGuard, sizeof value);
        guard.fill(kGuard);
    }
    bool Intact() const
    {
        return std::all_of(guard.begin(), guard.end(), [](unsigned char b) { return b == kGuard; });
    }
};

// The names in the DLL's export table, read from the loaded image.
std::set<std::string> ExportedNames(HMODULE module)
{
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::set<std::string> names;
    if (entry.Size == 0)
        return names;
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const auto* nameOffsets = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.insert(reinterpret_cast<const char*>(base + nameOffsets[i]));
    return names;
}

const std::set<std::string> kExpectedExports = {"C_Initialize",
                                                "C_Finalize",
                                                "C_GetInfo",
                                                "C_GetFunctionList",
                                                "C_GetSlotList",
                                                "C_GetSlotInfo",
                                                "C_GetTokenInfo",
                                                "C_GetMechanismList",
                                                "C_GetMechanismInfo",
                                                "C_OpenSession",
                                                "C_CloseSession",
                                                "C_CloseAllSessions",
                                                "C_GetSessionInfo",
                                                "C_Login",
                                                "C_Logout",
                                                "C_FindObjectsInit",
                                                "C_FindObjects",
                                                "C_FindObjectsFinal",
                                                "C_GetAttributeValue",
                                                "C_SetAttributeValue",
                                                "C_SignInit",
                                                "C_Sign",
                                                "C_VerifyInit",
                                                "C_Verify",
                                                "C_CardTransmit",
                                                "C_CardAttribute",
                                                "C_Register"};

// The exports the wrapper does not bind, with types made of the wrapper's own declarations.
using GetMechanismList = CK_RV(QCK_CALL*)(CK_SLOT_ID, CK_MECHANISM_TYPE*, CK_ULONG*);
using GetMechanismInfo = CK_RV(QCK_CALL*)(CK_SLOT_ID, CK_MECHANISM_TYPE,
                                          QuendrySim::MechanismInfo*);
using CloseAllSessions = CK_RV(QCK_CALL*)(CK_SLOT_ID);

class SimExports : public SimCards
{
protected:
    void SetUp() override
    {
        SimCards::SetUp();
        // The bare name: found beside the test program, as the program finds its module.
        Corvane::acPKCS11::SetModuleFile("");
        Start();
        ASSERT_TRUE(module.Load("quendryp11.dll"));
        card = CardOfType(set, kAcosCard);
        slot = static_cast<CK_SLOT_ID>(kAcosCard + 1);
    }

    template <typename Function> Function Export(const char* name) const
    {
        return reinterpret_cast<Function>(module.Symbol(name));
    }

    CK_OBJECT_HANDLE FindKey(CK_SESSION_HANDLE session, const char* label)
    {
        CK_OBJECT_CLASS keyClass = CKO_PRIVATE_KEY;
        CK_ATTRIBUTE search[] = {
            {CKA_CLASS, &keyClass, sizeof keyClass},
            {CKA_LABEL, const_cast<char*>(label), static_cast<CK_ULONG>(std::strlen(label))}};
        Guarded<std::array<CK_OBJECT_HANDLE, 2>> found;
        Guarded<CK_ULONG> count;
        EXPECT_EQ(CKR_OK, F().C_FindObjectsInit(session, search, 2));
        EXPECT_EQ(CKR_OK, F().C_FindObjects(session, found.value.data(), 2, &count.value));
        EXPECT_EQ(CKR_OK, F().C_FindObjectsFinal(session));
        EXPECT_TRUE(found.Intact() && count.Intact());
        EXPECT_EQ(1u, count.value) << label;
        return found.value[0];
    }

    static const Corvane::ModuleFunctions& F() { return Corvane::acPKCS11::Functions(); }

    QuendrySim::CardSet set = env.Load();
    QuendrySim::Card card;
    CK_SLOT_ID slot = 0;
    platform::SharedModule module;
};

TEST_F(SimExports, EveryExportAnswersInTheWindowsLayout)
{
    const HMODULE loaded = GetModuleHandleA("quendryp11.dll");
    ASSERT_NE(nullptr, loaded);
    EXPECT_EQ(kExpectedExports, ExportedNames(loaded)) << "exported by name, nothing else";

    Guarded<CK_INFO> info;
    ASSERT_EQ(CKR_OK, F().C_GetInfo(&info.value));
    EXPECT_TRUE(info.Intact());
    EXPECT_EQ(2, info.value.cryptokiVersion.major);
    EXPECT_EQ(1, info.value.libraryVersion.major);

    Guarded<CK_ULONG> count;
    ASSERT_EQ(CKR_OK, F().C_GetSlotList(CK_TRUE, nullptr, &count.value));
    EXPECT_TRUE(count.Intact());
    EXPECT_EQ(9u, count.value);
    Guarded<std::array<CK_SLOT_ID, 9>> slotIds;
    ASSERT_EQ(CKR_OK, F().C_GetSlotList(CK_TRUE, slotIds.value.data(), &count.value));
    EXPECT_TRUE(slotIds.Intact());
    EXPECT_EQ(slot, slotIds.value[kAcosCard]);

    Guarded<CK_SLOT_INFO> slotInfo;
    ASSERT_EQ(CKR_OK, F().C_GetSlotInfo(slot, &slotInfo.value));
    EXPECT_TRUE(slotInfo.Intact());
    EXPECT_TRUE(slotInfo.value.flags & CKF_TOKEN_PRESENT);
    EXPECT_EQ(1, slotInfo.value.firmwareVersion.major);

    Guarded<CK_TOKEN_INFO> tokenInfo;
    ASSERT_EQ(CKR_OK, F().C_GetTokenInfo(slot, &tokenInfo.value));
    EXPECT_TRUE(tokenInfo.Intact());
    EXPECT_EQ(card.serial, std::string(reinterpret_cast<const char*>(tokenInfo.value.serialNumber),
                                       sizeof tokenInfo.value.serialNumber));
    EXPECT_EQ(8u, tokenInfo.value.ulMaxPinLen);
    EXPECT_EQ(1, tokenInfo.value.firmwareVersion.major);
    EXPECT_EQ(' ', tokenInfo.value.utcTime[15]);

    Guarded<std::array<CK_MECHANISM_TYPE, 8>> mechanisms;
    count.value = static_cast<CK_ULONG>(mechanisms.value.size());
    ASSERT_EQ(CKR_OK, Export<GetMechanismList>("C_GetMechanismList")(slot, mechanisms.value.data(),
                                                                     &count.value));
    EXPECT_TRUE(mechanisms.Intact() && count.Intact());
    EXPECT_NE(
        mechanisms.value.begin() + count.value,
        std::find(mechanisms.value.begin(), mechanisms.value.begin() + count.value, CKM_RSA_PKCS));
    Guarded<QuendrySim::MechanismInfo> mechanism;
    ASSERT_EQ(CKR_OK,
              Export<GetMechanismInfo>("C_GetMechanismInfo")(slot, CKM_RSA_PKCS, &mechanism.value));
    EXPECT_TRUE(mechanism.Intact());
    EXPECT_TRUE(mechanism.value.flags & QuendrySim::kMechanismSign);

    Guarded<CK_SESSION_HANDLE> session;
    ASSERT_EQ(CKR_OK,
              F().C_OpenSession(slot, CKF_SERIAL_SESSION, nullptr, nullptr, &session.value));
    EXPECT_TRUE(session.Intact());
    Guarded<CK_SESSION_INFO> sessionInfo;
    ASSERT_EQ(CKR_OK, F().C_GetSessionInfo(session.value, &sessionInfo.value));
    EXPECT_TRUE(sessionInfo.Intact());
    EXPECT_EQ(slot, sessionInfo.value.slotID);
    EXPECT_TRUE(sessionInfo.value.flags & CKF_SERIAL_SESSION);
    EXPECT_EQ(0u, sessionInfo.value.ulDeviceError);

    std::string pin = card.FindPin(card.loginPin)->value;
    ASSERT_EQ(CKR_OK,
              F().C_Login(session.value, CKU_USER, reinterpret_cast<CK_UTF8CHAR*>(pin.data()),
                          static_cast<CK_ULONG>(pin.size())));
    const CK_OBJECT_HANDLE key = FindKey(session.value, "SK.CH.EKEY");

    Guarded<CK_KEY_TYPE> keyType;
    Guarded<CK_ULONG> bits;
    CK_ATTRIBUTE read[] = {{CKA_KEY_TYPE, &keyType.value, sizeof keyType.value},
                           {CKA_MODULUS_BITS, &bits.value, sizeof bits.value}};
    ASSERT_EQ(CKR_OK, F().C_GetAttributeValue(session.value, key, read, 2));
    EXPECT_TRUE(keyType.Intact() && bits.Intact());
    EXPECT_EQ(CKK_RSA, keyType.value);
    EXPECT_EQ(1536u, bits.value);
    EXPECT_EQ(sizeof(CK_ULONG), read[1].ulValueLen);

    Script({DialogAnswer::Enter({pin, pin})});
    CK_BYTE unchanged = 0;
    CK_ATTRIBUTE change{CKA_QUENDRY_CHANGE_PIN, &unchanged, 1};
    EXPECT_EQ(CKR_OK, F().C_SetAttributeValue(session.value, key, &change, 1));

    CK_MECHANISM rsa{CKM_RSA_PKCS, nullptr, 0};
    std::array<CK_BYTE, 20> data{};
    data.fill(0x5A);
    ASSERT_EQ(CKR_OK, F().C_SignInit(session.value, &rsa, key));
    Guarded<std::array<CK_BYTE, 192>> signature;
    Guarded<CK_ULONG> length;
    length.value = static_cast<CK_ULONG>(signature.value.size());
    ASSERT_EQ(CKR_OK, F().C_Sign(session.value, data.data(), static_cast<CK_ULONG>(data.size()),
                                 signature.value.data(), &length.value));
    EXPECT_TRUE(signature.Intact() && length.Intact());
    EXPECT_EQ(192u, length.value);
    ASSERT_EQ(CKR_OK, F().C_VerifyInit(session.value, &rsa, key));
    EXPECT_EQ(CKR_OK, F().C_Verify(session.value, data.data(), static_cast<CK_ULONG>(data.size()),
                                   signature.value.data(), length.value));

    CK_BYTE selectMaster[] = {0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00};
    Guarded<std::array<CK_BYTE, 16>> response;
    length.value = static_cast<CK_ULONG>(response.value.size());
    ASSERT_EQ(CKR_OK, F().C_CardTransmit(session.value, selectMaster, sizeof selectMaster,
                                         response.value.data(), &length.value));
    EXPECT_TRUE(response.Intact() && length.Intact());
    ASSERT_EQ(2u, length.value);
    EXPECT_EQ(0x90, response.value[0]);

    Guarded<std::array<CK_BYTE, 64>> atr;
    length.value = static_cast<CK_ULONG>(atr.value.size());
    ASSERT_EQ(CKR_OK, F().C_CardAttribute(session.value, "ATR", atr.value.data(), &length.value));
    EXPECT_TRUE(atr.Intact() && length.Intact());
    EXPECT_EQ(card.atr, ByteVector(atr.value.begin(), atr.value.begin() + length.value));

    Guarded<std::array<CK_BYTE, Corvane::REGISTER_OUTPUT_SIZE>> output;
    ASSERT_EQ(CKR_OK, F().C_Register(session.value, 0, nullptr, output.value.data(),
                                     static_cast<CK_ULONG>(output.value.size())));
    EXPECT_TRUE(output.Intact());
    EXPECT_EQ(card.chipId,
              ByteVector(output.value.begin(), output.value.begin() + card.chipId.size()));

    EXPECT_EQ(CKR_OK, F().C_Logout(session.value));
    EXPECT_EQ(CKR_OK, F().C_CloseSession(session.value));
    ASSERT_EQ(CKR_OK,
              F().C_OpenSession(slot, CKF_SERIAL_SESSION, nullptr, nullptr, &session.value));
    EXPECT_EQ(CKR_OK, Export<CloseAllSessions>("C_CloseAllSessions")(slot));
    EXPECT_EQ(CKR_SESSION_HANDLE_INVALID, F().C_GetSessionInfo(session.value, &sessionInfo.value));

    Guarded<CK_FUNCTION_LIST*> list;
    ASSERT_EQ(CKR_OK, Export<CK_C_GetFunctionList>("C_GetFunctionList")(&list.value));
    EXPECT_TRUE(list.Intact());
    EXPECT_EQ(F().C_Sign, list.value->C_Sign) << "the list holds the exported functions";
    EXPECT_EQ(F().C_Verify, list.value->C_Verify);

    wrapper->Destroy();
    std::set<std::string> answered = {"C_GetFunctionList"}; // its answer is checked above
    for (const auto& record : env.Calls())
    {
        if (record.rv == CKR_OK)
            answered.insert(record.function);
    }
    answered.erase("dialog");
    EXPECT_EQ(kExpectedExports, answered) << "every export answered CKR_OK once at least";
}
} // namespace
