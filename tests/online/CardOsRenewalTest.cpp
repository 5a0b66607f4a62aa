// The CardOS renewal end to end: the simulated card with secure messaging, the simulated server
// driving it over a real socket.

#include "RenewalFixture.h"

#include "sim/cardmodule/cardset/Hex.h"
#include "tests/token/TestCrypto.h"

#include <openssl/x509.h>

#include <algorithm>
#include <functional>

namespace
{
using OnlineServicesSim::RenewalFault;
using OnlineServicesSim::RenewalScenario;
using OnlineServicesSim::StepFault;
using QuendrySim::DialogAnswer;

const ByteVector kMessage = {'r', 'e', 'n', 'e', 'w', 'e', 'd'};

ByteVector FileData(const QuendrySim::Card& card, const std::string& path)
{
    for (const auto& file : card.files)
        if (file.path == path)
            return file.data;
    return {};
}

// Every byte is the one before the run or the one the server issued for this file.
bool WrittenOnlyWith(const ByteVector& now, const ByteVector& before, const ByteVector& issued)
{
    for (size_t i = 0; i < now.size(); ++i)
    {
        const bool old = i < before.size() && now[i] == before[i];
        const bool fresh = i < issued.size() && now[i] == issued[i];
        if (!old && !fresh)
            return false;
    }
    return true;
}

void RemoveFile(QuendrySim::Card& card, const std::string& path)
{
    card.files.erase(std::remove_if(card.files.begin(), card.files.end(),
                                    [&](const auto& file) { return file.path == path; }),
                     card.files.end());
}

bool IssuedBy(const ByteVector& der, X509* ca)
{
    const unsigned char* p = der.data();
    X509* certificate = d2i_X509(nullptr, &p, static_cast<long>(der.size()));
    const bool issued =
        certificate && X509_verify(certificate, X509_get0_pubkey(ca)) == 1 &&
        X509_NAME_cmp(X509_get_issuer_name(certificate), X509_get_subject_name(ca)) == 0;
    X509_free(certificate);
    return issued;
}

struct FailureCase
{
    std::string name;
    std::string step; // the server step whose answer is broken, or empty
    StepFault fault;
    int failingCardStep;     // the card step whose first transmission fails, or -1
    const char* removedFile; // a file the card lacks, or null
    std::string lastRequest;
    std::string errorText;
    bool signatureRenewed;
    bool newSig;
    // A command the card answers with an error status once the server has had this request.
    const char* refusedAfter = nullptr;
    const char* refusedCommand = nullptr;
};

class CardOsRenewal : public RenewalFixture
{
protected:
    std::vector<std::string> EndpointsFrom(size_t first) const
    {
        std::vector<std::string> endpoints;
        const auto requests = server.Requests();
        for (size_t i = first; i < requests.size(); ++i)
            endpoints.push_back(requests[i].endpoint);
        return endpoints;
    }

    // A signature of the card's key that libcrypto verifies with the card's certificate object.
    bool SignsForItsCertificate(const char* key, const char* certificate, const char* pin)
    {
        QuendrySim::Card card = CardNow();
        const bool rsa = card.FindObject(key)->keyType == QuendrySim::KeyType::Rsa;
        const ByteVector input =
            rsa ? tokentest::Sha256DigestInfo(kMessage) : tokentest::Sha256(kMessage);
        Script({DialogAnswer::Enter({pin})});
        OpenCard(kCardOsType);
        ByteVector signature;
        const bool signs = wrapper->Sign(key, input, signature);
        wrapper->CloseSession();
        return signs && tokentest::VerifyCardSignature(card.FindObject(certificate)->value, input,
                                                       signature);
    }

    void RunFailureCases(const std::vector<FailureCase>& cases,
                         const std::vector<size_t>& firstCommands);

