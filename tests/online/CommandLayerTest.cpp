// CertUpdater's command layer against the simulated card, whose fixed answers stand for what a
// card answers: status checks, and the secure-messaging answer checks of a command list.

#include "RenewalFixture.h"

#include "sim/cardmodule/cardset/Hex.h"

namespace
{
const std::string kMac = "11223344AABBCCDD";
const std::string kGood = "990290008E08" + kMac + "9000";

// Each command the card answers from its fixed answers.
const std::pair<const char*, std::string> kAnswers[] = {
    {"80010000", "6A82"},
    {"80020000", "AABBCC9000"},
    {"80030000", "AA"},
    {"80040000", kGood},
    {"80050000", "9000"},
    {"80060000", "6A8290001122334455"},
    {"80070000", "990290008E0811229000"},
    {"80080000", "990290008E08"
                 "11223344AABBCC00"
                 "9000"},
    // 24 digits before the status word: room for the status object and a 16-digit MAC, no more.
    {"80090000", "990290008E08"
                 "AABBCCDDEEFF"
                 "9000"},
};

class CommandLayer : public RenewalFixture
{
protected:
    void SetUp() override
    {
        RenewalFixture::SetUp();
        EditCards(
            [this](QuendrySim::CardSet& set)
            {
                for (const auto& [command, answer] : kAnswers)
                {
                    QuendrySim::ApduAnswer fixed;
                    ASSERT_TRUE(QuendrySim::FromHex(command, fixed.command));
                    ASSERT_TRUE(QuendrySim::FromHex(answer, fixed.response));
                    CardOfType(set, kCardOsType).apdus.push_back(fixed);
                }
            });
        OpenCardOs(updater);
    }
    void TearDown() override
    {
        wrapper->CloseSession();
        RenewalFixture::TearDown();
    }

    CertUpdater updater;
};

TEST_F(CommandLayer, SendApduChecksTheStatusWord)
{
    const struct
    {
        const char* command;
        const char* expected;
        bool result;
        const char* data;
        std::vector<std::string> errors;
        size_t sent;
    } cases[] = {
        {"80010000", "9000", false, "", {"APDU Error: 6A82", "In data: 80010000"}, 1},
        {"80020000", "9000", true, "AABBCC", {}, 1},
        {"80010000", "", true, "6A82", {}, 1},
        {"80030000", "9000", false, "kept", {"length < expected length"}, 1},
        {"8001000", "9000", false, "kept", {"error in SendAPDU"}, 0},
        {"80G10000", "9000", false, "kept", {"error in SendAPDU"}, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.command);
        log.Clear();
        env.ClearCalls();
        std::string data = "kept";
        EXPECT_EQ(updater.SendAPDU(c.command, c.expected, data), c.result);
        EXPECT_EQ(data, c.data);
        EXPECT_EQ(log.Errors(), c.errors);
        EXPECT_EQ(SentApdus().size(), c.sent);
    }
}

TEST_F(CommandLayer, SendApduListChecksEverySecureMessagingAnswer)
{
    const std::vector<std::string> macError = {"apdu mac verify error"};
    const struct
    {
        const char* name;
        std::string commands;
        std::string answers;
        bool result;
        std::vector<std::string> errors;
        size_t sent;
    } cases[] = {
        {"good answer", "80040000", kMac, true, {}, 1},
        {"lower-case MAC item", "80040000", "11223344aabbccdd", false, macError, 1},
        {"status word only", "80050000", kMac, false, {"apdu response invalid length"}, 1},
        {"no status object", "80060000", kMac, false, {"apdu response hat keine TLV Struktur"}, 1},
        {"MAC cut short",
         "80070000",
         kMac,
         false,
         {"apdu response hat ung\xC3\xBCltige L\xC3\xA4nge"},
         1},
        {"other MAC", "80080000", kMac, false, macError, 1},
        // The answer must be as long as the status object (8 digits) and the MAC together.
        {"status object and MAC, status removed", "80090000;9000", "8E08AABBCCDDEEFF", true, {}, 1},
        {"status object and MAC, status kept", "80090000", "90008E08AABBCCDDEEFF", true, {}, 1},
        {"two digits too few for the MAC",
         "80090000;9000",
         "008E08AABBCCDDEEFF",
         false,
         {"apdu response hat ung\xC3\xBCltige L\xC3\xA4nge"},
         1},
        {"MAC at the end once the status is removed", "80040000;9000", kMac, true, {}, 1},
        {"unchecked item then checked", "|80010000||80040000|", "x|" + kMac, true, {}, 2},
        {"counts differ",
         "80040000|80040000|80040000",
         kMac + "|" + kMac,
         false,
         {"error apdulist length != resplist length"},
         0},
        {"failing status",
         "80010000;9000|80040000",
         "x|" + kMac,
         false,
         {"APDU Error: 6A82", "In data: 80010000", "error sending APDU from persodata"},
         1},
        {"two empty lists", "", "", true, {}, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        log.Clear();
        env.ClearCalls();
        EXPECT_EQ(updater.SendAPDUList(c.commands, c.answers), c.result);
        EXPECT_EQ(log.Errors(), c.errors);
        EXPECT_EQ(SentApdus().size(), c.sent);
    }
}
} // namespace
