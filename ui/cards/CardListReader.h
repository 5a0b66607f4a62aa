#pragma once

#include "token/acPKCS11.h"

#include <string>

// What the card list shows of one card, as read from the card (texts in UTF-8).
struct CardRecord
{
    std::string cardNumber;
    std::string holder; // empty when no certificate could be read
    bool holderKnown = false;
    std::string cardTypeName;
    bool identityLink = false;
    int cardType = Corvane::CARD_TYPE_UNKNOWN;
};

// Reads the cards of the slot list for the card list; no window is touched, so the card-list
// worker runs it while the main window is disabled.
class CardListReader
{
public:
    explicit CardListReader(Corvane::acPKCS11& token) : token(token) {}

    // False when no session opens on the slot: the card gets no row.
    bool ReadCard(int index, const Corvane::TokenSlot& slot, CardRecord& record);

private:
    bool ReadHolder(std::string& holder);
    void ReadCardType(int index, CardRecord& record);
    void CloseOwnSession(CK_SESSION_HANDLE session);

    Corvane::acPKCS11& token;
};
