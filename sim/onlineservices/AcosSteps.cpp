// The ACOS steps of the renewal service: the server checks the card's proofs from the numbered
// operations with the keys of the shared test-key library and seals the certificate, key and
// PIN/PUK data for the channel each part opens, so that data altered, reordered or made for
// another card fails at the card.

#include "sim/onlineservices/RenewalService.h"

#include "sim/testkeys/AcosKeys.h"
#include "sim/testkeys/TestKeys.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/x509.h>

namespace OnlineServicesSim
{
namespace
{
constexpr int kNewKeyBits = 2048;
// Operation 1's terminal block: the terminal's identifier and its random, which is the same in
// every run and serves the encryption part too.
constexpr const char* kTerminalId = "00283D0001000000";
constexpr const char* kTerminalRandom = "00000000AAB57875";
constexpr size_t kCgaKeyLength = 65;
// The PIN's and the PUK's tries the PIN/PUK data sets.
const Bytes kPinPukData = {3, 10};

bool IsAcosRun(const RenewalRun& run)
{
    return run.cardType >= 0 && run.cardType <= 2;
}

Bytes RandomBytes(size_t length)
{
    Bytes bytes(length);
    RAND_bytes(bytes.data(), static_cast<int>(length));
    return bytes;
}

Bytes Joined(const Bytes& first, const Bytes& second)
{
    Bytes bytes = first;
    bytes.insert(bytes.end(), second.begin(), second.end());
    return bytes;
}

// epa_cardnr and epa_blz as the card answers them in operation 0: the card number of the update
// check and the bank code.
bool NamesTheCard(const RenewalRun& run, const rapidjson::Value& request)
{
    return Holds(request,
                 {{"epa_cardnr", run.cin + run.csn}, {"epa_blz", HexText(SimKeys::kAcosBankCode)}});
}

// A key made with another card's key, when the fault asks for one.
Bytes KeyFor(const RenewalRun& run, const StepFault& fault, const std::string& member,
             const Bytes& key)
{
    return Targets(fault, RenewalFault::Misdirected, member)
               ? SimKeys::CardKey("ACOS", run.chipId, "OTHER")
               : key;
}

// A sealed block as Base64, broken as the fault says.
std::string Sealed(RenewalRun& run, const Bytes& data, const StepFault& fault,
                   const std::string& member)
{
    Bytes block = SimKeys::SealBlock(run.channel, data);
    if (Targets(fault, RenewalFault::WrongMac, member))
        block.back() ^= 0x01;
    if (Targets(fault, RenewalFault::CutScript, member))
        block.resize(block.size() - SimKeys::kMacLength / 2);
    return Base64Text(block);
}

std::string ShortMac(const Bytes& macKey, const char* label, const RenewalRun& run,
                     const Bytes& pkCgaAuth, const StepFault& fault, const std::string& member)
{
    Bytes mac = SimKeys::AcosShortMac(macKey, label, pkCgaAuth, run.authIfd);
    if (Targets(fault, RenewalFault::WrongMac, member))
        mac.back() ^= 0x01;
    return Base64Text(mac);
}

// The certificate for the key, or for a key of no card when the fault misdirects it.
bool IssueFor(const RenewalService& service, const RenewalRun& run, const Bytes& publicKey,
              const StepFault& fault, const std::string& member, Bytes& der)
{
    const unsigned char* p = publicKey.data();
    KeyPtr key(Targets(fault, RenewalFault::Misdirected, member)
                   ? EVP_EC_gen("P-256")
                   : d2i_PUBKEY(nullptr, &p, static_cast<long>(publicKey.size())));
    return key && service.Issue(key.get(), HolderOf(run), der);
}

bool Acos1(RenewalRun& run, const rapidjson::Value& request, const StepFault& fault,
           AnswerMembers& answer)
{
    Bytes idIfd, rndIfd, proof;
    if (!NamesTheCard(run, request) ||
        !Holds(request, {{"id_ifd", kTerminalId}, {"rnd_ifd", kTerminalRandom}}) ||
        !HexMember(request, "idicc", run.chipId) || !HexMember(request, "rnd_icc", run.rndIcc) ||
        !HexMember(request, "rnd_ifd", rndIfd) || !HexMember(request, "id_ifd", idIfd) ||
        !HexMember(request, "auth_icc_sig", proof) ||
        !HexMember(request, "pk_icc_auth", run.offeredKey))
        return false;
    run.rndIfd = Joined(idIfd, rndIfd);
    run.cardKey = SimKeys::AcosSignatureKey(run.chipId);
    if (proof !=
        SimKeys::AcosSignatureCardProof(run.cardKey, run.rndIcc, run.rndIfd, run.offeredKey))
        return false;
    run.authIfd =
        SimKeys::TerminalProof(KeyFor(run, fault, "authIfd", run.cardKey), run.rndIcc, run.rndIfd);
    const Bytes macKey = SimKeys::SessionMacKey(run.cardKey, run.rndIcc, run.rndIfd);
    run.channel = {macKey, 0};
    const Bytes pkCgaAuth = RandomBytes(kCgaKeyLength);
    answer = {{"authIfd", Base64Text(run.authIfd)},
              {"macCp", ShortMac(macKey, "CP", run, pkCgaAuth, fault, "macCp")},
              {"macRb", ShortMac(macKey, "RB", run, pkCgaAuth, fault, "macRb")},
              {"pkCgaAuth", Base64Text(pkCgaAuth)}};
    return true;
}

// response_cp is empty when the card left the CP data out.
bool Acos2(const RenewalService& service, RenewalRun& run, const rapidjson::Value& request,
           const StepFault& fault, AnswerMembers& answer)
{
    Bytes responseRb, responseCp;
    if (!Base64Member(request, "response_rb", responseRb) ||
        !Base64Member(request, "response_cp", responseCp) ||
        responseRb != SimKeys::AcosResponseRb(run.channel.macKey, run.authIfd) ||
        (!responseCp.empty() &&
         responseCp != SimKeys::AcosResponseCp(run.channel.macKey, run.authIfd)) ||
        !IssueFor(service, run, run.offeredKey, fault, "persoDataCert", run.signatureCertificate))
        return false;
    const std::string certificate = Sealed(run, run.signatureCertificate, fault, "persoDataCert");
    answer = {{"persoDataCert", certificate},
              {"persoDataPinPuk", Sealed(run, kPinPukData, fault, "persoDataPinPuk")}};
    return true;
}

bool Acos3(RenewalRun& run, const rapidjson::Value& request, const StepFault& fault,
           AnswerMembers& answer)
{
    Bytes rndIfd, version;
    if (!Holds(request, {{"rndIfd", kTerminalRandom}}) ||
        !HexMember(request, "rndIcc", run.rndIcc) || !HexMember(request, "rndIfd", rndIfd) ||
        !HexMember(request, "vkDecSm", version) || run.chipId.empty())
        return false;
    run.cardKey = SimKeys::AcosDecryptionKey(run.chipId, version);
    run.rndIfd = Joined(rndIfd, RandomBytes(SimKeys::kAcosTerminalRandomLength));
    run.authIfd =
        Joined(run.rndIfd, SimKeys::AcosEncryptionTerminalProof(
                               KeyFor(run, fault, "authIfd", run.cardKey), run.rndIcc, run.rndIfd));
    answer = {{"authIfd", Base64Text(run.authIfd)}};
    return true;
}

KeyPtr EncryptionKey(const RenewalRun& run)
{
    const Bytes& pkcs8 = run.scenario.acosEncryptionKey;
    if (pkcs8.empty())
        return KeyPtr(EVP_RSA_gen(kNewKeyBits));
    const unsigned char* p = pkcs8.data();
    return KeyPtr(d2i_AutoPrivateKey(nullptr, &p, static_cast<long>(pkcs8.size())));
}

bool Acos4(const RenewalService& service, RenewalRun& run, const rapidjson::Value& request,
           const StepFault& fault, AnswerMembers& answer)
{
    Bytes authIcc;
    if (!HexMember(request, "authIcc", authIcc) ||
        authIcc.size() != SimKeys::kAcosAuthenticationLength)
        return false;
    const Bytes cardRandom(authIcc.begin(), authIcc.begin() + SimKeys::kAcosCardRandomLength);
    const Bytes proof(authIcc.begin() + SimKeys::kAcosCardRandomLength, authIcc.end());
    if (proof != SimKeys::AcosEncryptionCardProof(run.cardKey, run.rndIcc, run.rndIfd, cardRandom))
        return false;
    run.channel = {SimKeys::SessionMacKey(run.cardKey, run.rndIcc, Joined(run.rndIfd, cardRandom)),
                   0};
    KeyPtr key = EncryptionKey(run);
    const Bytes pkcs8 = key ? PrivateKeyInfo(key.get()) : Bytes{};
    unsigned char* publicKeyBytes = nullptr;
    const int publicKeyLength = key ? i2d_PUBKEY(key.get(), &publicKeyBytes) : 0;
    const Bytes publicKey(publicKeyBytes, publicKeyBytes + std::max(publicKeyLength, 0));
    OPENSSL_free(publicKeyBytes);
    if (pkcs8.empty() ||
        !IssueFor(service, run, publicKey, fault, "persoDataCert", run.encryptionCertificate))
        return false;
    const std::string certificate = Sealed(run, run.encryptionCertificate, fault, "persoDataCert");
    const std::string keyData = Sealed(run, pkcs8, fault, "persoData");
    answer = {{"persoDataCert", certificate},
              {"persoDataPinPuk", Sealed(run, kPinPukData, fault, "persoDataPinPuk")},
              {"persoData", keyData}};
    return true;
}

// The encryption certificate without secure messaging, for the key the scenario names.
bool AcosNoSM(const RenewalService& service, RenewalRun& run, const StepFault& fault,
              AnswerMembers& answer)
{
    if (run.scenario.fallbackKey.empty() || !IssueFor(service, run, run.scenario.fallbackKey, fault,
                                                      "encCert", run.encryptionCertificate))
        return false;
    answer = {{"cinCsn", run.cin + run.csn}, {"encCert", Base64Text(run.encryptionCertificate)}};
    return true;
}
} // namespace

void AddAcosSteps(RenewalService& service)
{
    using Run = const RenewalRun&;
    service.AddStep(
        "Acos1",
        [](Run run) -> std::string
        { return IsAcosRun(run) && run.scenario.newSigCert ? "CertUpdate" : ""; },
        Acos1);
    service.AddStep("Acos2", After("Acos1"),
                    [&service](RenewalRun& run, const rapidjson::Value& request,
                               const StepFault& fault, AnswerMembers& answer)
                    { return Acos2(service, run, request, fault, answer); });
    service.AddStep(
        "Acos1a",
        [](Run run) -> std::string
        {
            return IsAcosRun(run) && run.scenario.newEncCert && !run.scenario.newSigCert
                       ? "CertUpdate"
                       : "";
        },
        [](RenewalRun& run, const rapidjson::Value& request, const StepFault&, AnswerMembers&)
        { return HexMember(request, "idicc", run.chipId) && NamesTheCard(run, request); });
    service.AddStep(
        "Acos3",
        [](Run run) -> std::string
        {
            if (!IsAcosRun(run) || !run.scenario.newEncCert)
                return "";
            return run.scenario.newSigCert ? "Acos2" : "Acos1a";
        },
        Acos3);
    service.AddStep("Acos4", After("Acos3"),
                    [&service](RenewalRun& run, const rapidjson::Value& request,
                               const StepFault& fault, AnswerMembers& answer)
                    { return Acos4(service, run, request, fault, answer); });
    // After Acos4 refused, or answered without what the card needs.
    service.AddStep(
        "AcosNoSM",
        [](Run run) -> std::string
        {
            const std::string& last = run.steps.back();
            return IsAcosRun(run) && (last == "Acos3" || last == "Acos4") ? last : "";
        },
        [&service](RenewalRun& run, const rapidjson::Value&, const StepFault& fault,
                   AnswerMembers& answer) { return AcosNoSM(service, run, fault, answer); });
    service.AddFinalStep("Acos2");
    service.AddFinalStep("Acos4");
    service.AddFinalStep("AcosNoSM");
}

} // namespace OnlineServicesSim
