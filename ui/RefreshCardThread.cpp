#include "ui/RefreshCardThread.h"

#include "core/logging/Logger.h"
#include "ui/MainFrame.h"
#include "ui/WindowIds.h"
#include "ui/cards/CardListReader.h"

#include <wx/event.h>

RefreshCardThread::RefreshCardThread(MainFrame* owner, Corvane::acPKCS11* token,
                                     const wxString& unknownHolder)
    : wxThread(wxTHREAD_JOINABLE), owner(owner), token(token), unknownHolder(unknownHolder)
{
}

wxThread::ExitCode RefreshCardThread::Entry()
{
    ReadCardList();
    wxQueueEvent(owner, new wxCommandEvent(wxEVT_MENU, ID_REFRESH_DONE));
    return 0;
}

void RefreshCardThread::ReadCardList()
{
    token->Destroy();
    token->Init();
    std::vector<Corvane::TokenSlot*> slots;
    if (token->GetSlots(slots, true))
        ReadCards(slots);
    else
        GetAppLogger()->Error("Error pkcs#11 GetSlots");
}

void RefreshCardThread::ReadCards(std::vector<Corvane::TokenSlot*> slots)
{
    CardListReader reader(*token);
    for (size_t i = 0; i < slots.size(); ++i)
    {
        CardRecord record;
        if (!reader.ReadCard(static_cast<int>(i), *slots[i], record))
            continue;
        auto row = std::make_shared<ListEntryData>();
        row->cardNumber = wxString::FromUTF8(record.cardNumber);
        row->holder = record.holderKnown ? wxString::FromUTF8(record.holder) : unknownHolder;
        row->cardTypeName = wxString::FromUTF8(record.cardTypeName);
        row->identityLink = record.identityLink;
        row->cardType = record.cardType;
        results.push_back(row);
    }
}
