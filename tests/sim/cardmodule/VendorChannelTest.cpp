// The vendor functions: the card's file system behind C_CardTransmit, the card attributes and
// the numbered operations of C_Register.

#include "ModuleHarness.h"

#include <gtest/gtest.h>

#include <functional>

using SimTest::Hex;
using SimTest::SlotOfType;

namespace
{
class SimVendor : public SimTest::ModuleTest
{
protected:
    std::string Send(CK_SESSION_HANDLE session, const std::string& apdu)
    {
        return Hex(module.Transmit(session, apdu));
    }
};
} // namespace

TEST_F(SimVendor, StatusWordsOfTheFileSystem)
{
    CK_SESSION_HANDLE session = module.Open(SlotOfType(1));
    struct Step
    {
        const char* command;
        const char* answer;
    } const steps[] = {
        {"00B0000000", "6986"},     {"00A4000C02ABCD", "6A82"}, {"00A4040C02DF71", "6A86"},
        {"00A4000C023F", "6700"},   {"00A4000C02DF71", "9000"}, {"00A4000C02D001", "9000"},
        {"00B0000902", "6B00"},     {"00B0000602", "10079000"}, {"00B0000604", "10076282"},
        {"00B2010400", "6981"},     {"10B0000000", "6E00"},     {"00CA000000", "6D00"},
        {"00A4000C023F00", "9000"}, {"00B0000000", "6986"},     {"00", "6700"},
    };
    for (const Step& step : steps)
        EXPECT_EQ(step.answer, Send(session, step.command)) << step.command;
    const std::string challenge = Send(session, "0084000008");
    EXPECT_EQ(20u, challenge.size());
    EXPECT_EQ("9000", challenge.substr(16));
}

TEST_F(SimVendor, RecordFilesAndFixedAnswers)
{
    auto set = env.Load();
    QuendrySim::Card& card = *set.slots[2].card;
    card.files.push_back({"3F00/DF71/5031", 3, true, {}, {{0x01, 0x02}, {0x0A}}});
    card.apdus.push_back({SimTest::Bytes("00CA010000"), SimTest::Bytes("ABCD9000")});
    ASSERT_TRUE(env.Save(set));
    CK_SESSION_HANDLE session = module.Open(SlotOfType(2));
    EXPECT_EQ("ABCD9000", Send(session, "00CA010000"));
    EXPECT_EQ("9000", Send(session, "00A4000C02DF71"));
    EXPECT_EQ("01029000", Send(session, "00B2011C00")) << "record 1 by short file id 3";
    EXPECT_EQ("0A9000", Send(session, "00B2020400")) << "record 2 of the current file";
    EXPECT_EQ("6A83", Send(session, "00B2030400"));
    EXPECT_EQ("6981", Send(session, "00B0000000"));
}

TEST_F(SimVendor, ResponseLongerThanTheBuffer)
{
    auto transmit = module.Vendor<CK_C_CardTransmit>("C_CardTransmit");
    ASSERT_NE(nullptr, transmit);
    CK_SESSION_HANDLE session = module.Open(SlotOfType(0));
    std::vector<unsigned char> command = SimTest::Bytes("80F6000008");
    CK_BYTE response[4];
    CK_ULONG length = sizeof response;
    EXPECT_EQ(CKR_BUFFER_TOO_SMALL, transmit(session, command.data(), 5, response, &length));
    EXPECT_EQ(10u, length);
    EXPECT_EQ(CKR_SESSION_HANDLE_INVALID, transmit(0, command.data(), 5, response, &length));
}

