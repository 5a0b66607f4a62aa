#pragma once

#include "token/Pkcs11Types.h"

namespace platform
{
class SharedModule;
}

namespace Corvane
{
// The card module's functions the wrapper uses, looked up by name; an entry stays null when the
// module does not export it, and every caller tests its entry before the call.
struct ModuleFunctions
{
    CK_C_Initialize C_Initialize = nullptr;
    CK_C_GetSlotList C_GetSlotList = nullptr;
    CK_C_GetTokenInfo C_GetTokenInfo = nullptr;
    CK_C_GetSlotInfo C_GetSlotInfo = nullptr;
    CK_C_OpenSession C_OpenSession = nullptr;
    CK_C_CloseSession C_CloseSession = nullptr;
    CK_C_GetSessionInfo C_GetSessionInfo = nullptr;
    CK_C_Login C_Login = nullptr;
    CK_C_Logout C_Logout = nullptr;
    CK_C_FindObjectsInit C_FindObjectsInit = nullptr;
    CK_C_FindObjects C_FindObjects = nullptr;
    CK_C_FindObjectsFinal C_FindObjectsFinal = nullptr;
    CK_C_SignInit C_SignInit = nullptr;
    CK_C_Sign C_Sign = nullptr;
    CK_C_VerifyInit C_VerifyInit = nullptr;
    CK_C_Verify C_Verify = nullptr;
    CK_C_GetAttributeValue C_GetAttributeValue = nullptr;
    CK_C_SetAttributeValue C_SetAttributeValue = nullptr;
    CK_C_GetInfo C_GetInfo = nullptr;
    CK_C_Finalize C_Finalize = nullptr;
    CK_C_CardTransmit C_CardTransmit = nullptr;
    CK_C_CardAttribute C_CardAttribute = nullptr;
    CK_C_Register C_Register = nullptr;
};

// Looks every function up in the module; absent ones stay null.
ModuleFunctions BindModuleFunctions(const platform::SharedModule& module);
} // namespace Corvane
