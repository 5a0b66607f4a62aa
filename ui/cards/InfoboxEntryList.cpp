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
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", tag);
    return std::string(digits) + " " + EntryName(tag);
}

bool InfoboxEntryList::ReadDataObject(std::string label, ByteVector& out)
{
    currentEntryBytes.clear();
    bool read = token.OpenSession(slotIndex) && ReadValue(label, out);
    // The rule owns the wrapper's session slot for the read and leaves it empty.
    token.CloseSession();
    if (read && StartsWithZeros(out))
        out.clear();
    if (!out.empty())
        currentEntryBytes = out;
    return read;
}

bool InfoboxEntryList::ReadValue(const std::string& label, ByteVector& out)
{
    CK_OBJECT_CLASS dataClass = CKO_DATA;
    CK_ATTRIBUTE search[] = {
        {CKA_CLASS, &dataClass, sizeof dataClass},
        {CKA_LABEL, const_cast<char*>(label.data()), static_cast<CK_ULONG>(label.size())}};
    CK_OBJECT_HANDLE object = 0;
    CK_ULONG found = 0;
    if (!token.FindObjects(search, 2, &object, 1, found) || found == 0)
        return false;

    const auto getAttribute = Corvane::acPKCS11::Functions().C_GetAttributeValue;
    if (getAttribute == nullptr)
        return false;
    ByteVector buffer(ValueBufferSize);
    CK_ATTRIBUTE value = {CKA_VALUE, buffer.data(), ValueBufferSize};
    if (getAttribute(token.SessionHandle(), object, &value, 1) != CKR_OK)
        return false;
    buffer.resize(std::min<CK_ULONG>(value.ulValueLen, ValueBufferSize));
    out = std::move(buffer);
    return true;
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
