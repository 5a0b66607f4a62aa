// Forwards every function the wrapper binds to SoftHSM2, unchanged but for one thing: SoftHSM2's
// slots do not say CKF_REMOVABLE_DEVICE, which the card list requires of a card reader.
#include "token/Pkcs11Types.h"

#include <dlfcn.h>

namespace
{
void* SoftHsm()
{
    static void* module = dlopen(QUENDRY_SOFTHSM_MODULE, RTLD_NOW | RTLD_LOCAL);
    return module;
}

template <typename Function> Function Target(const char* name)
{
    return SoftHsm() ? reinterpret_cast<Function>(dlsym(SoftHsm(), name)) : nullptr;
}
} // namespace

#define QUENDRY_FORWARD(name, parameters, arguments)                                               \
    extern "C" QCK_EXPORT CK_RV name parameters                                                    \
    {                                                                                              \
        static const auto target = Target<CK_##name>(#name);                                       \
        return target ? target arguments : CKR_FUNCTION_NOT_SUPPORTED;                             \
    }

QUENDRY_FORWARD(C_Initialize, (CK_VOID_PTR a), (a))
QUENDRY_FORWARD(C_Finalize, (CK_VOID_PTR a), (a))
QUENDRY_FORWARD(C_GetInfo, (CK_INFO * a), (a))
QUENDRY_FORWARD(C_GetSlotList, (CK_BBOOL a, CK_SLOT_ID* b, CK_ULONG* c), (a, b, c))
QUENDRY_FORWARD(C_GetTokenInfo, (CK_SLOT_ID a, CK_TOKEN_INFO* b), (a, b))
QUENDRY_FORWARD(C_OpenSession,
                (CK_SLOT_ID a, CK_FLAGS b, CK_VOID_PTR c, CK_NOTIFY d, CK_SESSION_HANDLE* e),
                (a, b, c, d, e))
QUENDRY_FORWARD(C_CloseSession, (CK_SESSION_HANDLE a), (a))
QUENDRY_FORWARD(C_GetSessionInfo, (CK_SESSION_HANDLE a, CK_SESSION_INFO* b), (a, b))
QUENDRY_FORWARD(C_Login, (CK_SESSION_HANDLE a, CK_USER_TYPE b, CK_UTF8CHAR* c, CK_ULONG d),
                (a, b, c, d))
QUENDRY_FORWARD(C_Logout, (CK_SESSION_HANDLE a), (a))
QUENDRY_FORWARD(C_GetAttributeValue,
                (CK_SESSION_HANDLE a, CK_OBJECT_HANDLE b, CK_ATTRIBUTE* c, CK_ULONG d),
                (a, b, c, d))
QUENDRY_FORWARD(C_SetAttributeValue,
                (CK_SESSION_HANDLE a, CK_OBJECT_HANDLE b, CK_ATTRIBUTE* c, CK_ULONG d),
                (a, b, c, d))
QUENDRY_FORWARD(C_FindObjectsInit, (CK_SESSION_HANDLE a, CK_ATTRIBUTE* b, CK_ULONG c), (a, b, c))
QUENDRY_FORWARD(C_FindObjects, (CK_SESSION_HANDLE a, CK_OBJECT_HANDLE* b, CK_ULONG c, CK_ULONG* d),
                (a, b, c, d))
QUENDRY_FORWARD(C_FindObjectsFinal, (CK_SESSION_HANDLE a), (a))
QUENDRY_FORWARD(C_SignInit, (CK_SESSION_HANDLE a, CK_MECHANISM* b, CK_OBJECT_HANDLE c), (a, b, c))
QUENDRY_FORWARD(C_Sign, (CK_SESSION_HANDLE a, CK_BYTE* b, CK_ULONG c, CK_BYTE* d, CK_ULONG* e),
                (a, b, c, d, e))
QUENDRY_FORWARD(C_VerifyInit, (CK_SESSION_HANDLE a, CK_MECHANISM* b, CK_OBJECT_HANDLE c), (a, b, c))
QUENDRY_FORWARD(C_Verify, (CK_SESSION_HANDLE a, CK_BYTE* b, CK_ULONG c, CK_BYTE* d, CK_ULONG e),
                (a, b, c, d, e))

extern "C" QCK_EXPORT CK_RV C_GetSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO* info)
{
    static const auto target = Target<CK_C_GetSlotInfo>("C_GetSlotInfo");
    const CK_RV rv = target ? target(slot, info) : CKR_FUNCTION_NOT_SUPPORTED;
    if (rv == CKR_OK)
        info->flags |= CKF_REMOVABLE_DEVICE;
    return rv;
}
