// The CardOS chip of card type 7: mutual authentication keyed per DF with a single-use challenge,
// and secure messaging whose MACs are checked with the send-sequence counter.

#include "ModuleHarness.h"

#include "sim/cardmodule/cardset/OpenSsl.h"
#include "sim/testkeys/SecureMessaging.h"
#include "sim/testkeys/TestKeys.h"

#include <openssl/rsa.h>

#include <gtest/gtest.h>

namespace
{
using QuendrySim::OpenSslPtr;
using SimTest::Bytes;
using SimTest::Hex;

constexpr int kCardOs = 7;
const ByteVector kRndIfd = {1, 2, 3, 4, 5, 6, 7, 8};

class CardOsChip : public SimTest::ModuleTest
{
protected:
    void SetUp() override
    {
        SimTest::ModuleTest::SetUp();
        session = module.Open(SimTest::SlotOfType(kCardOs));
        chipId = FileOf("3F00/2F02");
        chipId.resize(12);
    }

    ByteVector FileOf(const std::string& path)
    {
        auto set = env.Load();
        for (const auto& file : set.slots[kCardOs].card->files)
            if (file.path == path)
                return file.data;
        return {};
    }
    QuendrySim::CardObject ObjectOf(const std::string& label)
    {
        auto set = env.Load();
        return *set.slots[kCardOs].card->FindObject(label);
    }

    std::string Send(const std::string& apdu) { return Hex(module.Transmit(session, apdu)); }
    ByteVector SendBytes(const ByteVector& apdu) { return module.Transmit(session, Hex(apdu)); }

    // GET CHALLENGE and MUTUAL AUTHENTICATE with the key of a DF; the channel of the session.
    std::string Authenticate(const std::string& keyName, SimKeys::SmChannel& channel,
                             const std::string& p1p2 = "0081", const std::string& le = "00")
    {
        const ByteVector challenge = module.Transmit(session, "0084000008");
        const ByteVector rndIcc(challenge.begin(), challenge.begin() + 8);
        const ByteVector key = SimKeys::CardKey("CardOS", chipId, keyName);
        ByteVector data = kRndIfd;
        const ByteVector proof = SimKeys::TerminalProof(key, rndIcc, kRndIfd);
        data.insert(data.end(), proof.begin(), proof.end());
        channel = {SimKeys::SessionMacKey(key, rndIcc, kRndIfd), 0};
        const std::string answer =
            Send("0082" + p1p2 + Hex({static_cast<unsigned char>(data.size())}) + Hex(data) + le);
        if (answer == Hex(SimKeys::CardProof(key, rndIcc, kRndIfd)) + "9000")
            return "9000";
        return answer;
    }

    // A protected command; the answer's data when its MAC is right, else its status text.
    std::string Protected(SimKeys::SmChannel& channel, const SimKeys::PlainCommand& command)
    {
        const ByteVector answer = SendBytes(SimKeys::ProtectCommand(channel, command));
        if (answer.size() < 2 || answer[answer.size() - 2] != 0x90)
            return Hex(answer);
        ByteVector data;
        const bool good =
            SimKeys::OpenAnswer(channel, ByteVector(answer.begin(), answer.end() - 2), data);
        return good ? "ok:" + Hex(data) : "bad mac";
    }