TEST_F(SimVendor, AtrAndResetAnswerTheAtrAndResetTheCard)
{
    auto attribute = module.Vendor<CK_C_CardAttribute>("C_CardAttribute");
    ASSERT_NE(nullptr, attribute);
    const auto set = env.Load();
    CK_SESSION_HANDLE session = module.Open(SlotOfType(3));
    CK_BYTE buffer[256];
    CK_ULONG length = sizeof buffer;
    ASSERT_EQ(CKR_OK, attribute(session, "ATR", buffer, &length));
    EXPECT_EQ(Hex(set.slots[3].card->atr), Hex({buffer, buffer + length}));
    EXPECT_EQ("9000", Send(session, "00A4000C02DF71"));
    EXPECT_EQ("9000", Send(session, "00A4000C02D001"));
    length = sizeof buffer;
    ASSERT_EQ(CKR_OK, attribute(session, "Reset", buffer, &length));
    EXPECT_EQ(Hex(set.slots[3].card->atr), Hex({buffer, buffer + length}));
    EXPECT_EQ("6986", Send(session, "00B0000000")) << "no file selected after the reset";
    length = 0;
    EXPECT_EQ(CKR_OK, attribute(session, "ATR", nullptr, &length));
    EXPECT_EQ(set.slots[3].card->atr.size(), length);
    length = 2;
    EXPECT_EQ(CKR_BUFFER_TOO_SMALL, attribute(session, "ATR", buffer, &length));
    EXPECT_EQ(CKR_ATTRIBUTE_TYPE_INVALID, attribute(session, "Colour", buffer, &length));
}

TEST_F(SimVendor, ResetEndsTheLogin)
{
    auto attribute = module.Vendor<CK_C_CardAttribute>("C_CardAttribute");
    CK_SESSION_HANDLE session = module.Open(SlotOfType(3));
    CK_UTF8CHAR pin[] = {'1', '2', '3', '4'};
    ASSERT_EQ(CKR_OK, module.F().C_Login(session, CKU_USER, pin, 4));
    CK_BYTE buffer[64];
    CK_ULONG length = sizeof buffer;
    ASSERT_EQ(CKR_OK, attribute(session, "Reset", buffer, &length));
    EXPECT_EQ(CKR_USER_NOT_LOGGED_IN, module.F().C_Logout(session));
}

TEST_F(SimVendor, RegisterAnswersFromTheCardSet)
{
    auto set = env.Load();
    QuendrySim::Card& card = *set.slots[1].card;
    card.registers.push_back({1, 0, SimTest::Bytes("0102030405060708")});
    card.registers.push_back({3, CKR_QUENDRY_REGISTER_STATE2, SimTest::Bytes("77")});
    card.registers.push_back({5, CKR_DEVICE_ERROR, {}});
    ASSERT_TRUE(env.Save(set));
    auto reg = module.Vendor<CK_C_Register>("C_Register");
    ASSERT_NE(nullptr, reg);
    CK_SESSION_HANDLE session = module.Open(SlotOfType(1));
    std::vector<CK_BYTE> output(2048, 0xEE);
    ASSERT_EQ(CKR_OK, reg(session, 0, nullptr, output.data(), 2048));
    EXPECT_EQ(Hex(card.chipId), Hex({output.begin(), output.begin() + 8}));
    EXPECT_EQ(CKR_OK, module.F().C_CloseSession(session));
    session = module.Open(SlotOfType(1));
    std::vector<CK_BYTE> terminal = SimTest::Bytes("00283D000100000000000000AAB6B575");
    ASSERT_EQ(CKR_OK, reg(session, 1, terminal.data(), output.data(), 2048));
    EXPECT_EQ("0102030405060708" + std::string(16, '0'),
              Hex({output.begin(), output.begin() + 16}));
    std::vector<CK_BYTE> blocks = SimTest::Bytes("00000001AA00000002BBCC");
    EXPECT_EQ(CKR_QUENDRY_REGISTER_STATE2, reg(session, 3, blocks.data(), output.data(), 2048));
    EXPECT_EQ(0x77, output[0]);
    std::vector<CK_BYTE> auth(48, 0x11);
    EXPECT_EQ(CKR_DEVICE_ERROR, reg(session, 5, auth.data(), output.data(), 2048));
    std::vector<CK_BYTE> threeBlocks = SimTest::Bytes("00000001AA0000000000000001BB");
    EXPECT_EQ(CKR_FUNCTION_FAILED, reg(session, 6, threeBlocks.data(), output.data(), 2048))
        << "no answer scripted";
    EXPECT_EQ(CKR_ARGUMENTS_BAD, reg(session, 7, nullptr, output.data(), 2048));
    EXPECT_EQ(CKR_ARGUMENTS_BAD, reg(session, 1, nullptr, output.data(), 2048));
    module.F().C_CloseSession(session);

    std::vector<std::string> inputs;
    for (const auto& record : env.Calls())
        if (record.function == "C_Register")
            inputs.push_back(record.Field("operation") + ":" + record.Field("input"));
    const std::vector<std::string> expected = {"0:",
                                               "1:00283D000100000000000000AAB6B575",
                                               "3:00000001AA00000002BBCC",
                                               "5:" + std::string(96, '1'),
                                               "6:00000001AA0000000000000001BB",
                                               "7:",
                                               "1:"};
    EXPECT_EQ(expected, inputs);
}

