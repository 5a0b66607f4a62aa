// The module's exported entry points. Which of them a variant of the module exports is decided at
// link time by its symbol list; everything else stays hidden.

#include "sim/cardmodule/module/Module.h"

#include <cstddef>

using QuendrySim::CallLogLine;
using QuendrySim::Module;
using QuendrySim::TheModule;

namespace
{
CallLogLine& WithSession(CallLogLine& line, CK_SESSION_HANDLE session)
{
    line.AddNumber("session", session);
    return line;
}

CallLogLine& WithSlot(CallLogLine& line, CK_SLOT_ID slot)
{
    line.AddNumber("slot", slot);
    return line;
}

CK_RV NotSupported()
{
    return CKR_FUNCTION_NOT_SUPPORTED;
}
} // namespace

extern "C" {

SIM_EXPORT CK_RV C_Initialize(CK_VOID_PTR)
{
    return TheModule().CallUninitialized("C_Initialize", [&](CallLogLine& line)
                                         { return TheModule().Initialize(line); });
}

SIM_EXPORT CK_RV C_Finalize(CK_VOID_PTR reserved)
{
    return TheModule().CallUninitialized(
        "C_Finalize", [&](CallLogLine& line)
        { return reserved ? CKR_ARGUMENTS_BAD : TheModule().Finalize(line); });
}

SIM_EXPORT CK_RV C_GetInfo(CK_INFO* info)
{
    return TheModule().Call("C_GetInfo", [&](CallLogLine&) { return TheModule().GetInfo(info); });
}

SIM_EXPORT CK_RV C_GetSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID* list, CK_ULONG* count)
{
    return TheModule().Call("C_GetSlotList", [&](CallLogLine& line)
                            { return TheModule().GetSlotList(tokenPresent, list, count, line); });
}

SIM_EXPORT CK_RV C_GetSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO* info)
{
    return TheModule().Call("C_GetSlotInfo",
                            [&](CallLogLine& line)
                            {
                                WithSlot(line, slot);
                                return TheModule().GetSlotInfo(slot, info);
                            });
}

SIM_EXPORT CK_RV C_GetTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO* info)
{
    return TheModule().Call("C_GetTokenInfo",
                            [&](CallLogLine& line)
                            {
                                WithSlot(line, slot);
                                return TheModule().GetTokenInfo(slot, info);
                            });
}

SIM_EXPORT CK_RV C_GetMechanismList(CK_SLOT_ID slot, CK_MECHANISM_TYPE* list, CK_ULONG* count)
{
    return TheModule().Call("C_GetMechanismList",
                            [&](CallLogLine& line)
                            {
                                WithSlot(line, slot);
                                return TheModule().GetMechanismList(slot, list, count);
                            });
}

SIM_EXPORT CK_RV C_GetMechanismInfo(CK_SLOT_ID slot, CK_MECHANISM_TYPE type,
                                    QuendrySim::MechanismInfo* info)
{
    return TheModule().Call("C_GetMechanismInfo",
                            [&](CallLogLine& line)
                            {
                                WithSlot(line, slot).AddCode("mechanism", type);
                                return TheModule().GetMechanismInfo(slot, type, info);
                            });
}

SIM_EXPORT CK_RV C_OpenSession(CK_SLOT_ID slot, CK_FLAGS flags, CK_VOID_PTR, CK_NOTIFY,
                               CK_SESSION_HANDLE* session)
{
    return TheModule().Call("C_OpenSession",
                            [&](CallLogLine& line)
                            {
                                WithSlot(line, slot).AddCode("flags", flags);
                                CK_RV rv = TheModule().OpenSession(slot, flags, session);
                                if (rv == CKR_OK)
                                    line.AddNumber("session", *session);
                                return rv;
                            });
}

SIM_EXPORT CK_RV C_CloseSession(CK_SESSION_HANDLE session)
{
    return TheModule().Call("C_CloseSession",
                            [&](CallLogLine& line)
                            {
                                WithSession(line, session);
                                return TheModule().CloseSession(session);
                            });
}

SIM_EXPORT CK_RV C_CloseAllSessions(CK_SLOT_ID slot)
{
    return TheModule().Call("C_CloseAllSessions",
                            [&](CallLogLine& line)
                            {
                                WithSlot(line, slot);
                                return TheModule().CloseAllSessions(slot);
                            });
}

SIM_EXPORT CK_RV C_GetSessionInfo(CK_SESSION_HANDLE session, CK_SESSION_INFO* info)
{
    return TheModule().Call("C_GetSessionInfo",
                            [&](CallLogLine& line)
                            {
                                WithSession(line, session);
                                return TheModule().GetSessionInfo(session, info);
                            });
}

SIM_EXPORT CK_RV C_Login(CK_SESSION_HANDLE session, CK_USER_TYPE user, CK_UTF8CHAR* pin,
                         CK_ULONG length)
{
    return TheModule().Call("C_Login",
                            [&](CallLogLine& line)
                            {
                                WithSession(line, session).AddNumber("user", user);
                                line.AddNumber("pinlen", pin ? length : 0);
                                return TheModule().Login(session, user, pin, length);
                            });
}