    bool LogHasError(const std::string& text)
    {
        const auto errors = log.Errors();
        return std::find(errors.begin(), errors.end(), text) != errors.end();
    }
};

TEST_F(CardOsRenewal, RenewsBothPartsSignatureOnlyAndEncryptionOnly)
{
    const std::vector<std::string> bothParts = {"Cardos0", "Cardos1", "Cardos2",
                                                "Cardos3", "Cardos4", "Cardos5",
                                                "Cardos6", "Cardos7", "Done"};
    // The server checks the version record and the certificate files' SELECT answers against
    // what it knows of the card: here a card of another version without the CA's certificate.
    struct Case
    {
        bool newEnc;
        bool newSig;
        std::vector<std::string> steps;
        bool otherCard = false;
    } const cases[] = {
        {true, true, bothParts},
        {false, true, {"Cardos0", "Cardos1", "Cardos2", "Cardos5", "Cardos6", "Cardos7", "Done"}},
        {true, false, {"Cardos0a", "Cardos3", "Cardos4", "Cardos5", "Cardos6", "Cardos7", "Done"}},
        {true, true, bothParts, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string("enc ") + (c.newEnc ? "yes" : "no") + ", sig " +
                     (c.newSig ? "yes" : "no") + (c.otherCard ? ", other card" : ""));
        RenewalScenario scenario;
        ResetCard(original, kCardOsType,
                  [&](QuendrySim::Card& card)
                  {
                      if (!c.otherCard)
                          return;
                      RemoveFile(card, "3F00/DF01/C608");
                      for (auto& file : card.files)
                          if (file.path == "3F00/0032")
                              file.records = {{0x05, 0x03, 0x02, 0x07}};
                      scenario.cardOsVersion = "05030207";
                      scenario.cardOsMissingFiles = {"C608"};
                  });
        const size_t first = server.Requests().size();
        scenario.newEncCert = c.newEnc;
        scenario.newSigCert = c.newSig;
        ASSERT_TRUE(Renew(scenario));

        std::vector<std::string> expected = {"CertUpdate"};
        for (const std::string& step : c.steps)
            expected.push_back("CertUpdate/" + step);
        EXPECT_EQ(EndpointsFrom(first), expected);
        const OnlineServicesSim::RenewalRun run = service->Runs().back();
        EXPECT_TRUE(run.done);

        QuendrySim::Card card = CardNow();
        QuendrySim::Card& before = OriginalCard();
        const auto certificate = [&](QuendrySim::Card& of, const char* label)
        { return of.FindObject(label)->value; };
        EXPECT_EQ(certificate(card, "C.CH.SIG"),
                  c.newSig ? run.signatureCertificate : certificate(before, "C.CH.SIG"));
        EXPECT_EQ(certificate(card, "C.CH.EKEY"),
                  c.newEnc ? run.encryptionCertificate : certificate(before, "C.CH.EKEY"));
        EXPECT_EQ(card.FindObject("SK.CH.EKEY")->key != before.FindObject("SK.CH.EKEY")->key,
                  c.newEnc);
        EXPECT_EQ(IssuedBy(run.signatureCertificate, pki->caCertificate.get()), c.newSig);
        EXPECT_EQ(IssuedBy(run.encryptionCertificate, pki->caCertificate.get()), c.newEnc);
        EXPECT_EQ(FileData(card, "3F00/DF01/C608"),
                  c.otherCard ? ByteVector{} : FileData(before, "3F00/DF01/C608"));
        EXPECT_EQ(QuendrySim::ToHex(FileData(card, "3F00/D001")), cardIdentifier);
        EXPECT_TRUE(SignsForItsCertificate("SK.CH.EKEY", "C.CH.EKEY", "1234"));
        EXPECT_TRUE(SignsForItsCertificate("SK.CH.SIG", "C.CH.SIG", "123456"));
        size_t terminalChallenges = 0;
        const auto requests = server.Requests();
        for (auto request = requests.begin() + first; request != requests.end(); ++request)
            terminalChallenges +=
                request->body.find("\"RND_IFD\": \"3B7D1E95C0A4F268\"") != std::string::npos;
        EXPECT_EQ(terminalChallenges, c.newEnc && c.newSig ? 3u : 2u);
    }
}

TEST_F(CardOsRenewal, AFailedServerStepIsBracketedAndEndsTheRun)
{
    RenewalScenario scenario;
    scenario.faults["Cardos1"] = {RenewalFault::Status, ""};
    EXPECT_FALSE(Renew(scenario));
    std::vector<std::string> messages;
    for (const auto& line : log.At("MESSAGE"))
        messages.push_back(line.second);
    ASSERT_GE(messages.size(), 3u);
    const std::vector<std::string> last(messages.end() - 3, messages.end());
    EXPECT_EQ(last, std::vector<std::string>({"*** Begin server CertUpdateCardos1 ***",
                                              "CertUpdateCardos1 failed",
                                              "*** End server CertUpdateCardos1 ***"}));
}

TEST_F(CardOsRenewal, AFailedDoneIsOnlyAWarning)
{
    RenewalScenario scenario;
    scenario.faults["Done"] = {RenewalFault::Status, ""};
    EXPECT_TRUE(Renew(scenario));
    const auto warnings = log.At("WARNING");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].second, "CertUpdateDone failed");
    EXPECT_FALSE(service->Runs().back().done);
}

