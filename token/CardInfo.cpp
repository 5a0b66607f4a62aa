#include "token/AttributeRequest.h"
#include "token/acPKCS11.h"

namespace Corvane
{
namespace
{
constexpr size_t kModulusBitsBuffer = 256;

void ApplyRow(const CardTypeRow& row, CardInfo& info)
{
    info.cardType = row.cardType;
    info.encKeyAlgorithm = row.encKeyAlgorithm;
    info.encKeyLength = row.encKeyLength;
    info.sigKeyAlgorithm = row.sigKeyAlgorithm;
    info.sigKeyLength = row.sigKeyLength;
    info.infoboxContainer = row.infoboxContainer;
}

// The module answers a CK_ULONG, least significant byte first.
int LittleEndianValue(const ByteVector& bytes)
{
    unsigned long value = 0;
    for (size_t i = bytes.size(); i > 0; --i)
        value = (value << 8) | bytes[i - 1];
    return static_cast<int>(value);
}
} // namespace

bool acPKCS11::OpenSessionIfClosed(int index)
{
    const auto getSessionInfo = Functions().C_GetSessionInfo;
    if (!getSessionInfo)
        return false;
    CK_SESSION_INFO session{};
    const CK_RV rv = getSessionInfo(m_session, &session);
    if (rv != CKR_SESSION_CLOSED && rv != CKR_SESSION_HANDLE_INVALID)
        return false;
    return OpenSession(index);
}

int acPKCS11::ReadEncKeyLength()
{
    CK_OBJECT_HANDLE key = 0;
    if (!FindObject("PK.CH.EKEY", CKO_PUBLIC_KEY, key))
        return 0;
    AttributeRequest request;
    const size_t bits = request.Add(CKA_MODULUS_BITS, kModulusBitsBuffer);
    if (request.Read(m_session, key) != CKR_OK || request.Length(bits) != sizeof(CK_ULONG))
        return 0;
    return LittleEndianValue(request.Bytes(bits));
}

bool acPKCS11::GetCardInfo(int index, CardInfo& info)
{
    // The token information of the entry's own slot: an unfiltered index could name another card.
    if (index < 0 || static_cast<size_t>(index) >= m_slots.size())
        return false;
    LogDebugValue("GetCardInfo index", std::to_string(index));
    TokenInfo token;
    if (!ReadTokenInfo(m_slots[index]->slotId, token))
        return false;
    info.tokenLabel = token.label;
    info.manufacturer = token.manufacturer;
    info.model = token.model;
    info.serial = token.serial;
    info.infoboxContainer = false;
    const bool openedHere = OpenSessionIfClosed(index);
    if (const CardTypeRow* row = FindCardTypeRow(info.model, info.tokenLabel))
    {
        ApplyRow(*row, info);
        if (row->readEncKeyLength)
            info.encKeyLength = ReadEncKeyLength();
    }
    if (openedHere)
        CloseSession();
    return true;
}

bool acPKCS11::DetectChipType()
{
    m_chipType = CHIP_TYPE_NONE;
    if (!HasSession() || m_currentIndex < 0 ||
        static_cast<size_t>(m_currentIndex) >= m_slots.size())
        return false;
    CardInfo info;
    GetCardInfo(m_currentIndex, info);
    if (info.cardType < CARD_TYPE_FIRST || info.cardType > CARD_TYPE_LAST)
        return false;
    m_chipType = ChipTypeOf(info.cardType);
    return true;
}
} // namespace Corvane
