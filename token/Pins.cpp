#include "token/acPKCS11.h"

namespace Corvane
{
namespace
{
struct PinObject
{
    const char* label;
    CK_OBJECT_CLASS objectClass;
};

// Indexed by PinTarget.
constexpr PinObject kPinObjects[] = {
    {"SK.CH.SIG", CKO_PRIVATE_KEY},
    {"SK.CH.EKEY", CKO_PRIVATE_KEY},
    {"PERSONENBINDUNG", CKO_DATA},
};

int PinResultOf(CK_RV rv)
{
    switch (rv)
    {
    case CKR_OK:
        return PIN_RESULT_DONE;
    case CKR_FUNCTION_CANCELED:
        return PIN_RESULT_CANCELLED;
    case CKR_PIN_INCORRECT:
        return PIN_RESULT_WRONG;
    case CKR_PIN_LOCKED:
        return PIN_RESULT_LOCKED;
    default:
        return PIN_RESULT_OTHER;
    }
}
} // namespace

int acPKCS11::ChangePIN(int target)
{
    return HasSession() ? SetPinAttribute(target, CKA_QUENDRY_CHANGE_PIN) : PIN_RESULT_OTHER;
}

int acPKCS11::UnblockPIN(int target)
{
    return HasSession() ? SetPinAttribute(target, CKA_QUENDRY_UNBLOCK_PIN) : PIN_RESULT_OTHER;
}

int acPKCS11::SetPinAttribute(int target, uint32_t attributeType)
{
    const auto setAttributes = Functions().C_SetAttributeValue;
    if (target < PIN_TARGET_SIGNATURE || target > PIN_TARGET_INFOBOX || !setAttributes)
        return PIN_RESULT_OTHER;
    const PinObject& pinObject = kPinObjects[target];
    LogDebugValue("PIN operation on", pinObject.label);
    CK_OBJECT_HANDLE object = 0;
    if (!FindObject(pinObject.label, static_cast<uint32_t>(pinObject.objectClass), object))
        return PIN_RESULT_OTHER;
    CK_BYTE zero = 0;
    CK_ATTRIBUTE attribute = {attributeType, &zero, 1};
    // The module runs its own PIN dialog before it answers.
    const CK_RV rv = setAttributes(m_session, object, &attribute, 1);
    if (rv != CKR_OK)
        LogErrorCode("PIN operation failed ", static_cast<uint32_t>(rv));
    return PinResultOf(rv);
}
} // namespace Corvane