TEST_F(CardOsRenewal, NoUpdateRunsNothing)
{
    RenewalScenario scenario;
    scenario.certUpdateFound = false;
    EXPECT_FALSE(Renew(scenario));
    EXPECT_EQ(EndpointsFrom(0), std::vector<std::string>{"CertUpdate"});
    const auto messages = log.At("MESSAGE");
    EXPECT_EQ(messages.back().second,
              "No update on server for cin/csn: " + cardIdentifier.substr(0, 12) + "/" +
                  cardIdentifier.substr(12) + ", encSerial=11");
}

// The first transmission of each card step in the log of a run with both parts.
std::vector<size_t> FirstCommandOfEachCardStep(const std::vector<QuendrySim::CallRecord>& calls)
{
    std::vector<size_t> starts;
    size_t transmits = 0;
    int resets = 0;
    bool resetPending = false;
    int authentications = 0;
    for (const auto& call : calls)
    {
        if (call.function == "C_CardAttribute" && call.Field("name") == "Reset")
        {
            ++resets;
            resetPending = true;
        }
        if (call.function != "C_CardTransmit")
            continue;
        if (resetPending)
            starts.push_back(resets == 1 ? transmits + 3 : transmits); // after the chip id
        resetPending = false;
        if (call.Field("apdu").rfind("00820081", 0) == 0)
        {
            ++authentications;
            starts.push_back(transmits);
            starts.push_back(transmits + 1);
            if (authentications == 1)
                starts.push_back(transmits + 2);
        }
        ++transmits;
    }
    return starts; // CardOS0 to CardOS9
}

// A wrong MAC of the last answer is found only after the card has written everything.
FailureCase ServerFault(const char* step, RenewalFault kind, const char* member,
                        const char* errorText)
{
    const std::string name(step);
    const bool afterSignaturePart = (name >= "Cardos3" && name <= "Cardos7") ||
                                    (name == "Cardos2" && kind == RenewalFault::WrongMac);
    return {name + " " + std::to_string(static_cast<int>(kind)) + " " + member,
            name,
            {kind, member},
            -1,
            nullptr,
            name == "CertUpdate" ? name : "CertUpdate/" + name,
            errorText,
            afterSignaturePart,
            name != "Cardos0a"};
}

std::vector<FailureCase> SignaturePartServerFaults()
{
    using F = RenewalFault;
    return {
        ServerFault("CertUpdate", F::Status, "",
                    "error in webcall CertUpdateCheck invalid statuscode=500"),
        ServerFault("Cardos0", F::Status, "",
                    "error in webcall CertUpdateCardos0 invalid statuscode=500"),
        ServerFault("Cardos0", F::MissingMember, "", "error json object has no authifd element"),
        ServerFault("Cardos0", F::Misdirected, "", "error get AuthIcc"),
        ServerFault("Cardos1", F::EmptyValue, "", "macRequest is empty"),
        ServerFault("Cardos1", F::BadBase64, "", "error in SendAPDU"),
        ServerFault("Cardos1", F::Misdirected, "", "error getting SmPuKss"),
        ServerFault("Cardos2", F::EmptyValue, "", "error CertUpdateCardos2"),
        ServerFault("Cardos2", F::BadBase64, "", "Error parsing sig cert persodata"),
        ServerFault("Cardos2", F::WrongMac, "", "apdu mac verify error"),
        ServerFault("Cardos2", F::CutScript, "", "Error parsing sig cert persodata"),
        ServerFault("Cardos2", F::WrongFile, "", "Error executing sig cert persodata"),
        ServerFault("Cardos2", F::Misdirected, "", "apdu response invalid length"),
    };
}

