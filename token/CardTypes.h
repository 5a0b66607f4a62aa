#pragma once

#include <string>

namespace Corvane
{
// CardType: the card family, chosen by the token's model and label; -1 for none known.
constexpr int CARD_TYPE_UNKNOWN = -1;
constexpr int CARD_TYPE_FIRST = 0;
constexpr int CARD_TYPE_LAST = 8;

// Algorithm of a card key in CardInfo.
constexpr int KEY_ALGORITHM_RSA = 0;
constexpr int KEY_ALGORITHM_ECC = 1;

// ChipType: chooses the raw card commands of the vendor channel. 1, 5 and 6 are the ACOS family,
// 7 and 8 the e-Card family, 9 CardOS; 2 and 4 are not used.
constexpr int CHIP_TYPE_NONE = 0;

struct CardInfo
{
    // Fixed-width texts as the module reports them, blank padding included.
    std::string tokenLabel;
    std::string manufacturer;
    std::string model;
    std::string serial;
    int encKeyAlgorithm = 0;
    int encKeyLength = 0;
    int sigKeyAlgorithm = 0;
    int sigKeyLength = 0;
    int cardType = CARD_TYPE_UNKNOWN;
    // The card keeps its Infobox in the data object "INFOBOX".
    bool infoboxContainer = false;
};

// One row of the card-type table. An encryption-key length of 0 with readEncKeyLength means the
// length is read from the card's public key.
struct CardTypeRow
{
    const char* modelPrefix;
    const char* labelPrefix; // null: any label
    int cardType;
    int encKeyAlgorithm;
    int encKeyLength;
    int sigKeyAlgorithm;
    int sigKeyLength;
    bool infoboxContainer;
    bool readEncKeyLength;
};

// The first row whose prefixes the model and label begin with; null when none applies.
const CardTypeRow* FindCardTypeRow(const std::string& model, const std::string& label);
// ChipType of a card type; CHIP_TYPE_NONE outside 0 to 8.
int ChipTypeOf(int cardType);
// Name shown for a card type; empty for an unknown type (the token label is shown then).
std::string CardTypeDisplayName(int cardType);
} // namespace Corvane
