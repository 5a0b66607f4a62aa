#include "SimFixture.h"

using namespace Corvane;

namespace
{
const std::string kSelectMf = "00A4000C023F00";
const std::string kSelectD001 = "00A4000C02D001";
const std::string kSelectDf71 = "00A4000C02DF71";
const std::string kSelect2F02 = "00A4000C022F02";
const std::string kReadBinary = "00B0000000";
const std::string kReadShortFile2 = "00B08200FA";
const std::string kGetChipId = "80F6000008";
} // namespace

TEST_F(SimCards, SendApduAsBytesAndText)
{
    Start();
    OpenCard(7);
    std::string response = "old";
    ASSERT_TRUE(wrapper->SendAPDUHex("00a4000c023f00", response));
    EXPECT_EQ(response, "9000");
    ByteVector bytes = {0x01};
    ASSERT_TRUE(wrapper->SendAPDU({0x00, 0xA4, 0x00, 0x0C, 0x02, 0x77, 0x77}, bytes));
    EXPECT_EQ(bytes, (ByteVector{0x01, 0x6A, 0x82})) << "appended, status word included";
    EXPECT_EQ(SentApdus(), (std::vector<std::string>{kSelectMf, "00A4000C027777"}));

    env.ClearCalls();
    EXPECT_FALSE(wrapper->SendAPDUHex("00A4000C023F0", response)) << "odd length";
    EXPECT_FALSE(wrapper->SendAPDUHex("", response));
    EXPECT_TRUE(env.Calls().empty());

    ASSERT_TRUE(wrapper->SendAPDUHex(kSelectD001, response));
    unsigned char small[3] = {};
    uint32_t capacity = sizeof small;
    const ByteVector readBinary = {0x00, 0xB0, 0x00, 0x00, 0x00};
    ASSERT_TRUE(wrapper->Transmit(readBinary.data(), 5, small, capacity));
    EXPECT_EQ(capacity, 3u) << "cut to the buffer";
    EXPECT_EQ(ByteVector(small, small + 3), (ByteVector{0x47, 0x11, 0x20}));

    AddFault("C_CardTransmit", CKR_DEVICE_ERROR);
    EXPECT_FALSE(wrapper->SendAPDUHex(kSelectMf, response));
    wrapper->CloseSession();
    EXPECT_FALSE(wrapper->SendAPDUHex(kSelectMf, response)) << "closed session";
}

TEST_F(SimCards, AnswerToResetCacheAndReset)
{
    Start();
    QuendrySim::CardSet set = env.Load();
    std::string atr;
    BinData2HexStr(CardOfType(set, 0).atr, atr);
    OpenCard(0);
    env.ClearCalls();
    EXPECT_EQ(wrapper->GetATR(false), atr);
    EXPECT_EQ(wrapper->GetATR(false), atr);
    EXPECT_EQ(CallsOf("C_CardAttribute").size(), 1u) << "the second answer comes from the cache";
    EXPECT_EQ(wrapper->GetATR(true), atr);
    EXPECT_EQ(CallsOf("C_CardAttribute").size(), 2u);

    EditCards([this](QuendrySim::CardSet& s) { CardOfType(s, 0).atr = {0x3B, 0x01}; });
    EXPECT_EQ(wrapper->Reset(), "3B01");
    EXPECT_EQ(wrapper->GetATR(false), "3B01") << "the reset's answer is cached";
    const auto calls = CallsOf("C_CardAttribute");
    EXPECT_EQ(calls.back().Field("name"), "Reset");

    AddFault("C_CardAttribute", CKR_DEVICE_ERROR, 0, 2);
    EXPECT_EQ(wrapper->GetATR(true), "");
    const size_t before = CallsOf("C_CardAttribute").size();
    EXPECT_EQ(wrapper->GetATR(false), "") << "a failed read leaves the cache empty";
    EXPECT_EQ(CallsOf("C_CardAttribute").size(), before + 1) << "so the module is asked again";
    wrapper->SetATR(reinterpret_cast<const unsigned char*>("\x3b\xff"), 2);
    EXPECT_EQ(wrapper->GetATR(false), "3BFF");
    wrapper->SetATR(nullptr, 0);
    wrapper->CloseSession();
}

