#include "token/ModuleFunctions.h"

#include "platform/SharedModule.h"

namespace Corvane
{
namespace
{
template <typename Function>
void Bind(const platform::SharedModule& module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(module.Symbol(name));
}
} // namespace

#define QUENDRY_BIND(name) Bind(module, #name, functions.name)

ModuleFunctions BindModuleFunctions(const platform::SharedModule& module)
{
    ModuleFunctions functions;
    QUENDRY_BIND(C_Initialize);
    QUENDRY_BIND(C_GetSlotList);
    QUENDRY_BIND(C_GetTokenInfo);
    QUENDRY_BIND(C_GetSlotInfo);
    QUENDRY_BIND(C_OpenSession);
    QUENDRY_BIND(C_CloseSession);
    QUENDRY_BIND(C_GetSessionInfo);
    QUENDRY_BIND(C_Login);
    QUENDRY_BIND(C_Logout);
    QUENDRY_BIND(C_FindObjectsInit);
    QUENDRY_BIND(C_FindObjects);
    QUENDRY_BIND(C_FindObjectsFinal);
    QUENDRY_BIND(C_SignInit);
    QUENDRY_BIND(C_Sign);
    QUENDRY_BIND(C_VerifyInit);
    QUENDRY_BIND(C_Verify);
    QUENDRY_BIND(C_GetAttributeValue);
    QUENDRY_BIND(C_SetAttributeValue);
    QUENDRY_BIND(C_GetInfo);
    QUENDRY_BIND(C_Finalize);
    QUENDRY_BIND(C_CardTransmit);
    QUENDRY_BIND(C_CardAttribute);
    QUENDRY_BIND(C_Register);
    return functions;
}

#undef QUENDRY_BIND
} // namespace Corvane
