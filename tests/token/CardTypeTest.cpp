#include "token/CardTypes.h"

#include <gtest/gtest.h>

using namespace Corvane;

namespace
{
std::string Padded(const std::string& text, size_t width)
{
    return text + std::string(width - text.size(), ' ');
}

const std::string kTavrel = Padded("Quendry Tavrel e-Card G3B", 32);
const std::string kOtherLabel = Padded("Some other label", 32);
} // namespace

TEST(CardTypeTable, EveryRowAndItsValues)
{
    struct Case
    {
        std::string model;
        std::string label;
        int cardType;
        int encAlgorithm, encLength, sigAlgorithm, sigLength;
        bool container, readsEncLength;
    };
    const int rsa = KEY_ALGORITHM_RSA, ecc = KEY_ALGORITHM_ECC;
    const Case cases[] = {
        {"ACOS-ID", kOtherLabel, 8, rsa, 0, ecc, 256, true, true},
        {"CardOS 5.3", kOtherLabel, 7, rsa, 2048, ecc, 256, true, false},
        {"ACOS EMV-A03", kOtherLabel, 0, rsa, 1536, ecc, 192, false, false},
        {"ACOS EMV-A04", kOtherLabel, 1, rsa, 1536, ecc, 256, true, false},
        {"ACOS EMV-A05", kOtherLabel, 2, rsa, 1536, ecc, 256, true, false},
        {"ATOS 5.3", kTavrel, 6, rsa, 2048, ecc, 256, true, false},
        {"Starcos SPK 3.4+", kTavrel, 5, rsa, 1536, ecc, 256, true, false},
        {"Starcos SPK 3.4", kTavrel, 4, rsa, 1536, ecc, 256, false, false},
        {"Starcos SPK 3.1", kTavrel, 3, ecc, 192, ecc, 192, false, false},
    };
    for (const Case& item : cases)
    {
        const CardTypeRow* row = FindCardTypeRow(Padded(item.model, 16), item.label);
        ASSERT_NE(row, nullptr) << item.model;
        EXPECT_EQ(row->cardType, item.cardType) << item.model;
        EXPECT_EQ(row->encKeyAlgorithm, item.encAlgorithm) << item.model;
        EXPECT_EQ(row->encKeyLength, item.encLength) << item.model;
        EXPECT_EQ(row->sigKeyAlgorithm, item.sigAlgorithm) << item.model;
        EXPECT_EQ(row->sigKeyLength, item.sigLength) << item.model;
        EXPECT_EQ(row->infoboxContainer, item.container) << item.model;
        EXPECT_EQ(row->readEncKeyLength, item.readsEncLength) << item.model;
    }
}

TEST(CardTypeTable, PrefixesDecide)
{
    struct Case
    {
        std::string model;
        std::string label;
        int cardType;
    };
    const Case cases[] = {
        // The e-Card rows need the label; the shorter 3.4 row needs the same one.
        {"Starcos SPK 3.4+", kOtherLabel, CARD_TYPE_UNKNOWN},
        {"Starcos SPK 3.4 ", kOtherLabel, CARD_TYPE_UNKNOWN},
        {"ATOS 5.3", "Quendry Tavrel ", CARD_TYPE_UNKNOWN},
        {"ATOS 5.3", "Quendry Tavrel e", 6},
        {"ACOS EMV-A0", kOtherLabel, CARD_TYPE_UNKNOWN},
        {"ACOS EMV-A06", kOtherLabel, CARD_TYPE_UNKNOWN},
        {"acos-id", kOtherLabel, CARD_TYPE_UNKNOWN},
        {"ACOS-ID2", kOtherLabel, 8},
        {"", "", CARD_TYPE_UNKNOWN},
    };
    for (const Case& item : cases)
    {
        const CardTypeRow* row = FindCardTypeRow(item.model, item.label);
        EXPECT_EQ(row ? row->cardType : CARD_TYPE_UNKNOWN, item.cardType) << item.model;
    }
}

TEST(CardTypeTable, ChipTypesAndDisplayNames)
{
    const int chipTypes[] = {1, 5, 6, 3, 7, 7, 8, 9, 10};
    const char* names[] = {
        "Quendry Tavrel ACOS 03",   "Quendry Tavrel ACOS 04",    "Quendry Tavrel ACOS 05",
        "Quendry Tavrel e-Card G2", "Quendry Tavrel e-Card G3A", "Quendry Tavrel e-Card G3B",
        "Quendry Tavrel e-Card G4", "Quendry Tavrel CardOS 5.3", "Quendry Tavrel ACOS-ID",
    };
    for (int cardType = 0; cardType <= 8; ++cardType)
    {
        EXPECT_EQ(ChipTypeOf(cardType), chipTypes[cardType]) << cardType;
        EXPECT_EQ(CardTypeDisplayName(cardType), names[cardType]) << cardType;
    }
    for (int cardType : {-1, 9, 100})
    {
        EXPECT_EQ(ChipTypeOf(cardType), CHIP_TYPE_NONE) << cardType;
        EXPECT_EQ(CardTypeDisplayName(cardType), "") << cardType;
    }
}
