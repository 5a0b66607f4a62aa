// OpenSC's pkcs11-tool, a client nobody here wrote, loads the simulated module through
// C_GetFunctionList, lists its slots and objects, reads a certificate and signs with the card.

#include "ModuleHarness.h"

#include "sim/cardmodule/cardset/AtomicFile.h"
#include "tests/token/TestCrypto.h"

#include <gtest/gtest.h>

#include <cstdio>

using QuendrySim::DialogAnswer;
using QuendrySim::SimEnvironment;

namespace
{
// An ASan-built module needs the sanitizer runtime in the (uninstrumented) client.
std::string SanitizerPrefix()
{
    if (!QUENDRY_SANITIZE_BUILD)
        return "";
    return "LD_PRELOAD=\"$(gcc -print-file-name=libasan.so)\" ASAN_OPTIONS=detect_leaks=0 ";
}

struct ToolRun
{
    int status = -1;
    std::string output;
};

ToolRun RunCommand(const std::string& command)
{
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.output.append(buffer, n);
    run.status = pclose(pipe);
    return run;
}

ToolRun RunTool(const std::string& arguments)
{
    return RunCommand(SanitizerPrefix() + "pkcs11-tool --module '" + SimEnvironment::ModulePath() +
                      "' " + arguments + " 2>&1");
}

ToolRun DerToPem(const std::string& der, const std::string& pem)
{
    return RunCommand("openssl x509 -inform DER -in '" + der + "' -out '" + pem + "' 2>&1");
}

std::string Slot(int cardType)
{
    return " --slot " + std::to_string(SimTest::SlotOfType(cardType));
}

class Pkcs11ToolPeer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(env.Ready());
        ASSERT_EQ(0, std::system("command -v pkcs11-tool >/dev/null")) << "opensc is not installed";
    }
    void TearDown() override { EXPECT_TRUE(QuendrySim::UnclosedSessions(env.Calls()).empty()); }
    std::string File(const char* name) const { return env.Folder() + "/" + name; }

    SimEnvironment env;
};
} // namespace

TEST_F(Pkcs11ToolPeer, ListsEverySlotWithItsCard)
{
    ToolRun run = RunTool("-L");
    ASSERT_EQ(0, run.status) << run.output;
    const auto set = env.Load();
    for (const auto& slot : set.slots)
    {
        EXPECT_NE(std::string::npos, run.output.find(slot.description)) << slot.description;
        if (slot.card)
        {
            EXPECT_NE(std::string::npos, run.output.find(slot.card->label));
            EXPECT_NE(std::string::npos, run.output.find(slot.card->serial));
        }
    }
}

TEST_F(Pkcs11ToolPeer, ListsTheObjectsOfEveryCardType)
{
    for (int type = 0; type < 9; ++type)
    {
        SCOPED_TRACE(type);
        ToolRun run = RunTool("-O" + Slot(type));
        ASSERT_EQ(0, run.status) << run.output;
        for (const char* label : {"C.CH.SIG", "C.CH.EKEY", "SK.CH.SIG", "SK.CH.EKEY", "PK.CH.SIG",
                                  "PK.CH.EKEY", "PERSONENBINDUNG", "RFU1", "RFU2"})
            EXPECT_NE(std::string::npos, run.output.find(label)) << label;
        const bool container = run.output.find("'INFOBOX'") != std::string::npos;
        EXPECT_EQ(container, run.output.find("'0x01'") != std::string::npos);
        EXPECT_EQ(type != 0 && type != 3 && type != 4, container);
    }
}

TEST_F(Pkcs11ToolPeer, ReadsTheSignatureCertificate)
{
    ToolRun run = RunTool("--read-object --type cert --label C.CH.SIG -o '" + File("cert.der") +
                          "'" + Slot(6));
    ASSERT_EQ(0, run.status) << run.output;
    std::string read;
    ASSERT_TRUE(QuendrySim::ReadWholeFile(File("cert.der"), read));
    auto set = env.Load();
    const ByteVector& expected = set.slots[6].card->FindObject("C.CH.SIG")->value;
    EXPECT_EQ(std::string(expected.begin(), expected.end()), read);
}

