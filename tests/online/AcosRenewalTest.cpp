// The ACOS renewal end to end: the simulated ACOS card performs the numbered operations, the
// simulated server drives it over a real socket, both agreeing through the shared test keys.

#include "RenewalFixture.h"

#include "platform/Registry.h"
#include "sim/cardmodule/cardset/Hex.h"
#include "sim/cardmodule/cardset/OpenSsl.h"

#include <openssl/evp.h>
#include <openssl/x509.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <cstdlib>

namespace
{
using OnlineServicesSim::RenewalFault;
using OnlineServicesSim::RenewalScenario;
using OnlineServicesSim::StepFault;

constexpr unsigned long kDeviceError = 0x30;

void SetCp(const char* value)
{
    platform::RegistryHandle key = nullptr;
    ASSERT_EQ(platform::RegistryCreateKey(platform::RegistryHive::LocalMachine,
                                          "Software\\Corvane GmbH\\Quendry Client",
                                          platform::kKeyWrite, &key),
              platform::kRegistrySuccess);
    platform::UniqueRegistryKey owned(key);
    if (value)
        platform::RegistrySetValue(key, "CP", platform::kRegSz,
                                   reinterpret_cast<const unsigned char*>(value),
                                   static_cast<uint32_t>(std::strlen(value) + 1));
    else
        platform::RegistryDeleteValue(key, "CP");
}

class AcosRenewal : public RenewalFixture
{
protected:
    static void SetUpTestSuite()
    {
        RenewalFixture::SetUpTestSuite();
        QuendrySim::OpenSslPtr<EVP_PKEY> key(EVP_RSA_gen(1536));
        newKey = QuendrySim::Encoded(
            [&](unsigned char** out)
            {
                QuendrySim::OpenSslPtr<PKCS8_PRIV_KEY_INFO> info(EVP_PKEY2PKCS8(key.get()));
                return i2d_PKCS8_PRIV_KEY_INFO(info.get(), out);
            });
    }
    void TearDown() override
    {
        unsetenv("QUENDRY_SIM_ACOS_CP");
        RenewalFixture::TearDown();
    }

    bool RenewAcos(int cardType, RenewalScenario scenario)
    {
        scenario.acosEncryptionKey = newKey;
        return Renew(scenario, cardType);
    }

    std::vector<std::string> StepsOfLastRun() const
    {
        std::vector<std::string> steps;
        const auto requests = server.Requests();
        for (size_t i = first; i < requests.size(); ++i)
            steps.push_back(requests[i].endpoint);
        return steps;
    }
    // Starts a case on a pristine card.
    void Fresh(int cardType)
    {
        ResetCard(original, cardType, [](QuendrySim::Card&) {});
        first = server.Requests().size();
        env.ClearCalls();
    }
    QuendrySim::Card Now(int cardType)
    {
        QuendrySim::CardSet set = env.Load();
        return CardOfType(set, cardType);
    }
    static ByteVector Value(QuendrySim::Card& card, const char* label)
    {
        return card.FindObject(label)->value;
    }
    std::string LastOperation2Input()
    {
        std::string input;
        for (const auto& call : CallsOf("C_Register"))
            if (call.Field("operation") == "2")
                input = call.Field("input");
        return input;
    }

