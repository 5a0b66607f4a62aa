#include "token/acPKCS11.h"

#include <cstdio>

namespace Corvane
{
namespace
{
constexpr size_t kCinLength = 12;
constexpr CK_ULONG kMaxObjects = 10;
constexpr size_t kMinIdentityLink = 128;
constexpr size_t kMaxIdentityLink = 3072;
constexpr unsigned char kDerSequence = 0x30;
constexpr unsigned char kLongFormLength = 0x80;
constexpr size_t kMaxLengthBytes = 4;
constexpr const char* kWriteFailed =
    "Fehler beim modifizieren des Kartenobjektes. (C_SetAttributeValue)";

bool SerialMatches(const std::string& serial, const std::string& cin)
{
    if (cin.size() > kCinLength)
        return serial == cin;
    return serial.size() >= kCinLength && serial.compare(0, kCinLength, cin) == 0;
}

// The size that a DER element's header announces, header included; 0 when its length is not
// in DER's shortest definite form or runs past the data. The record's own reader knows only the
// one- and two-byte forms: a longer form would be written and then read as a record without
// fields.
uint64_t AnnouncedDerSize(const ByteVector& data)
{
    if (data.size() < 2)
        return 0;
    const unsigned char first = data[1];
    if (first < kLongFormLength)
        return 2u + first;
    const size_t count = first - kLongFormLength;
    if (count == 0 || count > kMaxLengthBytes || data.size() < 2 + count || data[2] == 0)
        return 0;
    uint64_t length = 0;
    for (size_t i = 0; i < count; ++i)
        length = (length << 8) | data[2 + i];
    if (length < kLongFormLength)
        return 0;
    return 2 + count + length;
}

// A cut download decodes to a record shorter than its header says: it must never reach the card.
bool IsIdentityLinkData(const ByteVector& data)
{
    return data.size() >= kMinIdentityLink && data.size() <= kMaxIdentityLink &&
           data.front() == kDerSequence && AnnouncedDerSize(data) == data.size();
}
} // namespace

std::string acPKCS11::HexCode(CK_RV rv)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(rv));
    return text;
}

int acPKCS11::FindSlotByCIN(const std::string& cin)
{
    LogDebugValue("FindSlotByCIN", cin);
    Init();
    std::vector<TokenSlot*> slots;
    if (!GetSlots(slots, false))
        return -1;
    // Only a whole card identification number can name a card.
    if (cin.size() < kCinLength)
        return -1;
    for (size_t i = 0; i < slots.size(); ++i)
    {
        if (SerialMatches(slots[i]->tokenSerial, cin))
            return static_cast<int>(i);
    }
    return -1;
}

int acPKCS11::FindCardForWrite(const std::string& cin, std::string& message)
{
    const int index = FindSlotByCIN(cin);
    if (index < 0)
        message = "Keine Smartcard gefunden für CIN=" + cin;
    return index;
}

bool acPKCS11::OpenWriteSession(int index, std::string& message)
{
    if (OpenSession(index))
        return true;
    message = "Fehler beim öffnen der Kartensession";
    return false;
}

void acPKCS11::LogoutAndClose()
{
    if (Functions().C_Logout)
        Functions().C_Logout(m_session);
    CloseSession();
}

CK_RV acPKCS11::SetValue(CK_OBJECT_HANDLE object, const ByteVector& value)
{
    const auto setAttributes = Functions().C_SetAttributeValue;
    if (!setAttributes)
        return CKR_FUNCTION_NOT_SUPPORTED;
    ByteVector bytes(value);
    CK_ATTRIBUTE attribute = {CKA_VALUE, bytes.data(), static_cast<CK_ULONG>(bytes.size())};
    return setAttributes(m_session, object, &attribute, 1);
}

bool acPKCS11::Login()
{
    const auto login = Functions().C_Login;
    // An empty PIN: the module asks for it in its own dialog.
    return login && login(m_session, CKU_USER, nullptr, 0) == CKR_OK;
}

bool acPKCS11::WritePersonenbindung(const std::string& cin, const ByteVector& data,
                                    std::string& message)
{
    const int index = FindCardForWrite(cin, message);
    if (index < 0)
        return false;
    if (!IsIdentityLinkData(data))
    {
        message = "Falsche Update Daten für die Smartcard";
        return false;
    }
    // A module that cannot write would have the login's PIN dialog asked for nothing.
    if (!Functions().C_SetAttributeValue)
    {
        message = kWriteFailed;
        return false;
    }
    if (!OpenWriteSession(index, message))
        return false;
    std::vector<CK_OBJECT_HANDLE> objects;
    const bool searched = SearchObjects(CKO_DATA, "PERSONENBINDUNG", kMaxObjects, objects);
    if (!searched || objects.empty())
    {
        message =
            searched ? "Das Objekt 'PERSONENBINDUNG' wurde nicht gefunden." : "PKCS11 FindObjects";
        LogoutAndClose();
        return false;
    }
    if (!Login())
    {
        message = "Fehler beim Initialisieren des Kartenobjektes. (CLogin)";
        CloseSession();
        return false;
    }
    const bool written = SetValue(objects.front(), data) == CKR_OK;
    if (!written)
        message = kWriteFailed;
    LogoutAndClose();
    return written;
}
} // namespace Corvane
