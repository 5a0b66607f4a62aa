#include "token/CardTypes.h"

#include <cstring>

namespace Corvane
{
namespace
{
constexpr const char* kTavrelLabel = "Quendry Tavrel e";

// Order matters: "Starcos SPK 3.4+" must be tried before its prefix "Starcos SPK 3.4".
constexpr CardTypeRow kCardTypes[] = {
    {"ACOS-ID", nullptr, 8, KEY_ALGORITHM_RSA, 0, KEY_ALGORITHM_ECC, 256, true, true},
    {"CardOS 5.3", nullptr, 7, KEY_ALGORITHM_RSA, 2048, KEY_ALGORITHM_ECC, 256, true, false},
    {"ACOS EMV-A03", nullptr, 0, KEY_ALGORITHM_RSA, 1536, KEY_ALGORITHM_ECC, 192, false, false},
    {"ACOS EMV-A04", nullptr, 1, KEY_ALGORITHM_RSA, 1536, KEY_ALGORITHM_ECC, 256, true, false},
    {"ACOS EMV-A05", nullptr, 2, KEY_ALGORITHM_RSA, 1536, KEY_ALGORITHM_ECC, 256, true, false},
    {"ATOS 5.3", kTavrelLabel, 6, KEY_ALGORITHM_RSA, 2048, KEY_ALGORITHM_ECC, 256, true, false},
    {"Starcos SPK 3.4+", kTavrelLabel, 5, KEY_ALGORITHM_RSA, 1536, KEY_ALGORITHM_ECC, 256, true,
     false},
    {"Starcos SPK 3.4", kTavrelLabel, 4, KEY_ALGORITHM_RSA, 1536, KEY_ALGORITHM_ECC, 256, false,
     false},
    {"Starcos SPK 3.1", kTavrelLabel, 3, KEY_ALGORITHM_ECC, 192, KEY_ALGORITHM_ECC, 192, false,
     false},
};

// Indexed by card type.
constexpr int kChipTypes[] = {1, 5, 6, 3, 7, 7, 8, 9, 10};

constexpr const char* kDisplayNames[] = {
    "Quendry Tavrel ACOS 03",   "Quendry Tavrel ACOS 04",    "Quendry Tavrel ACOS 05",
    "Quendry Tavrel e-Card G2", "Quendry Tavrel e-Card G3A", "Quendry Tavrel e-Card G3B",
    "Quendry Tavrel e-Card G4", "Quendry Tavrel CardOS 5.3", "Quendry Tavrel ACOS-ID",
};

bool BeginsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool Applies(const CardTypeRow& row, const std::string& model, const std::string& label)
{
    return BeginsWith(model, row.modelPrefix) &&
           (row.labelPrefix == nullptr || BeginsWith(label, row.labelPrefix));
}

bool IsKnownCardType(int cardType)
{
    return cardType >= CARD_TYPE_FIRST && cardType <= CARD_TYPE_LAST;
}
} // namespace

const CardTypeRow* FindCardTypeRow(const std::string& model, const std::string& label)
{
    for (const CardTypeRow& row : kCardTypes)
    {
        if (Applies(row, model, label))
            return &row;
    }
    return nullptr;
}

int ChipTypeOf(int cardType)
{
    return IsKnownCardType(cardType) ? kChipTypes[cardType] : CHIP_TYPE_NONE;
}

std::string CardTypeDisplayName(int cardType)
{
    return IsKnownCardType(cardType) ? kDisplayNames[cardType] : std::string();
}
} // namespace Corvane
