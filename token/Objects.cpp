#include "token/AttributeRequest.h"
#include "token/acPKCS11.h"

#include <algorithm>
#include <cstring>

namespace Corvane
{
namespace
{
constexpr size_t kLabelBuffer = 256;
}

bool acPKCS11::FindObjects(CK_ATTRIBUTE* searchTemplate, CK_ULONG attributeCount,
                           CK_OBJECT_HANDLE* objects, CK_ULONG capacity, CK_ULONG& found)
{
    found = 0;
    const ModuleFunctions& module = Functions();
    if (!HasSession() || !module.C_FindObjectsInit || !module.C_FindObjects ||
        !module.C_FindObjectsFinal)
        return false;
    CK_RV rv = module.C_FindObjectsInit(m_session, searchTemplate, attributeCount);
    if (rv != CKR_OK)
    {
        LogErrorCode("C_FindObjectsInit failed ", static_cast<uint32_t>(rv));
        return false;
    }
    CK_ULONG reported = 0;
    rv = module.C_FindObjects(m_session, objects, capacity, &reported);
    // A started search is always ended, also after a failed C_FindObjects, so the session
    // is free for the next operation.
    const CK_RV finalRv = module.C_FindObjectsFinal(m_session);
    if (rv != CKR_OK || finalRv != CKR_OK)
    {
        LogErrorCode("C_FindObjects failed ", static_cast<uint32_t>(rv != CKR_OK ? rv : finalRv));
        return false;
    }
    found = std::min(reported, capacity);
    return true;
}

bool acPKCS11::SearchObjects(CK_OBJECT_CLASS objectClass, const char* label, CK_ULONG capacity,
                             std::vector<CK_OBJECT_HANDLE>& objects)
{
    CK_ATTRIBUTE searchTemplate[2] = {
        {CKA_CLASS, &objectClass, sizeof objectClass},
        {CKA_LABEL, const_cast<char*>(label),
         label ? static_cast<CK_ULONG>(std::strlen(label)) : 0},
    };
    objects.assign(capacity, 0);
    CK_ULONG found = 0;
    const bool searched =
        FindObjects(searchTemplate, label ? 2 : 1, objects.data(), capacity, found);
    objects.resize(found);
    return searched;
}

bool acPKCS11::FindObject(const char* label, uint32_t objectClass, CK_OBJECT_HANDLE& object)
{
    std::vector<CK_OBJECT_HANDLE> objects;
    if (!SearchObjects(objectClass, label, 1, objects) || objects.size() != 1)
        return false;
    object = objects.front();
    return true;
}
bool acPKCS11::FirstObjectByLabel(const std::vector<CK_OBJECT_HANDLE>& objects,
                                  const std::function<bool(const std::string&)>& accept,
                                  CK_ATTRIBUTE_TYPE extraType, size_t extraCapacity,
                                  CK_OBJECT_HANDLE& found, ByteVector& extraValue)
{
    for (CK_OBJECT_HANDLE object : objects)
    {
        AttributeRequest request;
        const size_t labelIndex = request.Add(CKA_LABEL, kLabelBuffer);
        const size_t extraIndex = extraCapacity ? request.Add(extraType, extraCapacity) : 0;
        if (request.Read(m_session, object) != CKR_OK || !accept(request.Text(labelIndex)))
            continue;
        found = object;
        if (extraCapacity)
            extraValue = request.Bytes(extraIndex);
        return true;
    }
    return false;
}
} // namespace Corvane