SIM_EXPORT CK_RV C_Logout(CK_SESSION_HANDLE session)
{
    return TheModule().Call("C_Logout",
                            [&](CallLogLine& line)
                            {
                                WithSession(line, session);
                                return TheModule().Logout(session);
                            });
}

SIM_EXPORT CK_RV C_FindObjectsInit(CK_SESSION_HANDLE session, CK_ATTRIBUTE* tmpl, CK_ULONG count)
{
    return TheModule().Call(
        "C_FindObjectsInit", [&](CallLogLine& line)
        { return TheModule().FindObjectsInit(session, tmpl, count, WithSession(line, session)); });
}

SIM_EXPORT CK_RV C_FindObjects(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE* objects, CK_ULONG max,
                               CK_ULONG* found)
{
    return TheModule().Call("C_FindObjects",
                            [&](CallLogLine& line)
                            {
                                WithSession(line, session).AddNumber("max", max);
                                CK_RV rv = TheModule().FindObjects(session, objects, max, found);
                                if (rv == CKR_OK)
                                    line.AddNumber("found", *found);
                                return rv;
                            });
}

SIM_EXPORT CK_RV C_FindObjectsFinal(CK_SESSION_HANDLE session)
{
    return TheModule().Call("C_FindObjectsFinal",
                            [&](CallLogLine& line)
                            {
                                WithSession(line, session);
                                return TheModule().FindObjectsFinal(session);
                            });
}

SIM_EXPORT CK_RV C_GetAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                                     CK_ATTRIBUTE* tmpl, CK_ULONG count)
{
    return TheModule().Call("C_GetAttributeValue",
                            [&](CallLogLine& line)
                            {
                                return TheModule().GetAttributeValue(session, object, tmpl, count,
                                                                     WithSession(line, session));
                            });
}

SIM_EXPORT CK_RV C_SetAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                                     CK_ATTRIBUTE* tmpl, CK_ULONG count)
{
    return TheModule().Call("C_SetAttributeValue",
                            [&](CallLogLine& line)
                            {
                                return TheModule().SetAttributeValue(session, object, tmpl, count,
                                                                     WithSession(line, session));
                            });
}

SIM_EXPORT CK_RV C_SignInit(CK_SESSION_HANDLE session, CK_MECHANISM* mechanism,
                            CK_OBJECT_HANDLE key)
{
    return TheModule().Call(
        "C_SignInit", [&](CallLogLine& line)
        { return TheModule().SignInit(session, mechanism, key, WithSession(line, session)); });
}

SIM_EXPORT CK_RV C_Sign(CK_SESSION_HANDLE session, CK_BYTE* data, CK_ULONG length,
                        CK_BYTE* signature, CK_ULONG* signatureLength)
{
    return TheModule().Call("C_Sign",
                            [&](CallLogLine& line)
                            {
                                WithSession(line, session).AddNumber("datalen", length);
                                if (!signature)
                                    line.AddNumber("query", 1);
                                return TheModule().Sign(session, data, length, signature,
                                                        signatureLength);
                            });
}

SIM_EXPORT CK_RV C_VerifyInit(CK_SESSION_HANDLE session, CK_MECHANISM* mechanism,
                              CK_OBJECT_HANDLE key)
{
    return TheModule().Call(
        "C_VerifyInit", [&](CallLogLine& line)
        { return TheModule().VerifyInit(session, mechanism, key, WithSession(line, session)); });
}

SIM_EXPORT CK_RV C_Verify(CK_SESSION_HANDLE session, CK_BYTE* data, CK_ULONG length,
                          CK_BYTE* signature, CK_ULONG signatureLength)
{
    return TheModule().Call("C_Verify",
                            [&](CallLogLine& line)
                            {
                                WithSession(line, session).AddNumber("datalen", length);
                                line.AddNumber("siglen", signatureLength);
                                return TheModule().Verify(session, data, length, signature,
                                                          signatureLength);
                            });
}

SIM_EXPORT CK_RV C_CardTransmit(CK_SESSION_HANDLE session, CK_BYTE* command, CK_ULONG length,
                                CK_BYTE* response, CK_ULONG* responseLength)
{
    return TheModule().Call("C_CardTransmit",
                            [&](CallLogLine& line)
                            {
                                return TheModule().CardTransmit(session, command, length, response,
                                                                responseLength,
                                                                WithSession(line, session));
                            });
}

SIM_EXPORT CK_RV C_CardAttribute(CK_SESSION_HANDLE session, const char* name, CK_BYTE* buffer,
                                 CK_ULONG* length)
{
    return TheModule().Call("C_CardAttribute",
                            [&](CallLogLine& line)
                            {
                                WithSession(line, session).Add("name", name ? name : "");
                                return TheModule().CardAttribute(session, name, buffer, length);
                            });
}

