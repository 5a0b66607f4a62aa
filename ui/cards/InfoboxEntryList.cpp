#include "ui/cards/InfoboxEntryList.h"

#include <algorithm>
#include <cstdio>

namespace
{
constexpr size_t EmptyTestLength = 128;

bool StartsWithZeros(const ByteVector& value)
{
    const size_t length = std::min(value.size(), EmptyTestLength);
    return std::all_of(value.begin(), value.begin() + static_cast<long>(length),
                       [](unsigned char byte) { return byte == 0; });
}

std::string TwoDigits(uint8_t tag)
{
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", tag);
    return digits;
}

const char* EntryName(uint8_t tag)
{
    switch (tag)
    {
    case 1:
        return "PERSONENBINDUNG";
    case 2:
        return "RFU1";
    default:
        return "RFU2";
    }
}
} // namespace

InfoboxEntryList::InfoboxEntryList(Corvane::acPKCS11& token, int slotIndex, int cardType)
    : token(token), slotIndex(slotIndex), cardType(cardType)
{
}

std::string InfoboxEntryList::EntryLine(uint8_t tag)
{
    return TwoDigits(tag) + " " + EntryName(tag);
}

std::string InfoboxEntryList::DataObjectLabel(uint8_t tag)
{
    return "0x" + TwoDigits(tag);
}

bool InfoboxEntryList::ReadDataObject(std::string label, ByteVector& out)
{
    currentEntryBytes.clear();
    CK_OBJECT_HANDLE object = 0;
    bool read = token.OpenSession(slotIndex) && FindDataObject(label, object) &&
                ReadValue(object, false, out);
    // The rule owns the wrapper's session slot for the read and leaves it empty.
    token.CloseSession();
    if (read && StartsWithZeros(out))
        out.clear();
    if (!out.empty())
        currentEntryBytes = out;
    return read;
}

bool InfoboxEntryList::FindDataObject(const std::string& label, CK_OBJECT_HANDLE& object)
{
    CK_OBJECT_CLASS dataClass = CKO_DATA;
    CK_ATTRIBUTE search[] = {
        {CKA_CLASS, &dataClass, sizeof dataClass},
        {CKA_LABEL, const_cast<char*>(label.data()), static_cast<CK_ULONG>(label.size())}};
    CK_ULONG found = 0;
    return token.FindObjects(search, 2, &object, 1, found) && found > 0;
}

bool InfoboxEntryList::ReadValue(CK_OBJECT_HANDLE object, bool withPrivate, ByteVector& out)
{
    const auto getAttribute = Corvane::acPKCS11::Functions().C_GetAttributeValue;
    if (getAttribute == nullptr)
        return false;
    ByteVector buffer(ValueBufferSize);
    CK_BBOOL isPrivate = CK_FALSE;
    CK_ATTRIBUTE attributes[] = {{CKA_VALUE, buffer.data(), ValueBufferSize},
                                 {CKA_PRIVATE, &isPrivate, 1}};
    if (getAttribute(token.SessionHandle(), object, attributes, withPrivate ? 2 : 1) != CKR_OK)
        return false;
    buffer.resize(std::min<CK_ULONG>(attributes[0].ulValueLen, ValueBufferSize));
    out = std::move(buffer);
    return true;
}

const LibInfobox::InfoboxFSEntry* InfoboxEntryList::ContainerEntry(uint8_t tag) const
{
    for (const auto& entry : container.entries)
    {
        if (entry->tag == tag)
            return entry.get();
    }
    return nullptr;
}

bool InfoboxEntryList::ToggleEntryPrivate(uint8_t tag)
{
    const LibInfobox::InfoboxFSEntry* entry = ContainerEntry(tag);
    if (entry == nullptr)
        return false;
    CK_OBJECT_HANDLE object = 0;
    const bool stored = token.OpenSession(slotIndex) &&
                        FindDataObject(DataObjectLabel(tag), object) &&
                        WriteValue(object, (entry->flags & 1) == 0);
    token.CloseSession();
    return stored;
}

bool InfoboxEntryList::WriteValue(CK_OBJECT_HANDLE object, bool makePrivate)
{
    // The value goes back with the flag, so the module stores both in one step.
    ByteVector value = currentEntryBytes;
    if (value.empty() && !ReadValue(object, true, value))
        return false;
    const auto setAttribute = Corvane::acPKCS11::Functions().C_SetAttributeValue;
    if (setAttribute == nullptr)
        return false;
    CK_BBOOL isPrivate = makePrivate ? CK_TRUE : CK_FALSE;
    CK_ATTRIBUTE attributes[] = {{CKA_VALUE, value.data(), static_cast<CK_ULONG>(value.size())},
                                 {CKA_PRIVATE, &isPrivate, 1}};
    return setAttribute(token.SessionHandle(), object, attributes, 2) == CKR_OK;
}

bool InfoboxEntryList::ListInfoboxEntries()
{
    entries.clear();
    ByteVector value;
    if (!ReadDataObject("INFOBOX", value))
        return false;
    container.entries.clear();
    if (!LibInfobox::InfoboxFS::HasValidHeader(value) ||
        !container.Parse(value, LibInfobox::InfoboxFS::EntriesOffset))
        return false;
    for (uint8_t tag : container.GetTags())
        entries.push_back(EntryLine(tag));
    return true;
}

bool InfoboxEntryList::LoadEntries()
{
    token.GetCardInfo(slotIndex, cardInfo);
    return LoadEntries(cardInfo);
}

bool InfoboxEntryList::LoadEntries(const Corvane::CardInfo& info)
{
    cardInfo = info;
    if (cardInfo.infoboxContainer)
    {
        containerMode = true;
        ListInfoboxEntries();
    }
    else
    {
        entries = {"Personenbindung", "RFU1", "RFU2"};
    }
    return !entries.empty();
}