    CK_SESSION_HANDLE session = 0;
    ByteVector chipId;
};

TEST_F(CardOsChip, AuthenticationNeedsAFreshChallengeAndTheKeyOfTheCurrentDf)
{
    SimKeys::SmChannel channel;
    EXPECT_EQ(Send("0082008128" + std::string(80, '0') + "00"), "6985") << "no challenge";
    EXPECT_EQ(Send("00A4000C02DF01"), "9000");
    EXPECT_EQ(Authenticate("DF02", channel), "6300") << "the other DF's key";
    EXPECT_EQ(Authenticate("DF01", channel), "9000");
    const std::string reused = Send("0082008128" + std::string(80, '0') + "00");
    EXPECT_EQ(reused, "6985") << "the challenge was used";
    EXPECT_EQ(Send("00A4000C023F00"), "9000");
    EXPECT_EQ(Authenticate("3F00", channel), "9000");
    EXPECT_EQ(Send("00A4000C020032"), "9000");
    EXPECT_EQ(Send("00B2000000"), "050300019000") << "the first record";
}

// A right proof in a command of other parameters or length fields is still refused.
TEST_F(CardOsChip, AuthenticationAndSelectionTakeOnlyTheirOwnParameters)
{
    const struct
    {
        const char* name;
        std::string p1p2;
        std::string le;
        const char* status;
    } authentications[] = {
        {"P1", "0181", "00", "6A86"},      {"P2", "0080", "00", "6A86"},
        {"Le", "0081", "08", "6700"},      {"no Le", "0081", "", "6700"},
        {"as sent", "0081", "00", "9000"},
    };
    for (const auto& c : authentications)
    {
        SimKeys::SmChannel channel;
        EXPECT_EQ(Authenticate("3F00", channel, c.p1p2, c.le), c.status) << c.name;
    }
    const struct
    {
        const char* apdu;
        const char* status;
    } selections[] = {
        {"00A4040C023F00", "6A86"}, {"00A40000023F00", "6A86"}, {"00A4000C023F0000", "6700"},
        {"00A4000C033F00", "6700"}, {"00A4000C023F00", "9000"},
    };
    for (const auto& c : selections)
        EXPECT_EQ(Send(c.apdu), c.status) << c.apdu;
}

TEST_F(CardOsChip, ProtectedCommandsCountAndEndTheSessionOnAnyFault)
{
    SimKeys::SmChannel channel;
    EXPECT_EQ(Send("00A4000C02DF01"), "9000");
    ASSERT_EQ(Authenticate("DF01", channel), "9000");
    const SimKeys::PlainCommand readKey{SimKeys::kSmClass, 0xB4, 0x00, 0x00, {}};
    EXPECT_EQ(Protected(channel, readKey), "ok:" + Hex(ObjectOf("PK.CH.SIG").key));

    SimKeys::SmChannel replay = channel;
    replay.counter -= 2;
    EXPECT_EQ(Protected(replay, readKey), "6988") << "a command sent again";
    EXPECT_EQ(Protected(channel, readKey), "6988") << "the session ended with the fault";

    ASSERT_EQ(Authenticate("DF01", channel), "9000");
    EXPECT_EQ(Send("00A4000C02C000"), "9000");
    EXPECT_EQ(Send("00D6000002AABB"), "6982") << "writes only under secure messaging";
    SimKeys::SmChannel skipped = channel;
    SimKeys::ProtectCommand(skipped, readKey);
    SimKeys::ExpectedAnswerMac(skipped, {});
    EXPECT_EQ(Protected(skipped, readKey), "6988") << "a command left out";

    ASSERT_EQ(Authenticate("DF01", channel), "9000");
    CK_BYTE atr[64];
    CK_ULONG length = sizeof atr;
    ASSERT_EQ(CKR_OK,
              module.Vendor<CK_C_CardAttribute>("C_CardAttribute")(session, "Reset", atr, &length));
    EXPECT_EQ(Protected(channel, readKey), "6988") << "a reset ends the session";
}

TEST_F(CardOsChip, WritesStayInsideTheAuthenticatedDfAndShowAsObjects)
{
    SimKeys::SmChannel channel;
    const ByteVector before = FileOf("3F00/DF01/C000");
    ASSERT_EQ(Authenticate("3F00", channel), "9000");
    EXPECT_EQ(Send("00A4000C02DF01"), "9000");
    EXPECT_EQ(Send("00A4000C02C000"), "9000");
    EXPECT_EQ(Protected(channel, {SimKeys::kSmClass, 0xD6, 0x00, 0x00, {0x30, 0x00}}), "6982")
        << "a file of DF01 with the MF's session";
    EXPECT_EQ(FileOf("3F00/DF01/C000"), before);

    // A new key pair and certificate for DF02, in chained parts.
    OpenSslPtr<EVP_PKEY> key(EVP_RSA_gen(2048));
    ASSERT_TRUE(key);
    OpenSslPtr<PKCS8_PRIV_KEY_INFO> info(EVP_PKEY2PKCS8(key.get()));
    const ByteVector pkcs8 = QuendrySim::Encoded(
        [&](unsigned char** p) { return i2d_PKCS8_PRIV_KEY_INFO(info.get(), p); });
    EXPECT_EQ(Send("00A4000C023F00"), "9000");
    EXPECT_EQ(Send("00A4000C02DF02"), "9000");
    ASSERT_EQ(Authenticate("DF02", channel), "9000");
    for (size_t offset = 0; offset < pkcs8.size(); offset += SimKeys::kMaxSmData)
    {
        const size_t length = std::min(SimKeys::kMaxSmData, pkcs8.size() - offset);
        const bool last = offset + length == pkcs8.size();
        const SimKeys::PlainCommand part{
            static_cast<unsigned char>(SimKeys::kSmClass | (last ? 0 : SimKeys::kChainingBit)),
            0xDA, 0x00, 0x00, ByteVector(pkcs8.begin() + offset, pkcs8.begin() + offset + length)};
        EXPECT_EQ(Protected(channel, part), "ok:");
    }
    EXPECT_EQ(ObjectOf("SK.CH.EKEY").key, pkcs8);
    EXPECT_EQ(ObjectOf("PK.CH.EKEY").key,
              QuendrySim::Encoded([&](unsigned char** p) { return i2d_PUBKEY(key.get(), p); }));
    const ByteVector certificate = ObjectOf("C.CH.SIG").value;
    EXPECT_EQ(Send("00A4000C022F01"), "9000");
    for (size_t offset = 0; offset < certificate.size(); offset += SimKeys::kMaxSmData)
    {
        const size_t length = std::min(SimKeys::kMaxSmData, certificate.size() - offset);
        const SimKeys::PlainCommand part{
            SimKeys::kSmClass, 0xD6, static_cast<unsigned char>(offset >> 8),
            static_cast<unsigned char>(offset & 0xFF),
            ByteVector(certificate.begin() + offset, certificate.begin() + offset + length)};
        EXPECT_EQ(Protected(channel, part), "ok:");
    }
    EXPECT_EQ(ObjectOf("C.CH.EKEY").value, certificate) << "the file's first DER element";
    EXPECT_NE(FileOf("3F00/DF02/2F01").size(), 0u);
}
} // namespace