std::vector<FailureCase> LaterServerFaults()
{
    using F = RenewalFault;
    return {
        ServerFault("Cardos0a", F::Status, "", "error in webcall: invalid statuscode=500"),
        ServerFault("Cardos3", F::MissingMember, "", "error json object has no authifd element"),
        ServerFault("Cardos3", F::EmptyValue, "", "authIfd is empty"),
        ServerFault("Cardos4", F::MissingMember, "persoDataKey",
                    "error json object has no persoDataKey element"),
        ServerFault("Cardos4", F::EmptyValue, "persoDataCert",
                    "error CertUpdateCardos4 - persoDataCert was empty"),
        ServerFault("Cardos4", F::BadBase64, "persoDataCert", "Error parsing enc cert persodata"),
        ServerFault("Cardos4", F::WrongFile, "persoDataCert", "Error executing enc cert persodata"),
        ServerFault("Cardos4", F::WrongMac, "persoDataKey", "Error executing key data persodata"),
        ServerFault("Cardos4", F::CutScript, "persoDataKey", "Error parsing key data persodata"),
        ServerFault("Cardos5", F::Status, "",
                    "error in webcall CertUpdateCardos5 invalid statuscode=500"),
        ServerFault("Cardos5", F::Misdirected, "", "error get auth_icc_mf"),
        ServerFault("Cardos6", F::EmptyValue, "", "macRequest is empty"),
        ServerFault("Cardos6", F::Misdirected, "", "error writing CIN/CSN"),
        ServerFault("Cardos7", F::Status, "",
                    "error in webcall CertUpdateCardos7 invalid statuscode=500"),
    };
}

std::vector<FailureCase> CardFaults()
{
    std::vector<FailureCase> cases = {
        {"no version file",
         "",
         {},
         -1,
         "3F00/0032",
         "CertUpdate",
         "Cardos0: error EF_Version",
         false,
         true},
        {"a card without the holder's certificate file the server knows it by",
         "",
         {},
         -1,
         "3F00/DF01/C000",
         "CertUpdate/Cardos0",
         "error in webcall CertUpdateCardos0 invalid statuscode=400",
         false,
         true},
        {"no encryption application",
         "",
         {},
         -1,
         "3F00/DF02/2F01",
         "CertUpdate/Cardos2",
         "error SELECT DF_ENC",
         true,
         true},
        {"an error status to the SELECT of the signature application",
         "",
         {},
         -1,
         nullptr,
         "CertUpdate",
         "error SELECT DF_SIG",
         false,
         true,
         "CertUpdate",
         "00A4000C02DF01"},
        // CardOS0 and CardOS4 select the master file too; only CardOS7's SELECT gets the error.
        {"an error status to CardOS7's SELECT of the master file",
         "",
         {},
         -1,
         nullptr,
         "CertUpdate/Cardos4",
         "error SELECT MF",
         true,
         true,
         "CertUpdate/Cardos4",
         "00A4000C023F00"},
    };
    // The server step before each card step, CardOS0 to CardOS9.
    const char* const before[] = {"CertUpdate", "Cardos0", "Cardos1", "Cardos2", "Cardos2",
                                  "Cardos3",    "Cardos4", "Cardos4", "Cardos5", "Cardos6"};
    for (int step = 0; step < 10; ++step)
    {
        const std::string last =
            step == 0 ? "CertUpdate" : "CertUpdate/" + std::string(before[step]);
        cases.push_back({"transmission of CardOS" + std::to_string(step),
                         "",
                         {},
                         step,
                         nullptr,
                         last,
                         "error in SendAPDU",
                         step >= 4,
                         true});
    }
    return cases;
}

