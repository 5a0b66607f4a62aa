#include "ui/cards/CardListReader.h"

#include "core/logging/Logger.h"
#include "slcertificate/slcertificate.h"
#include "ui/cards/InfoboxEntryList.h"

bool CardListReader::ReadCard(int index, const Corvane::TokenSlot& slot, CardRecord& record)
{
    if (!token.OpenSession(index))
    {
        GetAppLogger()->Error("Error open pkcs#11 session");
        return false;
    }
    const CK_SESSION_HANDLE session = token.SessionHandle();
    record = CardRecord();
    record.cardNumber = slot.tokenSerial;
    record.cardTypeName = slot.tokenLabel;
    record.holderKnown = ReadHolder(record.holder);
    ReadCardType(index, record);
    if (!record.holderKnown)
        record.identityLink = false;
    CloseOwnSession(session);
    return true;
}

bool CardListReader::ReadHolder(std::string& holder)
{
    for (bool signatureCertificate : {false, true})
    {
        // The certificate the wrapper decoded to judge the read; it is not decoded again.
        slcertificate certificate;
        if (token.ReadCertificate(signatureCertificate, certificate))
        {
            holder = certificate.GetCommonName();
            return true;
        }
    }
    return false;
}

void CardListReader::ReadCardType(int index, CardRecord& record)
{
    Corvane::CardInfo info;
    if (!token.GetCardInfo(index, info))
        return;
    record.cardType = info.cardType;
    const std::string displayName = Corvane::CardTypeDisplayName(info.cardType);
    if (!displayName.empty())
        record.cardTypeName = displayName;
    // The entry rule works on the card information just read instead of reading it again.
    InfoboxEntryList entryList(token, index, info.cardType);
    record.identityLink = entryList.LoadEntries(info);
}

void CardListReader::CloseOwnSession(CK_SESSION_HANDLE session)
{
    // The Infobox rule replaced the wrapper's session by one of its own and closed that, so the
    // session opened here is closed by its handle.
    if (token.SessionHandle() == session)
    {
        token.CloseSession();
        return;
    }
    const auto closeSession = Corvane::acPKCS11::Functions().C_CloseSession;
    if (closeSession != nullptr)
        closeSession(session);
}