TEST_F(SimCards, CardIdentifierOfEveryCard)
{
    Start();
    QuendrySim::CardSet set = env.Load();
    for (int cardType = 0; cardType <= 8; ++cardType)
    {
        OpenCard(cardType);
        env.ClearCalls();
        std::string identifier = "old";
        ASSERT_TRUE(wrapper->GetCinCsn(identifier)) << cardType;
        EXPECT_EQ(identifier, CardOfType(set, cardType).serial) << cardType;
        const std::string folder = cardType == 7 ? kSelectMf : kSelectDf71;
        EXPECT_EQ(SentApdus(), (std::vector<std::string>{folder, kSelectD001, kReadBinary}))
            << cardType;
        EXPECT_EQ(CallsOf("C_CardAttribute").front().Field("name"), "ATR") << cardType;
        wrapper->CloseSession();
    }
}

TEST_F(SimCards, CardIdentifierAnswerLengths)
{
    struct Case
    {
        std::string data;
        bool read;
        std::string identifier;
    };
    // READ BINARY answers the file and 6282 (fewer bytes than asked): 7 data bytes make 9.
    const Case cases[] = {
        {"11223344556677", false, ""},
        {"1122334455667788", true, "1122334455667788"},
        {"112233445566778899AA", true, "1122334455667788"},
    };
    Start();
    for (const Case& item : cases)
    {
        EditCards(
            [&](QuendrySim::CardSet& set)
            {
                for (QuendrySim::CardFile& file : CardOfType(set, 1).files)
                    file.data.clear(), HexStr2BinData(item.data, file.data);
            });
        OpenCard(1);
        std::string identifier;
        EXPECT_EQ(wrapper->GetCinCsn(identifier), item.read) << item.data;
        EXPECT_EQ(identifier, item.identifier) << item.data;
        wrapper->CloseSession();
    }
    OpenCard(1);
    AddFault("C_CardTransmit", CKR_DEVICE_ERROR, 1);
    env.ClearCalls();
    std::string identifier;
    EXPECT_FALSE(wrapper->GetCinCsn(identifier));
    EXPECT_EQ(SentApdus().size(), 2u) << "stops at the first failure";
    wrapper->CloseSession();
}

TEST_F(SimCards, ChipIdOfEveryChipType)
{
    struct Case
    {
        int cardType;
        std::vector<std::string> apdus;
        bool read;
    };
    const Case cases[] = {
        {0, {kGetChipId}, true},
        {1, {kGetChipId}, true},
        {2, {kGetChipId}, true},
        {3, {}, false},
        {4, {kSelectMf, kReadShortFile2}, true},
        {5, {kSelectMf, kReadShortFile2}, true},
        {6, {kSelectMf, kReadShortFile2}, true},
        {7, {kSelectMf, kSelect2F02, kReadBinary}, true},
        {8, {}, false},
    };
    Start();
    QuendrySim::CardSet set = env.Load();
    for (const Case& item : cases)
    {
        QuendrySim::Card& card = CardOfType(set, item.cardType);
        OpenCard(item.cardType);
        ASSERT_TRUE(wrapper->DetectChipType());
        env.ClearCalls();
        std::string chipId = "kept";
        EXPECT_EQ(wrapper->GetChipIdHex(chipId), item.read) << item.cardType;
        EXPECT_EQ(SentApdus(), item.apdus) << item.cardType;
        ByteVector expected;
        if (item.cardType <= 2)
            expected = card.chipId;
        else if (item.cardType >= 4 && item.cardType <= 6)
            expected.assign(card.files.back().data.begin() + 4,
                            card.files.back().data.begin() + 12);
        else if (item.cardType == 7)
            expected.assign(card.files.back().data.begin(), card.files.back().data.begin() + 12);
        std::string expectedText = "kept";
        if (item.read)
            BinData2HexStr(expected, expectedText);
        EXPECT_EQ(chipId, expectedText) << item.cardType;
        wrapper->CloseSession();
    }
}

