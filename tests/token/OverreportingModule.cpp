// A card module that fills the buffers it is given but reports more than fits into them: more
// slot ids, more found objects, longer attribute values, signatures, responses and answers to
// reset. It has no C_SetAttributeValue, and it counts the calls and the sessions it gets.
#include "token/Pkcs11Types.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr CK_ULONG kSlots = 2;
constexpr CK_ULONG kExcess = 100;
constexpr CK_ULONG kSignatureLength = 16;
constexpr CK_SESSION_HANDLE kSession = 7;
int g_calls = 0;
int g_sessions = 0;

CK_RV Counted()
{
    ++g_calls;
    return CKR_OK;
}

template <size_t N> void Fill(CK_UTF8CHAR (&field)[N], const char* text)
{
    std::memset(field, ' ', N);
    std::memcpy(field, text, std::min(N, std::strlen(text)));
}

// Fills the whole buffer with a pattern, then claims more.
void Overfill(CK_BYTE* buffer, CK_ULONG* length)
{
    if (buffer)
        std::memset(buffer, 0x5A, *length);
    *length += kExcess;
}
} // namespace

extern "C" {
QCK_EXPORT int quendry_overreport_calls()
{
    return g_calls;
}

QCK_EXPORT int quendry_overreport_sessions()
{
    return g_sessions;
}

QCK_EXPORT CK_RV C_Initialize(CK_VOID_PTR)
{
    return Counted();
}

QCK_EXPORT CK_RV C_Finalize(CK_VOID_PTR)
{
    return Counted();
}

QCK_EXPORT CK_RV C_GetInfo(CK_INFO* info)
{
    std::memset(info, 0, sizeof *info);
    return Counted();
}

QCK_EXPORT CK_RV C_GetSlotList(CK_BBOOL, CK_SLOT_ID* list, CK_ULONG* count)
{
    if (list)
    {
        for (CK_ULONG i = 0; i < std::min(*count, kSlots); ++i)
            list[i] = i + 1;
        *count = kSlots + kExcess;
    }
    else
        *count = kSlots;
    return Counted();
}

QCK_EXPORT CK_RV C_GetSlotInfo(CK_SLOT_ID, CK_SLOT_INFO* info)
{
    std::memset(info, 0, sizeof *info);
    info->flags = CKF_TOKEN_PRESENT | CKF_REMOVABLE_DEVICE;
    return Counted();
}

QCK_EXPORT CK_RV C_GetTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO* info)
{
    std::memset(info, 0, sizeof *info);
    Fill(info->label, "Overreporting card");
    Fill(info->manufacturerID, "Quendry");
    Fill(info->model, "CardOS 5.3");
    Fill(info->serialNumber, slot == 1 ? "1111111111110001" : "2222222222220002");
    return Counted();
}

QCK_EXPORT CK_RV C_OpenSession(CK_SLOT_ID, CK_FLAGS, CK_VOID_PTR, CK_NOTIFY,
                               CK_SESSION_HANDLE* session)
{
    *session = kSession;
    ++g_sessions;
    return Counted();
}

QCK_EXPORT CK_RV C_CloseSession(CK_SESSION_HANDLE)
{
    return Counted();
}

QCK_EXPORT CK_RV C_FindObjectsInit(CK_SESSION_HANDLE, CK_ATTRIBUTE*, CK_ULONG)
{
    return Counted();
}

QCK_EXPORT CK_RV C_FindObjects(CK_SESSION_HANDLE, CK_OBJECT_HANDLE* objects, CK_ULONG max,
                               CK_ULONG* found)
{
    for (CK_ULONG i = 0; i < max; ++i)
        objects[i] = i + 1;
    *found = max + kExcess;
    return Counted();
}

QCK_EXPORT CK_RV C_FindObjectsFinal(CK_SESSION_HANDLE)
{
    return Counted();
}

// Every label reads "C.CH.SIG" followed by the pattern, every key as RSA.
QCK_EXPORT CK_RV C_GetAttributeValue(CK_SESSION_HANDLE, CK_OBJECT_HANDLE, CK_ATTRIBUTE* tmpl,
                                     CK_ULONG count)
{
    for (CK_ULONG i = 0; i < count; ++i)
    {
        auto* value = static_cast<CK_BYTE*>(tmpl[i].pValue);
        Overfill(value, &tmpl[i].ulValueLen);
        if (tmpl[i].type == CKA_LABEL)
            std::memcpy(value, "C.CH.SIG", 8);
        if (tmpl[i].type == CKA_KEY_TYPE)
            std::memset(value, 0, sizeof(CK_KEY_TYPE));
    }
    return Counted();
}

QCK_EXPORT CK_RV C_SignInit(CK_SESSION_HANDLE, CK_MECHANISM*, CK_OBJECT_HANDLE)
{
    return Counted();
}

QCK_EXPORT CK_RV C_Sign(CK_SESSION_HANDLE, CK_BYTE*, CK_ULONG, CK_BYTE* signature, CK_ULONG* length)
{
    if (signature)
        Overfill(signature, length);
    else
        *length = kSignatureLength;
    return Counted();
}

QCK_EXPORT CK_RV C_CardTransmit(CK_SESSION_HANDLE, CK_BYTE*, CK_ULONG, CK_BYTE* response,
                                CK_ULONG* length)
{
    Overfill(response, length);
    return Counted();
}

QCK_EXPORT CK_RV C_CardAttribute(CK_SESSION_HANDLE, const char*, CK_BYTE* buffer, CK_ULONG* length)
{
    Overfill(buffer, length);
    return Counted();
}
}
