// Object search and attribute access of the simulated module.

#include "sim/cardmodule/module/Attributes.h"
#include "sim/cardmodule/module/Module.h"

#include <cstring>

namespace QuendrySim
{
namespace
{
// The object that always holds the same value: the one the card set links, and on a card with
// an Infobox container entry 1 for the identity link, as the maker's card keeps them.
CardObject* TwinOf(Card& card, const CardObject& object)
{
    if (!object.linked.empty())
        return card.FindObject(object.linked);
    if (object.label == "PERSONENBINDUNG" && card.FindObject("INFOBOX") != nullptr)
        return card.FindObject("0x01");
    return nullptr;
}

void LogTypes(CallLogLine& line, const CK_ATTRIBUTE* tmpl, CK_ULONG count)
{
    std::string types;
    for (CK_ULONG i = 0; i < count; ++i)
    {
        char type[24];
        std::snprintf(type, sizeof type, "%s0x%lx", i ? "," : "",
                      static_cast<unsigned long>(tmpl[i].type));
        types += type;
    }
    line.Add("types", types);
}

void LogSearch(CallLogLine& line, const CK_ATTRIBUTE* tmpl, CK_ULONG count)
{
    LogTypes(line, tmpl, count);
    for (CK_ULONG i = 0; i < count; ++i)
    {
        if (!tmpl[i].pValue)
            continue;
        if (tmpl[i].type == CKA_CLASS && tmpl[i].ulValueLen == sizeof(CK_ULONG))
        {
            CK_ULONG objectClass = 0;
            std::memcpy(&objectClass, tmpl[i].pValue, sizeof objectClass);
            line.AddCode("class", objectClass);
        }
        if (tmpl[i].type == CKA_LABEL)
            line.Add("label",
                     std::string(static_cast<const char*>(tmpl[i].pValue), tmpl[i].ulValueLen));
    }
}

bool TemplateReadable(const CK_ATTRIBUTE* tmpl, CK_ULONG count)
{
    if (count > 0 && !tmpl)
        return false;
    for (CK_ULONG i = 0; i < count; ++i)
        if (!tmpl[i].pValue && tmpl[i].ulValueLen > 0)
            return false;
    return true;
}

// Fills one attribute by the standard's rules; gives the code this attribute contributes.
CK_RV FillAttribute(const CardObject& object, CK_ATTRIBUTE& attribute)
{
    ByteVector value;
    AttributeState state = AttributeValue(object, attribute.type, value);
    if (state != AttributeState::Available)
    {
        attribute.ulValueLen = CK_UNAVAILABLE_INFORMATION;
        return state == AttributeState::Sensitive ? kRvAttributeSensitive
                                                  : CKR_ATTRIBUTE_TYPE_INVALID;
    }
    if (!attribute.pValue)
    {
        attribute.ulValueLen = static_cast<CK_ULONG>(value.size());
        return CKR_OK;
    }
    if (attribute.ulValueLen < value.size())
    {
        attribute.ulValueLen = CK_UNAVAILABLE_INFORMATION;
        return CKR_BUFFER_TOO_SMALL;
    }
    if (!value.empty())
        std::memcpy(attribute.pValue, value.data(), value.size());
    attribute.ulValueLen = static_cast<CK_ULONG>(value.size());
    return CKR_OK;
}

bool IsPinAttribute(CK_ATTRIBUTE_TYPE type)
{
    return type == CKA_QUENDRY_CHANGE_PIN || type == CKA_QUENDRY_UNBLOCK_PIN;
}

ByteVector BytesOf(const CK_ATTRIBUTE& attribute)
{
    const auto* p = static_cast<const unsigned char*>(attribute.pValue);
    return p ? ByteVector(p, p + attribute.ulValueLen) : ByteVector{};
}

bool ReadsPrivateValue(const CardObject& object, const CK_ATTRIBUTE* tmpl, CK_ULONG count)
{
    if (!object.isPrivate || object.objectClass != ObjectClass::Data)
        return false;
    for (CK_ULONG i = 0; i < count; ++i)
        if (tmpl[i].type == CKA_VALUE && tmpl[i].pValue)
            return true;
    return false;
}
} // namespace

CK_RV Module::FindObjectsInit(CK_SESSION_HANDLE handle, const CK_ATTRIBUTE* tmpl, CK_ULONG count,
                              CallLogLine& line)
{
    auto [rv, session, card] = SessionOf(handle);
    if (rv != CKR_OK)
        return rv;
    if (!TemplateReadable(tmpl, count))
        return CKR_ARGUMENTS_BAD;
    LogSearch(line, tmpl, count);
    if (session->find.active)
        return CKR_OPERATION_ACTIVE;
    session->find = FindState{};
    session->find.active = true;
    for (const auto& object : card->objects)
        if (MatchesTemplate(object, tmpl, count))
            session->find.results.push_back(HandleOfObject(*card, object));
    return CKR_OK;
}

CK_RV Module::FindObjects(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE* objects, CK_ULONG max,
                          CK_ULONG* found)
{
    auto [rv, session, card] = SessionOf(handle);
    if (rv != CKR_OK)
        return rv;
    if (!session->find.active)
        return CKR_OPERATION_NOT_INITIALIZED;
    if (!found || (max > 0 && !objects))
        return CKR_ARGUMENTS_BAD;
    FindState& find = session->find;
    CK_ULONG n = 0;
    while (n < max && find.next < find.results.size())
        objects[n++] = find.results[find.next++];
    *found = n;
    return CKR_OK;
}

CK_RV Module::FindObjectsFinal(CK_SESSION_HANDLE handle)
{
    auto [rv, session, card] = SessionOf(handle);
    if (rv != CKR_OK)
        return rv;
    if (!session->find.active)
        return CKR_OPERATION_NOT_INITIALIZED;
    session->find = FindState{};
    return CKR_OK;
}

CK_RV Module::GetAttributeValue(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE objectHandle,
                                CK_ATTRIBUTE* tmpl, CK_ULONG count, CallLogLine& line)
{
    line.AddNumber("object", objectHandle);
    auto [rv, session, card, object] = ObjectOf(handle, objectHandle);
    if (rv != CKR_OK)
        return rv;
    line.Add("label", object->label);
    if (count > 0 && !tmpl)
        return CKR_ARGUMENTS_BAD;
    LogTypes(line, tmpl, count);
    if (ReadsPrivateValue(*object, tmpl, count))
    {
        rv = Authorize(session->slot, *card, object->pin.empty() ? card->loginPin : object->pin);
        if (rv != CKR_OK)
            return rv;
    }
    CK_RV result = CKR_OK;
    for (CK_ULONG i = 0; i < count; ++i)
    {
        CK_RV one = FillAttribute(*object, tmpl[i]);
        if (one != CKR_OK)
            result = one;
    }
    return result;
}

CK_RV Module::SetAttributeValue(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE objectHandle,
                                const CK_ATTRIBUTE* tmpl, CK_ULONG count, CallLogLine& line)
{
    line.AddNumber("object", objectHandle);
    auto [rv, session, card, object] = ObjectOf(handle, objectHandle);
    if (rv != CKR_OK)
        return rv;
    line.Add("label", object->label);
    if (!TemplateReadable(tmpl, count))
        return CKR_ARGUMENTS_BAD;
    LogTypes(line, tmpl, count);
    // The PIN attributes stand alone: they run the dialog and change nothing else.
    if (count == 1 && IsPinAttribute(tmpl[0].type))
        return RunPinAttribute(*card, *object, tmpl[0]);
    const Card before = *card;
    for (CK_ULONG i = 0; i < count && rv == CKR_OK; ++i)
    {
        const CK_ATTRIBUTE& attribute = tmpl[i];
        if (attribute.type == CKA_VALUE)
            rv = WriteValue(session->slot, *card, *object, BytesOf(attribute));
        else if (attribute.type == CKA_PRIVATE && attribute.ulValueLen == 1)
            rv = SetPrivate(*card, *object, *static_cast<const CK_BBOOL*>(attribute.pValue) != 0);
        else if (IsPinAttribute(attribute.type))
            rv = kRvTemplateInconsistent;
        else
            rv = CKR_ATTRIBUTE_READ_ONLY;
    }
    if (rv != CKR_OK)
    {
        *card = before;
        return rv;
    }
    return Save() ? CKR_OK : CKR_DEVICE_ERROR;
}

CK_RV Module::RunPinAttribute(Card& card, CardObject& object, const CK_ATTRIBUTE& attribute)
{
    if (attribute.ulValueLen != 1 || *static_cast<const CK_BYTE*>(attribute.pValue) != 0)
        return CKR_ATTRIBUTE_VALUE_INVALID;
    Pin* pin = card.FindPin(object.pin);
    if (!pin)
        return CKR_ATTRIBUTE_TYPE_INVALID;
    const DialogKind kind =
        attribute.type == CKA_QUENDRY_CHANGE_PIN ? DialogKind::Change : DialogKind::Unblock;
    return RunPinDialog(kind, card, *pin, object.pin);
}

CK_RV Module::WriteValue(CK_SLOT_ID slot, Card& card, CardObject& object, const ByteVector& value)
{
    if (object.objectClass != ObjectClass::Data && object.objectClass != ObjectClass::Certificate)
        return CKR_ATTRIBUTE_READ_ONLY;
    if (!object.writePin.empty() && !m_runtime[slot].loggedIn.count(object.writePin))
        return CKR_USER_NOT_LOGGED_IN;
    if (m_runtime[slot].acos.Pending())
        return CKR_DEVICE_ERROR;
    object.value = value;
    SyncContainerEntry(card, object);
    if (CardObject* twin = TwinOf(card, object))
    {
        twin->value = value;
        SyncContainerEntry(card, *twin);
    }
    return CKR_OK;
}

CK_RV Module::SetPrivate(Card& card, CardObject& object, bool isPrivate)
{
    if (object.objectClass != ObjectClass::Data)
        return CKR_ATTRIBUTE_READ_ONLY;
    object.isPrivate = isPrivate;
    SyncContainerEntry(card, object);
    return CKR_OK;
}
} // namespace QuendrySim
