#include "token/acPKCS11.h"

#include <algorithm>
#include <iostream>

namespace Corvane
{
namespace
{
// Process-wide: one module serves every wrapper object.
ModuleFunctions g_functions;
bool g_initialised = false;
std::string g_moduleFile;

constexpr size_t kMaxSlots = 128;
constexpr size_t kLabelLength = 32;
constexpr size_t kSerialLength = 16;
const std::string kEmptySerial = "0000000000000000";

std::string ModuleFile()
{
    return g_moduleFile.empty() ? platform::SharedModule::FileName("quendryp11") : g_moduleFile;
}

template <size_t Size> std::string FixedText(const CK_UTF8CHAR (&field)[Size])
{
    return std::string(reinterpret_cast<const char*>(field), Size);
}

// Up to the first zero byte, at most maxLength characters.
template <size_t Size> std::string ZeroCutText(const CK_UTF8CHAR (&field)[Size], size_t maxLength)
{
    const size_t limit = std::min(Size, maxLength);
    const auto* begin = reinterpret_cast<const char*>(field);
    return std::string(begin, std::find(begin, begin + limit, '\0'));
}
} // namespace

acPKCS11::acPKCS11()
{
    Init();
}

// The owner calls Destroy first; a wrapper still holding the module releases it here so the
// process is never left with a table into an unloaded library.
acPKCS11::~acPKCS11()
{
    Destroy();
}

const ModuleFunctions& acPKCS11::Functions()
{
    return g_functions;
}

void acPKCS11::SetModuleFile(const std::string& file)
{
    g_moduleFile = file;
}

bool acPKCS11::Init()
{
    if (g_initialised)
        return true;
    LogDebug("Init: loading the card module");
    if (!m_module.Load(ModuleFile()))
    {
        std::cerr << "LoadLibrary/GetProcAddress failed" << std::endl;
        return false;
    }
    g_functions = BindModuleFunctions(m_module);
    if (!InitLoadedModule())
    {
        // Unloading lets the next Init start from a fresh module instead of one that is
        // initialised already and would refuse C_Initialize.
        g_functions = ModuleFunctions();
        m_module.Unload();
        return false;
    }
    g_initialised = true;
    return true;
}

bool acPKCS11::InitLoadedModule()
{
    if (!g_functions.C_Initialize)
    {
        LogError("Init: C_Initialize missing");
        return false;
    }
    const CK_RV rv = g_functions.C_Initialize(nullptr);
    if (rv != CKR_OK)
    {
        LogErrorCode("C_Initialize failed ", static_cast<uint32_t>(rv));
        return false;
    }
    CK_INFO info{};
    const CK_RV infoRv = g_functions.C_GetInfo ? g_functions.C_GetInfo(&info) : CKR_GENERAL_ERROR;
    if (infoRv != CKR_OK)
    {
        LogErrorCode("C_GetInfo failed ", static_cast<uint32_t>(infoRv));
        if (g_functions.C_Finalize)
            g_functions.C_Finalize(nullptr);
        return false;
    }
    return true;
}

bool acPKCS11::Destroy()
{
    if (m_module.IsLoaded())
    {
        LogDebug("Destroy: unloading the card module");
        if (g_functions.C_Finalize)
            g_functions.C_Finalize(nullptr);
        g_functions = ModuleFunctions();
        m_module.Unload();
        g_initialised = false;
    }
    return true;
}

bool acPKCS11::ReadSlotIds(std::vector<CK_SLOT_ID>& ids, size_t minimumCount)
{
    ids.clear();
    if (!g_functions.C_GetSlotList)
        return false;
    CK_ULONG count = 0;
    CK_RV rv = g_functions.C_GetSlotList(CK_TRUE, nullptr, &count);
    if (rv != CKR_OK)
    {
        LogErrorCode("C_GetSlotList failed ", static_cast<uint32_t>(rv));
        return false;
    }
    if (count < minimumCount)
        return false;
    if (count == 0)
        return true;
    ids.resize(count);
    rv = g_functions.C_GetSlotList(CK_TRUE, ids.data(), &count);
    if (rv != CKR_OK)
    {
        LogErrorCode("C_GetSlotList failed ", static_cast<uint32_t>(rv));
        ids.clear();
        return false;
    }
    ids.resize(std::min<size_t>(count, ids.size()));
    return true;
}

bool acPKCS11::ReadTokenInfo(CK_SLOT_ID slotId, TokenInfo& info)
{
    if (!g_functions.C_GetTokenInfo)
        return false;
    CK_TOKEN_INFO token{};
    const CK_RV rv = g_functions.C_GetTokenInfo(slotId, &token);
    if (rv != CKR_OK)
    {
        LogErrorCode("C_GetTokenInfo failed ", static_cast<uint32_t>(rv));
        return false;
    }
    info.label = FixedText(token.label);
    info.manufacturer = FixedText(token.manufacturerID);
    info.model = FixedText(token.model);
    info.serial = FixedText(token.serialNumber);
    return true;
}

std::unique_ptr<TokenSlot> acPKCS11::ReadSlot(CK_SLOT_ID slotId, bool all)
{
    CK_TOKEN_INFO token{};
    CK_RV rv = g_functions.C_GetTokenInfo(slotId, &token);
    CK_SLOT_INFO slot{};
    if (rv == CKR_OK)
        rv = g_functions.C_GetSlotInfo(slotId, &slot);
    if (rv != CKR_OK)
    {
        LogErrorCode("GetSlots: slot not readable ", static_cast<uint32_t>(rv));
        return nullptr;
    }
    if ((slot.flags & CKF_REMOVABLE_DEVICE) == 0)
        return nullptr;
    auto entry = std::make_unique<TokenSlot>();
    entry->slotId = slotId;
    entry->tokenLabel = ZeroCutText(token.label, kLabelLength);
    entry->tokenSerial = ZeroCutText(token.serialNumber, kSerialLength);
    if (!all && entry->tokenSerial == kEmptySerial)
        return nullptr;
    return entry;
}

bool acPKCS11::GetSlots(std::vector<TokenSlot*>& slots, bool all)
{
    LogDebugValue("GetSlots all", all ? "1" : "0");
    slots.clear();
    m_slots.clear();
    if (!g_functions.C_GetTokenInfo || !g_functions.C_GetSlotInfo)
        return false;
    std::vector<CK_SLOT_ID> ids;
    if (!ReadSlotIds(ids, 0))
        return false;
    if (ids.size() > kMaxSlots)
        ids.resize(kMaxSlots);
    for (CK_SLOT_ID id : ids)
    {
        if (auto entry = ReadSlot(id, all))
            m_slots.push_back(std::move(entry));
    }
    for (const auto& entry : m_slots)
        slots.push_back(entry.get());
    return true;
}

bool acPKCS11::GetTokenInfo(uint32_t index, TokenInfo& info)
{
    std::vector<CK_SLOT_ID> ids;
    if (!ReadSlotIds(ids, static_cast<size_t>(index) + 1) || index >= ids.size())
        return false;
    return ReadTokenInfo(ids[index], info);
}

bool acPKCS11::OpenSession(int index)
{
    LogDebugValue("OpenSession index", std::to_string(index));
    if (index < 0 || static_cast<size_t>(index) >= m_slots.size())
        return false;
    CK_RV rv = CKR_GENERAL_ERROR;
    if (g_functions.C_OpenSession)
        rv = g_functions.C_OpenSession(m_slots[index]->slotId, CKF_SERIAL_SESSION, nullptr, nullptr,
                                       &m_session);
    if (rv != CKR_OK)
    {
        LogErrorCode("C_OpenSession failed ", static_cast<uint32_t>(rv));
        m_session = 0;
        return false;
    }
    m_currentIndex = index;
    return true;
}

bool acPKCS11::CloseSession()
{
    if (g_functions.C_CloseSession)
        g_functions.C_CloseSession(m_session);
    m_currentIndex = -1;
    return true;
}
} // namespace Corvane