TEST_F(SimCards, ChipIdAnswerLengths)
{
    struct Case
    {
        int cardType;
        std::string data; // the answer is the data and 6282: two bytes more
        bool read;
    };
    const Case cases[] = {
        {6, "5A0A00408791522A53F575", false},  // 13 bytes
        {6, "5A0A00408791522A53F57597", true}, // 14 bytes
        {7, "5A0A802174F7B07423", false},      // 11 bytes
        {7, "5A0A802174F7B07423E3", true},     // 12 bytes
    };
    Start();
    for (const Case& item : cases)
    {
        EditCards(
            [&](QuendrySim::CardSet& set)
            {
                ByteVector& data = CardOfType(set, item.cardType).files.back().data;
                data.clear();
                HexStr2BinData(item.data, data);
            });
        OpenCard(item.cardType);
        wrapper->DetectChipType();
        ByteVector chipId = {0x01};
        EXPECT_EQ(wrapper->GetChipId(chipId), item.read) << item.data;
        EXPECT_EQ(chipId.size(), item.read ? 8u + 4u * (item.cardType == 7) : 0u) << item.data;
        wrapper->CloseSession();
    }
    EditCards([this](QuendrySim::CardSet& set) { CardOfType(set, 0).chipId = {1, 2, 3, 4, 5}; });
    OpenCard(0);
    wrapper->DetectChipType();
    ByteVector chipId;
    EXPECT_FALSE(wrapper->GetChipId(chipId)) << "5 bytes and the status word";
    wrapper->CloseSession();
    env.ClearCalls();
    acPKCS11 fresh; // the module is initialised already; this wrapper never had a session
    EXPECT_FALSE(fresh.GetChipId(chipId));
    EXPECT_EQ(fresh.Register(0, nullptr, chipId), -1);
    EXPECT_TRUE(env.Calls().empty());
}

TEST_F(SimCards, NumberedOperations)
{
    struct Case
    {
        unsigned long rv;
        int result;
    };
    const Case cases[] = {
        {CKR_OK, 0},
        {CKR_QUENDRY_REGISTER_STATE1, REGISTER_RESULT_STATE1},
        {CKR_QUENDRY_REGISTER_STATE2, REGISTER_RESULT_STATE2},
        {CKR_FUNCTION_FAILED, -1},
        {0x80000003, -1},
    };
    Start();
    ByteVector output;
    EXPECT_EQ(wrapper->Register(0, nullptr, output), -1) << "no session";
    EXPECT_TRUE(CallsOf("C_Register").empty());
    for (const Case& item : cases)
    {
        EditCards(
            [&](QuendrySim::CardSet& set) {
                CardOfType(set, 1).registers = {{1, item.rv, {0xCA, 0xFE}}};
            });
        OpenCard(1);
        const ByteVector input(16, 0x11);
        output.clear();
        EXPECT_EQ(wrapper->Register(1, &input, output), item.result) << item.rv;
        EXPECT_EQ(output.size(), 2048u);
        if (item.result >= 0)
        {
            EXPECT_EQ(ByteVector(output.begin(), output.begin() + 2), (ByteVector{0xCA, 0xFE}));
        }
        wrapper->CloseSession();
    }
    const auto calls = CallsOf("C_Register");
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().Field("operation"), "1");
    EXPECT_EQ(calls.back().Field("input"), std::string(32, '1'));
}

TEST_F(SimCards, ModuleWithoutVendorFunctions)
{
    Corvane::acPKCS11::SetModuleFile(QuendrySim::SimEnvironment::NoVendorModulePath());
    Start();
    OpenCard(1);
    env.ClearCalls();
    ByteVector bytes;
    std::string text;
    EXPECT_FALSE(wrapper->SendAPDU({0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00}, bytes));
    EXPECT_FALSE(wrapper->SendAPDUHex(kSelectMf, text));
    EXPECT_EQ(wrapper->GetATR(true), "");
    EXPECT_EQ(wrapper->Reset(), "");
    EXPECT_EQ(wrapper->Register(1, nullptr, bytes), -1);
    EXPECT_FALSE(wrapper->GetCinCsn(text));
    ASSERT_TRUE(wrapper->DetectChipType());
    EXPECT_FALSE(wrapper->GetChipIdHex(text));
    for (const auto& record : env.Calls())
        EXPECT_TRUE(record.function.rfind("C_Card", 0) != 0 && record.function != "C_Register");
    // The standard functions still work.
    EXPECT_TRUE(wrapper->ReadCertificate(true));
    wrapper->CloseSession();
}