    static ByteVector newKey;
    size_t first = 0;
};

ByteVector AcosRenewal::newKey;

std::vector<std::string> Endpoints(std::initializer_list<const char*> steps)
{
    std::vector<std::string> endpoints = {"CertUpdate"};
    for (const char* step : steps)
        endpoints.push_back(std::string("CertUpdate/") + step);
    return endpoints;
}

TEST_F(AcosRenewal, RenewsEitherTypeWithAndWithoutCpDataBothPartsOrOne)
{
    struct Case
    {
        int cardType;
        const char* cp; // null: no value
        bool newEnc;
        bool newSig;
        std::vector<std::string> steps;
    } const cases[] = {
        {1, nullptr, true, true, Endpoints({"Acos1", "Acos2", "Acos3", "Acos4", "Done"})},
        {2, "Nein", true, true, Endpoints({"Acos1", "Acos2", "Acos3", "Acos4", "Done"})},
        {1, "n", false, true, Endpoints({"Acos1", "Acos2", "Done"})},
        {2, " N", false, true, Endpoints({"Acos1", "Acos2", "Done"})},
        {2, "0", true, false, Endpoints({"Acos1a", "Acos3", "Acos4", "Done"})},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.cardType) + " CP " + (c.cp ? c.cp : "none") + " enc " +
                     std::to_string(c.newEnc) + " sig " + std::to_string(c.newSig));
        Fresh(c.cardType);
        SetCp(c.cp);
        RenewalScenario scenario;
        scenario.newEncCert = c.newEnc;
        scenario.newSigCert = c.newSig;
        ASSERT_TRUE(RenewAcos(c.cardType, scenario));
        EXPECT_EQ(StepsOfLastRun(), c.steps);

        const OnlineServicesSim::RenewalRun run = service->Runs().back();
        QuendrySim::Card card = Now(c.cardType);
        QuendrySim::Card& before = CardOfType(original, c.cardType);
        EXPECT_EQ(Value(card, "C.CH.SIG"),
                  c.newSig ? run.signatureCertificate : Value(before, "C.CH.SIG"));
        EXPECT_EQ(Value(card, "C.CH.EKEY"),
                  c.newEnc ? run.encryptionCertificate : Value(before, "C.CH.EKEY"));
        EXPECT_EQ(card.FindObject("SK.CH.EKEY")->key,
                  c.newEnc ? newKey : before.FindObject("SK.CH.EKEY")->key);
        const bool withCp = !c.cp || (c.cp[0] != 'n' && c.cp[0] != 'N');
        if (c.newSig)
        {
            // Two length-prefixed blocks, macRb, and macCp only with CP data.
            const std::string input = LastOperation2Input();
            const size_t blocks = 2 * 4 + (65 + 32);
            EXPECT_EQ(input.size() / 2, blocks + (withCp ? 8 : 4));
            std::string body = server.Requests()[first + 2].body;
            body.erase(std::remove(body.begin(), body.end(), ' '), body.end());
            EXPECT_EQ(body.find("\"response_cp\":\"\"") == std::string::npos, withCp);
        }
    }
}

TEST_F(AcosRenewal, AFailedAcos4FallsBackToTheCertificateWithoutSecureMessaging)
{
    struct Case
    {
        const char* name;
        bool otherKey;
        bool heldElsewhere; // another session keeps the card, and the part under way, open
    } const cases[] = {{"the card's key", false, false},
                       {"another key", true, false},
                       {"the card's key, the card held elsewhere", false, true}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Fresh(1);
        RenewalScenario scenario;
        scenario.newSigCert = false;
        scenario.fallbackKey = CardOfType(original, 1).FindObject("PK.CH.EKEY")->key;
        scenario.faults["Acos4"] = {RenewalFault::Status, ""};
        if (c.otherKey)
            scenario.faults["AcosNoSM"] = {RenewalFault::Misdirected, ""};
        Corvane::acPKCS11 elsewhere;
        std::vector<Corvane::TokenSlot*> elsewhereSlots;
        ASSERT_TRUE(!c.heldElsewhere || (elsewhere.GetSlots(elsewhereSlots, true) &&
                                         elsewhere.OpenSession(IndexOf(1))));
        EXPECT_EQ(RenewAcos(1, scenario), !c.otherKey);
        if (c.heldElsewhere)
            elsewhere.CloseSession();
        const auto warnings = log.At("WARNING");
        ASSERT_FALSE(warnings.empty());
        EXPECT_EQ(warnings.back().second, "CertUpdateAcos4 failed - try again without SM");
        const OnlineServicesSim::RenewalRun run = service->Runs().back();
        if (c.otherKey)
        {
            EXPECT_EQ(StepsOfLastRun(), Endpoints({"Acos1a", "Acos3", "Acos4", "AcosNoSM"}));
            EXPECT_EQ(Now(1).objects.size(), CardOfType(original, 1).objects.size());
            QuendrySim::Card now = Now(1);
            EXPECT_EQ(Value(now, "C.CH.EKEY"), Value(CardOfType(original, 1), "C.CH.EKEY"));
            continue;
        }
        EXPECT_EQ(StepsOfLastRun(), Endpoints({"Acos1a", "Acos3", "Acos4", "AcosNoSM", "Done"}));
        // The card shows the new certificate to the wrapper.
        OpenCard(1);
        ASSERT_TRUE(wrapper->ReadCertificate(false));
        EXPECT_EQ(wrapper->CertificateBytes(), run.encryptionCertificate);
        wrapper->CloseSession();
    }
}

