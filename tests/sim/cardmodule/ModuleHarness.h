#pragma once

// Loads a variant of the simulated module the way a PKCS#11 client does and offers short helpers
// for the calls the tests repeat.

#include "platform/SharedModule.h"
#include "sim/cardmodule/testsupport/SimEnvironment.h"
#include "token/Pkcs11Types.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace SimTest
{
class LoadedModule
{
public:
    explicit LoadedModule(std::string path = QuendrySim::SimEnvironment::ModulePath());

    bool Load();
    void Unload()
    {
        m_module.Unload();
        m_functions = nullptr;
    }
    // C_Initialize; the module reads its card set here.
    CK_RV Initialize() const { return m_functions->C_Initialize(nullptr); }
    CK_RV Finalize() const { return m_functions->C_Finalize(nullptr); }

    const CK_FUNCTION_LIST& F() const { return *m_functions; }
    void* Symbol(const char* name) const { return m_module.Symbol(name); }
    template <typename Function> Function Vendor(const char* name) const
    {
        return reinterpret_cast<Function>(m_module.Symbol(name));
    }

    CK_SESSION_HANDLE Open(CK_SLOT_ID slot) const;
    CK_OBJECT_HANDLE Find(CK_SESSION_HANDLE session, CK_OBJECT_CLASS objectClass,
                          const std::string& label) const;
    std::vector<unsigned char> Value(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                                     CK_ATTRIBUTE_TYPE type) const;
    CK_RV SetPinAttribute(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                          CK_ATTRIBUTE_TYPE type) const;
    CK_RV Sign(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE key, CK_MECHANISM_TYPE mechanism,
               const std::vector<unsigned char>& data, std::vector<unsigned char>& signature) const;
    std::vector<unsigned char> Transmit(CK_SESSION_HANDLE session, const std::string& hex) const;

private:
    std::string m_path;
    platform::SharedModule m_module;
    CK_FUNCTION_LIST* m_functions = nullptr;
};

// Slot ids of the generated card set: card type + 1; the empty reader is 10.
inline CK_SLOT_ID SlotOfType(int cardType)
{
    return static_cast<CK_SLOT_ID>(cardType + 1);
}
constexpr CK_SLOT_ID kEmptySlot = 10;

// An object guarded by a PIN of the generated card set, and the PIN's name there.
struct PinOwner
{
    int cardType;
    CK_OBJECT_CLASS objectClass;
    const char* label;
    const char* pinName;
};
inline const PinOwner kSig1{1, CKO_PRIVATE_KEY, "SK.CH.SIG", "SIG"};
inline const PinOwner kSig2{2, CKO_PRIVATE_KEY, "SK.CH.SIG", "SIG"};
inline const PinOwner kSig4{4, CKO_PRIVATE_KEY, "SK.CH.SIG", "SIG"};
inline const PinOwner kEnc2{2, CKO_PRIVATE_KEY, "SK.CH.EKEY", "ENC"};
inline const PinOwner kEnc7{7, CKO_PRIVATE_KEY, "SK.CH.EKEY", "ENC"};
inline const PinOwner kInfobox0{0, CKO_DATA, "PERSONENBINDUNG", "INFOBOX"};

std::vector<unsigned char> Bytes(const std::string& hex);
std::string Hex(const std::vector<unsigned char>& bytes);

// A private card set and the module loaded and initialised on it.
class ModuleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(env.Ready());
        ASSERT_TRUE(module.Load());
        ASSERT_EQ(CKR_OK, module.Initialize());
    }
    void TearDown() override { module.Finalize(); }

    QuendrySim::SimEnvironment env;
    LoadedModule module;
};
} // namespace SimTest