SIM_EXPORT CK_RV C_Register(CK_SESSION_HANDLE session, CK_ULONG operation, CK_BYTE* input,
                            CK_BYTE* output, CK_ULONG outputSize)
{
    return TheModule().Call("C_Register",
                            [&](CallLogLine& line)
                            {
                                return TheModule().Register(session, operation, input, output,
                                                            outputSize, WithSession(line, session));
                            });
}

SIM_EXPORT CK_RV C_GetFunctionList(CK_FUNCTION_LIST** list);

} // extern "C"

// Reached only through the function list.
namespace
{
CK_RV UnsupportedPart(const char* function, CK_SESSION_HANDLE session, bool forSigning)
{
    return TheModule().Call(function,
                            [&](CallLogLine& line)
                            {
                                WithSession(line, session);
                                return TheModule().EndWithUnsupportedPart(session, forSigning);
                            });
}

CK_RV C_SignUpdate(CK_SESSION_HANDLE session, CK_BYTE*, CK_ULONG)
{
    return UnsupportedPart("C_SignUpdate", session, true);
}

CK_RV C_SignFinal(CK_SESSION_HANDLE session, CK_BYTE*, CK_ULONG*)
{
    return UnsupportedPart("C_SignFinal", session, true);
}

CK_RV C_VerifyUpdate(CK_SESSION_HANDLE session, CK_BYTE*, CK_ULONG)
{
    return UnsupportedPart("C_VerifyUpdate", session, false);
}

CK_RV C_VerifyFinal(CK_SESSION_HANDLE session, CK_BYTE*, CK_ULONG)
{
    return UnsupportedPart("C_VerifyFinal", session, false);
}

CK_RV RandomCall(const char* function, CK_SESSION_HANDLE session)
{
    return TheModule().Call(function,
                            [&](CallLogLine& line)
                            {
                                WithSession(line, session);
                                return TheModule().Random(session);
                            });
}

CK_RV C_SeedRandom(CK_SESSION_HANDLE session, CK_BYTE*, CK_ULONG)
{
    return RandomCall("C_SeedRandom", session);
}

CK_RV C_GenerateRandom(CK_SESSION_HANDLE session, CK_BYTE*, CK_ULONG)
{
    return RandomCall("C_GenerateRandom", session);
}
} // namespace

namespace
{
template <typename F> CK_GENERIC_FN Generic(F function)
{
    return reinterpret_cast<CK_GENERIC_FN>(function);
}

// Every entry the module does not implement answers CKR_FUNCTION_NOT_SUPPORTED whatever it is
// passed; the table keeps the standard's positions.
CK_FUNCTION_LIST MakeFunctionList()
{
    CK_FUNCTION_LIST list{};
    CK_GENERIC_FN* entries = &list.C_GetFunctionList;
    const size_t count =
        (sizeof list - offsetof(CK_FUNCTION_LIST, C_GetFunctionList)) / sizeof(CK_GENERIC_FN);
    for (size_t i = 0; i < count; ++i)
        entries[i] = Generic(NotSupported);
    list.version = {2, 20};
    list.C_Initialize = C_Initialize;
    list.C_Finalize = C_Finalize;
    list.C_GetInfo = C_GetInfo;
    list.C_GetFunctionList = Generic(C_GetFunctionList);
    list.C_GetSlotList = C_GetSlotList;
    list.C_GetSlotInfo = C_GetSlotInfo;
    list.C_GetTokenInfo = C_GetTokenInfo;
    list.C_GetMechanismList = Generic(C_GetMechanismList);
    list.C_GetMechanismInfo = Generic(C_GetMechanismInfo);
    list.C_OpenSession = C_OpenSession;
    list.C_CloseSession = C_CloseSession;
    list.C_CloseAllSessions = Generic(C_CloseAllSessions);
    list.C_GetSessionInfo = C_GetSessionInfo;
    list.C_Login = C_Login;
    list.C_Logout = C_Logout;
    list.C_GetAttributeValue = C_GetAttributeValue;
    list.C_SetAttributeValue = C_SetAttributeValue;
    list.C_FindObjectsInit = C_FindObjectsInit;
    list.C_FindObjects = C_FindObjects;
    list.C_FindObjectsFinal = C_FindObjectsFinal;
    list.C_SignInit = C_SignInit;
    list.C_Sign = C_Sign;
    list.C_VerifyInit = C_VerifyInit;
    list.C_Verify = C_Verify;
    list.C_SignUpdate = Generic(C_SignUpdate);
    list.C_SignFinal = Generic(C_SignFinal);
    list.C_VerifyUpdate = Generic(C_VerifyUpdate);
    list.C_VerifyFinal = Generic(C_VerifyFinal);
    list.C_SeedRandom = Generic(C_SeedRandom);
    list.C_GenerateRandom = Generic(C_GenerateRandom);
    return list;
}
} // namespace

extern "C" SIM_EXPORT CK_RV C_GetFunctionList(CK_FUNCTION_LIST** list)
{
    static CK_FUNCTION_LIST functions = MakeFunctionList();
    if (!list)
        return CKR_ARGUMENTS_BAD;
    *list = &functions;
    return CKR_OK;
}