// A renewal's part under way keeps the ACOS card from plain writes until the card's state ends:
// a reset, the close of the card's last session, or the end of the module.
TEST_F(SimVendor, APartUnderWayEndsWithTheCardsState)
{
    auto reg = module.Vendor<CK_C_Register>("C_Register");
    auto attribute = module.Vendor<CK_C_CardAttribute>("C_CardAttribute");
    auto closeAll = module.Vendor<CK_RV (*)(CK_SLOT_ID)>("C_CloseAllSessions");
    const CK_SLOT_ID slot = SlotOfType(1);
    const auto reopen = [&] { return module.Open(slot); };
    using Then = std::function<CK_SESSION_HANDLE(CK_SESSION_HANDLE)>;
    const Then closeLast = [&](CK_SESSION_HANDLE session)
    {
        module.F().C_CloseSession(session);
        return reopen();
    };
    const struct
    {
        const char* name;
        CK_ULONG operation; // the one that starts the part
        Then then;          // from the part's session to the write's
        CK_RV write;
    } cases[] = {
        {"nothing", 1, [](CK_SESSION_HANDLE session) { return session; }, CKR_DEVICE_ERROR},
        {"another session stays open", 1,
         [&](CK_SESSION_HANDLE session)
         {
             const CK_SESSION_HANDLE other = reopen();
             module.F().C_CloseSession(session);
             return other;
         },
         CKR_DEVICE_ERROR},
        {"reset", 4,
         [&](CK_SESSION_HANDLE session)
         {
             CK_BYTE atr[64];
             CK_ULONG length = sizeof atr;
             EXPECT_EQ(CKR_OK, attribute(session, "Reset", atr, &length));
             return session;
         },
         CKR_OK},
        {"the last session closes", 1, closeLast, CKR_OK},
        {"the last session closes, encryption part", 4, closeLast, CKR_OK},
        {"all sessions close", 1,
         [&](CK_SESSION_HANDLE)
         {
             closeAll(slot);
             return reopen();
         },
         CKR_OK},
        {"the module ends", 1,
         [&](CK_SESSION_HANDLE)
         {
             module.Finalize();
             module.Initialize();
             return reopen();
         },
         CKR_OK},
    };
    std::vector<CK_BYTE> terminal = SimTest::Bytes("00283D000100000000000000AAB57875");
    std::vector<CK_BYTE> output(2048);
    std::vector<CK_BYTE> value = {0x30, 0x00};
    CK_ATTRIBUTE write{CKA_VALUE, value.data(), static_cast<CK_ULONG>(value.size())};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        CK_SESSION_HANDLE session = reopen();
        ASSERT_EQ(CKR_OK, reg(session, c.operation, terminal.data(), output.data(), 2048));
        session = c.then(session);
        EXPECT_EQ(c.write, module.F().C_SetAttributeValue(
                               session, module.Find(session, CKO_DATA, "RFU1"), &write, 1));
        closeAll(slot);
    }
}