// Operations 0 and 1 take success alone; operations 3 and 6 also let the two vendor codes pass.
TEST_F(AcosRenewal, VendorCodesPassOnlyOperationsThreeAndSix)
{
    const auto all = Endpoints({"Acos1", "Acos2", "Acos3", "Acos4", "Done"});
    // Operations 0 and 1 answer outputs the driver could read, so only the code refuses them.
    const struct
    {
        QuendrySim::Code operation;
        QuendrySim::Code rv;
        const char* output;
        bool passes;
        std::vector<std::string> steps;
    } cases[] = {
        // chip id, card number, bank code
        {0, 0x80000002, "01020304050607084711202400111049201100", false, {"CertUpdate"}},
        // rnd_icc, chip id, a 1-byte proof, a 1-byte key
        {1,
         0x80000001,
         "0102030405060708111213141516171800000001AA00000001BB",
         false,
         {"CertUpdate"}},
        {3, 0x80000001, "", true, all},
        {3, 0x80000002, "", true, all},
        {6, 0x80000001, "", true, all},
        {6, 0x80000002, "", true, all},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE("operation " + std::to_string(c.operation) + " " + std::to_string(c.rv));
        Fresh(1);
        log.Clear();
        EditCards(
            [&](QuendrySim::CardSet& set)
            {
                ByteVector output;
                ASSERT_TRUE(QuendrySim::FromHex(c.output, output));
                CardOfType(set, 1).registers = {{c.operation, c.rv, output}};
            });
        EXPECT_EQ(RenewAcos(1, RenewalScenario{}), c.passes);
        EXPECT_EQ(StepsOfLastRun(), c.steps);
        const auto errors = log.Errors();
        EXPECT_EQ(std::count(errors.begin(), errors.end(), "Error ACOS register step 0"),
                  c.operation == 0 ? 1 : 0);
    }
}

// The terminal block and the terminal random are the same in every run.
TEST_F(AcosRenewal, TheTerminalSendsItsFixedIdentifierAndRandom)
{
    Fresh(2);
    ASSERT_TRUE(RenewAcos(2, RenewalScenario{}));
    const auto requests = server.Requests();
    const struct
    {
        size_t request; // after the update check
        const char* member;
        const char* value;
    } cases[] = {
        {1, "id_ifd", "00283D0001000000"},
        {1, "rnd_ifd", "00000000AAB57875"},
        {3, "rndIfd", "00000000AAB57875"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.member);
        rapidjson::Document body;
        body.Parse(requests.at(first + c.request).body.c_str());
        ASSERT_TRUE(body.IsObject() && body.HasMember(c.member));
        EXPECT_STREQ(body[c.member].GetString(), c.value);
    }
    const auto operations = CallsOf("C_Register");
    ASSERT_GE(operations.size(), 2u);
    EXPECT_EQ(operations[1].Field("input"), "00283D000100000000000000AAB57875");
}