// Each case runs on the card as generated: the run returns false, no request follows the
// failing step, Done is not sent, and every file holds what it held or what was meant for it.
void CardOsRenewal::RunFailureCases(const std::vector<FailureCase>& cases,
                                    const std::vector<size_t>& firstCommands)
{
    for (const FailureCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        ResetCard(original, kCardOsType,
                  [&](QuendrySim::Card& card)
                  {
                      if (c.removedFile)
                          RemoveFile(card, c.removedFile);
                  });
        if (c.failingCardStep >= 0)
            AddFault("C_CardTransmit", CKR_DEVICE_ERROR,
                     static_cast<int>(firstCommands.at(c.failingCardStep)));
        server.SetObserver(
            [&](const OnlineServicesSim::RecordedRequest& request)
            {
                // The client waits for the answer, so the card changes between two card steps.
                if (c.refusedCommand && request.endpoint == c.refusedAfter)
                    EditCards(
                        [&](QuendrySim::CardSet& set)
                        {
                            ByteVector command;
                            QuendrySim::FromHex(c.refusedCommand, command);
                            CardOfType(set, kCardOsType).apdus.push_back({command, {0x6A, 0x82}});
                        });
            });
        RenewalScenario scenario;
        scenario.newSigCert = c.newSig;
        if (!c.step.empty())
            scenario.faults[c.step] = c.fault;
        const size_t first = server.Requests().size();
        const size_t runsBefore = service->Runs().size();
        log.Clear();
        env.ClearCalls();

        EXPECT_FALSE(Renew(scenario));
        server.SetObserver({});
        const std::vector<std::string> endpoints = EndpointsFrom(first);
        ASSERT_FALSE(endpoints.empty());
        EXPECT_EQ(endpoints.back(), c.lastRequest);
        EXPECT_TRUE(LogHasError(c.errorText));

        QuendrySim::Card card = CardNow();
        QuendrySim::Card& before = OriginalCard();
        const auto runs = service->Runs();
        const OnlineServicesSim::RenewalRun run =
            runs.size() > runsBefore ? runs.back() : OnlineServicesSim::RenewalRun{};
        EXPECT_FALSE(run.done);
        EXPECT_EQ(card.FindObject("C.CH.SIG")->value, c.signatureRenewed
                                                          ? run.signatureCertificate
                                                          : before.FindObject("C.CH.SIG")->value);
        EXPECT_EQ(FileData(card, "3F00/DF01/C608"), FileData(before, "3F00/DF01/C608"));
        EXPECT_TRUE(WrittenOnlyWith(FileData(card, "3F00/DF01/C000"),
                                    FileData(before, "3F00/DF01/C000"), run.signatureCertificate));
        EXPECT_TRUE(WrittenOnlyWith(FileData(card, "3F00/DF02/2F01"),
                                    FileData(before, "3F00/DF02/2F01"), run.encryptionCertificate));
        EXPECT_EQ(FileData(card, "3F00/D001"), FileData(before, "3F00/D001"));
    }
}

TEST_F(CardOsRenewal, AServerFaultInTheSignaturePartEndsTheRunThere)
{
    RunFailureCases(SignaturePartServerFaults(), {});
}

TEST_F(CardOsRenewal, AServerFaultLaterEndsTheRunThere)
{
    RunFailureCases(LaterServerFaults(), {});
}

TEST_F(CardOsRenewal, ACardFaultAtAnyCardStepEndsTheRunThere)
{
    env.ClearCalls();
    ASSERT_TRUE(Renew(RenewalScenario{}));
    const std::vector<size_t> firstCommands = FirstCommandOfEachCardStep(env.Calls());
    ASSERT_EQ(firstCommands.size(), 10u);
    RunFailureCases(CardFaults(), firstCommands);
}

