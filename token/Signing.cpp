#include "token/AttributeRequest.h"
#include "token/acPKCS11.h"

namespace Corvane
{
namespace
{
constexpr CK_ULONG kMaxObjects = 10;

bool MechanismOf(CK_KEY_TYPE keyType, CK_MECHANISM_TYPE& mechanism)
{
    if (keyType == CKK_RSA)
        mechanism = CKM_RSA_PKCS;
    else if (keyType == CKK_EC)
        mechanism = CKM_ECDSA;
    else
        return false;
    return true;
}

bool BeginsWith(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}
} // namespace

bool acPKCS11::FindSigningKey(const std::string& keyLabel, CK_OBJECT_HANDLE& key,
                              CK_MECHANISM_TYPE& mechanism)
{
    std::vector<CK_OBJECT_HANDLE> keys;
    if (!SearchObjects(CKO_PRIVATE_KEY, nullptr, kMaxObjects, keys))
        return false;
    ByteVector keyType;
    const auto labelled = [&keyLabel](const std::string& label)
    { return BeginsWith(label, keyLabel); };
    return FirstObjectByLabel(keys, labelled, CKA_KEY_TYPE, sizeof(CK_KEY_TYPE), key, keyType) &&
           MechanismOf(ULongValue(keyType), mechanism);
}

bool acPKCS11::FindVerifyingKey(const std::string& keyLabel, CK_OBJECT_HANDLE& key,
                                CK_MECHANISM_TYPE& mechanism)
{
    std::vector<CK_OBJECT_HANDLE> keys;
    if (!SearchObjects(CKO_PUBLIC_KEY, keyLabel.c_str(), kMaxObjects, keys) || keys.empty())
        return false;
    key = keys.front();
    AttributeRequest request;
    const size_t typeIndex = request.Add(CKA_KEY_TYPE, sizeof(CK_KEY_TYPE));
    return request.Read(m_session, key) == CKR_OK &&
           MechanismOf(ULongValue(request.Bytes(typeIndex)), mechanism);
}

bool acPKCS11::Sign(const std::string& keyLabel, const ByteVector& data, ByteVector& signature)
{
    const ModuleFunctions& module = Functions();
    CK_OBJECT_HANDLE key = 0;
    CK_MECHANISM mechanism = {0, nullptr, 0};
    if (!HasSession() || !module.C_SignInit || !module.C_Sign ||
        !FindSigningKey(keyLabel, key, mechanism.mechanism))
        return false;
    LogDebugValue("Sign with", keyLabel);
    CK_RV rv = module.C_SignInit(m_session, &mechanism, key);
    ByteVector input(data);
    CK_ULONG length = 0;
    if (rv == CKR_OK)
        rv = module.C_Sign(m_session, input.data(), static_cast<CK_ULONG>(input.size()), nullptr,
                           &length);
    if (rv != CKR_OK || length == 0)
    {
        LogErrorCode("C_Sign failed ", static_cast<uint32_t>(rv));
        return false;
    }
    ByteVector buffer(length);
    CK_ULONG written = length;
    rv = module.C_Sign(m_session, input.data(), static_cast<CK_ULONG>(input.size()), buffer.data(),
                       &written);
    if (rv != CKR_OK || written == 0)
    {
        LogErrorCode("C_Sign failed ", static_cast<uint32_t>(rv));
        return false;
    }
    signature.insert(signature.end(), buffer.begin(), buffer.begin() + std::min(written, length));
    return true;
}

bool acPKCS11::Verify(const std::string& keyLabel, const ByteVector& signature,
                      const ByteVector& data)
{
    const ModuleFunctions& module = Functions();
    CK_OBJECT_HANDLE key = 0;
    CK_MECHANISM mechanism = {0, nullptr, 0};
    if (!HasSession() || !module.C_VerifyInit || !module.C_Verify ||
        !FindVerifyingKey(keyLabel, key, mechanism.mechanism))
        return false;
    if (module.C_VerifyInit(m_session, &mechanism, key) != CKR_OK)
        return false;
    ByteVector input(data);
    ByteVector signatureBytes(signature);
    return module.C_Verify(m_session, input.data(), static_cast<CK_ULONG>(input.size()),
                           signatureBytes.data(),
                           static_cast<CK_ULONG>(signatureBytes.size())) == CKR_OK;
}
} // namespace Corvane