TEST_F(Pkcs11ToolPeer, SignsWithRsaAndEcKeys)
{
    struct SignCase
    {
        int cardType;
        const char* mechanism;
        const char* id;
        const char* pin;
        const char* certificate;
    } const cases[] = {
        {1, "RSA-PKCS", "02", "1234", "C.CH.EKEY"},
        {7, "RSA-PKCS", "02", "1234", "C.CH.EKEY"},
        {2, "ECDSA", "01", "123456", "C.CH.SIG"},
        {0, "ECDSA", "01", "123456", "C.CH.SIG"},
    };
    const std::vector<unsigned char> data =
        SimTest::Bytes("3021300906052B0E03021A05000414A9993E364706816ABA3E25717850C26C9CD0D89D");
    ASSERT_TRUE(
        QuendrySim::WriteFileAtomically(File("data.bin"), std::string(data.begin(), data.end())));
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.mechanism + std::to_string(c.cardType));
        env.ScriptDialog({DialogAnswer::Enter({c.pin})});
        ToolRun run =
            RunTool(std::string("-s -m ") + c.mechanism + " --id " + c.id + " -i '" +
                    File("data.bin") + "' -o '" + File("signature.bin") + "'" + Slot(c.cardType));
        ASSERT_EQ(0, run.status) << run.output;
        std::string signature;
        ASSERT_TRUE(QuendrySim::ReadWholeFile(File("signature.bin"), signature));
        auto set = env.Load();
        EXPECT_TRUE(tokentest::VerifyCardSignature(
            set.slots[c.cardType].card->FindObject(c.certificate)->value, data,
            std::vector<unsigned char>(signature.begin(), signature.end())));
        EXPECT_TRUE(set.dialog.empty()) << "the module asked its own dialog";
    }
}

// The tool's own test suite: random numbers, signing (single and multi-part), verifying and
// whatever the key objects advertise. A multi-part call the module does not perform must end
// the operation, or the next C_SignInit fails.
TEST_F(Pkcs11ToolPeer, ItsOwnTestPassesOnEverySlotWithAKey)
{
    const auto set = env.Load();
    for (const auto& slot : set.slots)
    {
        if (!slot.card)
            continue;
        SCOPED_TRACE(slot.description);
        const auto pin = slot.card->pins.find(slot.card->loginPin);
        ASSERT_NE(pin, slot.card->pins.end());
        // The tool signs with RSA keys only; one under another PIN than the login's asks the
        // module's dialog at every signature.
        std::vector<DialogAnswer> answers;
        for (const auto& object : slot.card->objects)
            if (object.objectClass == QuendrySim::ObjectClass::PrivateKey &&
                object.keyType == QuendrySim::KeyType::Rsa && object.pin != slot.card->loginPin)
                answers.insert(answers.end(), 32,
                               DialogAnswer::Enter({slot.card->pins.at(object.pin).value}));
        auto cleared = env.Load();
        cleared.dialog = answers;
        ASSERT_TRUE(env.Save(cleared));
        ToolRun run = RunTool("--test --login --pin " + pin->second.value + " --slot " +
                              std::to_string(slot.id));
        EXPECT_EQ(0, run.status) << run.output;
        EXPECT_NE(std::string::npos, run.output.find("No errors")) << run.output;
        EXPECT_EQ(std::string::npos, run.output.find("ERR")) << run.output;
    }
}

// openssl verify accepts every card certificate against the generated test CA.
TEST_F(Pkcs11ToolPeer, CardCertificatesVerifyAgainstTheTestCa)
{
    ASSERT_EQ(0, DerToPem(SimEnvironment::TemplateCaPath(), File("ca.pem")).status);
    auto set = env.Load();
    for (auto& slot : set.slots)
    {
        for (const char* label : {"C.CH.SIG", "C.CH.EKEY"})
        {
            if (!slot.card)
                continue;
            SCOPED_TRACE(slot.description + " " + label);
            const ByteVector& der = slot.card->FindObject(label)->value;
            ASSERT_TRUE(QuendrySim::WriteFileAtomically(File("card.der"),
                                                        std::string(der.begin(), der.end())));
            ASSERT_EQ(0, DerToPem(File("card.der"), File("card.pem")).status);
            const ToolRun run = RunCommand("openssl verify -CAfile '" + File("ca.pem") + "' '" +
                                           File("card.pem") + "' 2>&1");
            EXPECT_EQ(0, run.status) << run.output;
        }
    }
}