TEST_F(CardOsRenewal, CardStepsSendTheirCommandsByteForByte)
{
    CertUpdater updater;
    OpenCardOs(updater);
    std::string efVersion, chDs, caCs, rndIcc, rndIfd, chAut, caCsAut;
    struct Step
    {
        const char* name;
        std::function<bool()> run;
        std::vector<std::string> apdus;
    } const steps[] = {
        {"CardOS0",
         [&] { return updater.CardOS0(efVersion, chDs, caCs, rndIcc, rndIfd); },
         {"00A4000C023F00", "00A4000C022F02", "00B0000000", "00A4000C023F00", "00A4000C020032",
          "00B2000000", "00A4000C02DF01", "00A4000C02C000", "00A4000C02C608", "0084000008"}},
        {"CardOS4",
         [&] { return updater.CardOS4(chAut, caCsAut, rndIcc, rndIfd); },
         {"00A4000C023F00", "00A4000C02DF02", "00A4000C022F01", "00A4000C022F01", "0084000008"}},
        {"CardOS7",
         [&] { return updater.CardOS7(rndIcc, rndIfd); },
         {"00A4000C023F00", "0084000008"}},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.name);
        env.ClearCalls();
        rndIfd.clear();
        ASSERT_TRUE(step.run());
        EXPECT_EQ(SentApdus(), step.apdus);
        const auto resets = CallsOf("C_CardAttribute");
        ASSERT_EQ(resets.size(), 1u);
        EXPECT_EQ(resets[0].Field("name"), "Reset");
        EXPECT_EQ(rndIfd, "3B7D1E95C0A4F268");
        EXPECT_EQ(rndIcc.size(), 16u);
    }
    EXPECT_EQ(updater.Idicc(), QuendrySim::ToHex(FileData(CardNow(), "3F00/2F02")).substr(0, 24));
    EXPECT_EQ(efVersion, "05030001");
    EXPECT_EQ(chDs, "9000");
    EXPECT_EQ(caCs, "9000");
    EXPECT_EQ(chAut, "9000");

    // The certificate files' SELECT answers go to the server whatever they are.
    wrapper->CloseSession();
    EditCards([this](QuendrySim::CardSet& set)
              { RemoveFile(CardOfType(set, kCardOsType), "3F00/DF01/C000"); });
    OpenCard(kCardOsType);
    EXPECT_TRUE(updater.CardOS0(efVersion, chDs, caCs, rndIcc, rndIfd));
    EXPECT_EQ(chDs, "6A82");
    wrapper->CloseSession();
}

// Lc is the data's length in lower-case hexadecimal, at least two digits; the card answers the
// command without a challenge before it with an error, so the log names the command as sent.
TEST_F(CardOsRenewal, AuthenticationLcFollowsTheDataLength)
{
    CertUpdater updater;
    OpenCardOs(updater);
    struct Case
    {
        size_t bytes;
        const char* lc; // null: refused before anything is sent
    } const cases[] = {{8, "08"},   {72, "48"},     {250, "fa"},
                       {255, "ff"}, {256, nullptr}, {4096, nullptr}}; // 4096: Lc of four digits
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.bytes);
        env.ClearCalls();
        log.Clear();
        const std::string authIfd(2 * c.bytes, 'A');
        std::string answer;
        EXPECT_FALSE(updater.CardOS1(authIfd, answer)) << "no challenge before it";
        const std::vector<std::string> sent = SentApdus();
        ASSERT_FALSE(log.Errors().empty());
        EXPECT_EQ(log.Errors().back(), "error get AuthIcc");
        if (!c.lc)
        {
            EXPECT_TRUE(sent.empty());
            continue;
        }
        const std::string command = "00820081" + std::string(c.lc) + authIfd + "00";
        EXPECT_EQ(log.Errors(), std::vector<std::string>({"APDU Error: 6985", "In data: " + command,
                                                          "error get AuthIcc"}));
        ASSERT_EQ(sent.size(), 1u);
        std::string upper = command;
        std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
        EXPECT_EQ(sent[0], upper);
    }
    wrapper->CloseSession();
}
} // namespace