// Every server and card step that fails ends the run there: false, nothing asked later.
TEST_F(AcosRenewal, AFailureAtAnyStepEndsTheRunThere)
{
    struct Case
    {
        std::string name;
        std::string step; // server step with a fault, or empty
        StepFault fault;
        int failingCall;                // the C_Register call (0 to 6) that fails, or -1
        const char* forcedCp;           // QUENDRY_SIM_ACOS_CP, or null
        size_t reached;                 // how many server steps were asked
        bool signatureWritten;          // operation 3 done
        std::string operation1Output{}; // a fixed answer of operation 1 (hex), or empty
    };
    using F = RenewalFault;
    const auto server = [](const char* step, F kind, const char* member, size_t reached)
    {
        return Case{std::string(step) + " " + member + " " + std::to_string(int(kind)),
                    step,
                    {kind, member},
                    -1,
                    nullptr,
                    reached,
                    reached >= 3};
    };
    std::vector<Case> cases = {
        server("Acos1", F::Status, "", 1),
        server("Acos1", F::Misdirected, "authIfd", 1),
        server("Acos1", F::WrongMac, "macRb", 1),
        server("Acos1", F::WrongMac, "macCp", 1),
        server("Acos1", F::BadBase64, "macRb", 1),
        server("Acos2", F::Status, "", 2),
        server("Acos2", F::WrongMac, "persoDataCert", 2),
        server("Acos2", F::Misdirected, "persoDataCert", 2),
        server("Acos2", F::CutScript, "persoDataPinPuk", 2),
        server("Acos2", F::BadBase64, "persoDataPinPuk", 2),
        server("Acos3", F::Status, "", 3),
        server("Acos3", F::Misdirected, "authIfd", 3),
        server("Acos4", F::Status, "", 5), // and AcosNoSM refused: no key to certify
        server("Acos4", F::WrongMac, "persoData", 4),
        {"module without CP data", "", {}, -1, "off", 1, false},
        {"a proof length past the output",
         "",
         {},
         -1,
         nullptr,
         0,
         false,
         "01020304050607081112131415161718FFFFFFF0"},
        {"an empty proof",
         "",
         {},
         -1,
         nullptr,
         0,
         false,
         "010203040506070811121314151617180000000000000001AA"},
    };
    const size_t reachedBeforeCall[] = {0, 0, 1, 2, 2, 3, 4};
    for (int call = 0; call <= 6; ++call)
        cases.push_back({"operation " + std::to_string(call),
                         "",
                         {},
                         call,
                         nullptr,
                         reachedBeforeCall[call],
                         call > 3});
    const char* const order[] = {"Acos1", "Acos2", "Acos3", "Acos4", "AcosNoSM"};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Fresh(2);
        if (!c.operation1Output.empty())
            EditCards(
                [&](QuendrySim::CardSet& set)
                {
                    ByteVector output;
                    QuendrySim::FromHex(c.operation1Output, output);
                    CardOfType(set, 2).registers = {{1, 0, output}};
                });
        if (c.forcedCp)
            setenv("QUENDRY_SIM_ACOS_CP", c.forcedCp, 1);
        else
            unsetenv("QUENDRY_SIM_ACOS_CP");
        if (c.failingCall >= 0)
            AddFault("C_Register", kDeviceError, c.failingCall);
        RenewalScenario scenario;
        if (!c.step.empty())
            scenario.faults[c.step] = c.fault;
        EXPECT_FALSE(RenewAcos(2, scenario));
        std::vector<std::string> expected = {"CertUpdate"};
        for (size_t i = 0; i < c.reached; ++i)
            expected.push_back(std::string("CertUpdate/") + order[i]);
        EXPECT_EQ(StepsOfLastRun(), expected);
        QuendrySim::Card card = Now(2);
        QuendrySim::Card& before = CardOfType(original, 2);
        EXPECT_EQ(Value(card, "C.CH.SIG") != Value(before, "C.CH.SIG"), c.signatureWritten);
        EXPECT_EQ(Value(card, "C.CH.EKEY"), Value(before, "C.CH.EKEY"));
        EXPECT_EQ(card.FindObject("SK.CH.EKEY")->key, before.FindObject("SK.CH.EKEY")->key);
    }
    EditCards([](QuendrySim::CardSet& set) { set.faults.clear(); });
}
} // namespace
