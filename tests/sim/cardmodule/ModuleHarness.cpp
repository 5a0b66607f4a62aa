#include "ModuleHarness.h"

#include "sim/cardmodule/cardset/Hex.h"

namespace SimTest
{
LoadedModule::LoadedModule(std::string path) : m_path(std::move(path)) {}

bool LoadedModule::Load()
{
    if (!m_module.Load(m_path))
        return false;
    auto getList = reinterpret_cast<CK_C_GetFunctionList>(m_module.Symbol("C_GetFunctionList"));
    return getList && getList(&m_functions) == CKR_OK && m_functions;
}

CK_SESSION_HANDLE LoadedModule::Open(CK_SLOT_ID slot) const
{
    CK_SESSION_HANDLE session = 0;
    if (m_functions->C_OpenSession(slot, CKF_SERIAL_SESSION, nullptr, nullptr, &session) != CKR_OK)
        return 0;
    return session;
}

CK_OBJECT_HANDLE LoadedModule::Find(CK_SESSION_HANDLE session, CK_OBJECT_CLASS objectClass,
                                    const std::string& label) const
{
    CK_ATTRIBUTE search[] = {
        {CKA_CLASS, &objectClass, sizeof objectClass},
        {CKA_LABEL, const_cast<char*>(label.data()), static_cast<CK_ULONG>(label.size())}};
    CK_OBJECT_HANDLE found[2] = {};
    CK_ULONG count = 0;
    if (m_functions->C_FindObjectsInit(session, search, 2) != CKR_OK)
        return 0;
    CK_RV rv = m_functions->C_FindObjects(session, found, 2, &count);
    m_functions->C_FindObjectsFinal(session);
    return rv == CKR_OK && count == 1 ? found[0] : 0;
}

std::vector<unsigned char> LoadedModule::Value(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                                               CK_ATTRIBUTE_TYPE type) const
{
    CK_ATTRIBUTE attribute{type, nullptr, 0};
    if (m_functions->C_GetAttributeValue(session, object, &attribute, 1) != CKR_OK)
        return {};
    std::vector<unsigned char> value(attribute.ulValueLen);
    attribute.pValue = value.data();
    if (m_functions->C_GetAttributeValue(session, object, &attribute, 1) != CKR_OK)
        return {};
    value.resize(attribute.ulValueLen);
    return value;
}

CK_RV LoadedModule::SetPinAttribute(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                                    CK_ATTRIBUTE_TYPE type) const
{
    CK_BYTE zero = 0;
    CK_ATTRIBUTE attribute{type, &zero, 1};
    return m_functions->C_SetAttributeValue(session, object, &attribute, 1);
}

CK_RV LoadedModule::Sign(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE key,
                         CK_MECHANISM_TYPE mechanism, const std::vector<unsigned char>& data,
                         std::vector<unsigned char>& signature) const
{
    CK_MECHANISM how{mechanism, nullptr, 0};
    CK_RV rv = m_functions->C_SignInit(session, &how, key);
    if (rv != CKR_OK)
        return rv;
    auto* input = const_cast<CK_BYTE*>(data.data());
    CK_ULONG length = 0;
    rv = m_functions->C_Sign(session, input, static_cast<CK_ULONG>(data.size()), nullptr, &length);
    if (rv != CKR_OK)
        return rv;
    signature.resize(length);
    rv = m_functions->C_Sign(session, input, static_cast<CK_ULONG>(data.size()), signature.data(),
                             &length);
    signature.resize(rv == CKR_OK ? length : 0);
    return rv;
}

std::vector<unsigned char> LoadedModule::Transmit(CK_SESSION_HANDLE session,
                                                  const std::string& hex) const
{
    auto transmit = Vendor<CK_C_CardTransmit>("C_CardTransmit");
    std::vector<unsigned char> command = Bytes(hex);
    std::vector<unsigned char> response(4096);
    CK_ULONG length = static_cast<CK_ULONG>(response.size());
    if (!transmit || transmit(session, command.data(), static_cast<CK_ULONG>(command.size()),
                              response.data(), &length) != CKR_OK)
        return {};
    response.resize(length);
    return response;
}

std::vector<unsigned char> Bytes(const std::string& hex)
{
    ByteVector bytes;
    QuendrySim::FromHex(hex, bytes);
    return bytes;
}

std::string Hex(const std::vector<unsigned char>& bytes)
{
    return QuendrySim::ToHex(bytes);
}
} // namespace SimTest
