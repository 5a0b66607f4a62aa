// The CardOS steps of the renewal service: mutual authentication with the DF keys of the shared
// test-key library, then secure-messaging commands and persodata scripts whose answer MACs the
// server works out ahead, so that a command skipped, reordered, altered or sent to another DF
// fails the run.

#include "sim/onlineservices/RenewalService.h"

#include "sim/testkeys/TestKeys.h"

#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <algorithm>

namespace OnlineServicesSim
{
namespace
{
constexpr const char* kFamily = "CardOS";
constexpr int kCardType = 7;
constexpr unsigned char kUpdateBinary = 0xD6;
constexpr unsigned char kPutData = 0xDA;
constexpr unsigned char kReadPublicKey = 0xB4;
constexpr unsigned char kCardIdentifierSfi = 0x01;
constexpr int kNewKeyBits = 2048;
// The terminal challenge is the same in every run.
constexpr const char* kTerminalChallenge = "3B7D1E95C0A4F268";
const Bytes kSignatureCertificateFile = {0xC0, 0x00};
const Bytes kEncryptionCertificateFile = {0x2F, 0x01};

struct ScriptEntry
{
    Bytes fileId; // empty: none
    Bytes command;
    Bytes mac;
};

// The channel the commands are protected for: the card's, or one the card does not share.
SimKeys::SmChannel& CommandChannel(RenewalRun& run, const StepFault& fault,
                                   const std::string& member, SimKeys::SmChannel& stranger)
{
    if (!Targets(fault, RenewalFault::Misdirected, member))
        return run.channel;
    stranger = run.channel;
    stranger.macKey = SimKeys::CardKey(kFamily, run.chipId, "DF99");
    return stranger;
}

ScriptEntry Protected(SimKeys::SmChannel& channel, const SimKeys::PlainCommand& command)
{
    ScriptEntry entry;
    entry.command = SimKeys::ProtectCommand(channel, command);
    entry.mac = SimKeys::ExpectedAnswerMac(channel, {});
    return entry;
}

// UPDATE BINARY of the selected file in parts, after selecting it.
std::vector<ScriptEntry> CertificateScript(SimKeys::SmChannel& channel, const Bytes& fileId,
                                           const Bytes& der)
{
    std::vector<ScriptEntry> entries;
    for (size_t offset = 0; offset < der.size(); offset += SimKeys::kMaxSmData)
    {
        const size_t length = std::min(SimKeys::kMaxSmData, der.size() - offset);
        SimKeys::PlainCommand command{SimKeys::kSmClass, kUpdateBinary,
                                      static_cast<unsigned char>(offset >> 8),
                                      static_cast<unsigned char>(offset & 0xFF),
                                      Bytes(der.begin() + offset, der.begin() + offset + length)};
        entries.push_back(Protected(channel, command));
    }
    entries.front().fileId = fileId;
    return entries;
}

// PUT DATA of the key pair (PKCS#8) in chained parts.
std::vector<ScriptEntry> KeyScript(SimKeys::SmChannel& channel, const Bytes& pkcs8)
{
    std::vector<ScriptEntry> entries;
    for (size_t offset = 0; offset < pkcs8.size(); offset += SimKeys::kMaxSmData)
    {
        const size_t length = std::min(SimKeys::kMaxSmData, pkcs8.size() - offset);
        const bool last = offset + length == pkcs8.size();
        SimKeys::PlainCommand command{
            static_cast<unsigned char>(SimKeys::kSmClass | (last ? 0 : SimKeys::kChainingBit)),
            kPutData, 0x00, 0x00, Bytes(pkcs8.begin() + offset, pkcs8.begin() + offset + length)};
        entries.push_back(Protected(channel, command));
    }
    return entries;
}

// The persodata layout: count at byte 1, entries from byte 4 as file id, length, command, MAC.
std::string ScriptText(std::vector<ScriptEntry> entries, const StepFault& fault,
                       const std::string& member, const Bytes& strangeFile)
{
    if (Targets(fault, RenewalFault::WrongMac, member))
        entries.back().mac.back() ^= 0x01;
    if (Targets(fault, RenewalFault::WrongFile, member))
        entries.front().fileId = strangeFile;
    Bytes bytes = {0x01, static_cast<unsigned char>(entries.size()), 0x00, 0x00};
    for (const ScriptEntry& entry : entries)
    {
        const Bytes fileId = entry.fileId.empty() ? Bytes{0x00, 0x00} : entry.fileId;
        bytes.insert(bytes.end(), fileId.begin(), fileId.end());
        bytes.push_back(static_cast<unsigned char>(entry.command.size()));
        bytes.insert(bytes.end(), entry.command.begin(), entry.command.end());
        bytes.insert(bytes.end(), entry.mac.begin(), entry.mac.end());
    }
    if (Targets(fault, RenewalFault::CutScript, member))
        bytes.resize(bytes.size() - SimKeys::kMacLength / 2);
    return Base64Text(bytes);
}

// What the card answers to a SELECT of one of its certificate files: the status word alone.
std::string SelectAnswer(const RenewalRun& run, const char* file)
{
    return run.scenario.cardOsMissingFiles.count(file) ? "6A82" : "9000";
}

// Cardos0, Cardos3, Cardos5: the terminal's answer to the card's challenge, keyed by the DF.
bool StartAuthentication(RenewalRun& run, const rapidjson::Value& request, const char* df,
                         const StepFault& fault, AnswerMembers& answer)
{
    if (!Holds(request, {{"RND_IFD", kTerminalChallenge}}) ||
        !HexMember(request, "idicc", run.chipId) || !HexMember(request, "rndicc", run.rndIcc) ||
        !HexMember(request, "RND_IFD", run.rndIfd) ||
        run.rndIcc.size() != SimKeys::kChallengeLength)
        return false;
    run.cardKey = SimKeys::CardKey(kFamily, run.chipId, df);
    const Bytes key = Targets(fault, RenewalFault::Misdirected, "authIfd")
                          ? SimKeys::CardKey(kFamily, run.chipId, "DF99")
                          : run.cardKey;
    Bytes authIfd = run.rndIfd;
    const Bytes proof = SimKeys::TerminalProof(key, run.rndIcc, run.rndIfd);
    authIfd.insert(authIfd.end(), proof.begin(), proof.end());
    answer = {{"authIfd", HexText(authIfd)}};
    return true;
}

// Cardos1, Cardos4, Cardos6: the card's proof opens the secure-messaging channel.
bool FinishAuthentication(RenewalRun& run, const rapidjson::Value& request, const char* member)
{
    Bytes proof;
    if (!HexMember(request, member, proof) ||
        proof != SimKeys::CardProof(run.cardKey, run.rndIcc, run.rndIfd))
        return false;
    run.channel = {SimKeys::SessionMacKey(run.cardKey, run.rndIcc, run.rndIfd), 0};
    return true;
}

bool Cardos2(const RenewalService& service, RenewalRun& run, const rapidjson::Value& request,
             const StepFault& fault, AnswerMembers& answer)
{
    Bytes smAnswer;
    Bytes publicKey;
    if (!HexMember(request, "sm_pubkey_ss", smAnswer) ||
        !SimKeys::OpenAnswer(run.channel, smAnswer, publicKey))
        return false;
    const unsigned char* p = publicKey.data();
    KeyPtr key(d2i_PUBKEY(nullptr, &p, static_cast<long>(publicKey.size())));
    if (!key || !service.Issue(key.get(), HolderOf(run), run.signatureCertificate))
        return false;
    SimKeys::SmChannel stranger;
    SimKeys::SmChannel& channel = CommandChannel(run, fault, "persoDataCert", stranger);
    answer = {{"persoDataCert", ScriptText(CertificateScript(channel, kSignatureCertificateFile,
                                                             run.signatureCertificate),
                                           fault, "persoDataCert", kEncryptionCertificateFile)}};
    return true;
}

bool Cardos4(const RenewalService& service, RenewalRun& run, const rapidjson::Value& request,
             const StepFault& fault, AnswerMembers& answer)
{
    if (!FinishAuthentication(run, request, "auth_icc_enc"))
        return false;
    KeyPtr key(EVP_RSA_gen(kNewKeyBits));
    const Bytes pkcs8 = key ? PrivateKeyInfo(key.get()) : Bytes{};
    if (pkcs8.empty() || !service.Issue(key.get(), HolderOf(run), run.encryptionCertificate))
        return false;
    SimKeys::SmChannel stranger;
    std::string certificateScript =
        ScriptText(CertificateScript(CommandChannel(run, fault, "persoDataCert", stranger),
                                     kEncryptionCertificateFile, run.encryptionCertificate),
                   fault, "persoDataCert", kSignatureCertificateFile);
    std::string keyScript =
        ScriptText(KeyScript(CommandChannel(run, fault, "persoDataKey", stranger), pkcs8), fault,
                   "persoDataKey", kSignatureCertificateFile);
    answer = {{"persoDataCert", certificateScript}, {"persoDataKey", keyScript}};
    return true;
}

// The last command writes the card identifier of the run into the MF's file D001.
bool Cardos6(RenewalRun& run, const rapidjson::Value& request, const StepFault& fault,
             AnswerMembers& answer)
{
    Bytes identifier;
    if (!FinishAuthentication(run, request, "auth_icc_mf") ||
        !FromHexText(run.cin + run.csn, identifier))
        return false;
    SimKeys::SmChannel stranger;
    const SimKeys::PlainCommand command{SimKeys::kSmClass, kUpdateBinary,
                                        static_cast<unsigned char>(0x80 | kCardIdentifierSfi), 0x00,
                                        identifier};
    answer = {{"mac_request", HexText(SimKeys::ProtectCommand(
                                  CommandChannel(run, fault, "mac_request", stranger), command))}};
    return true;
}
} // namespace

void AddCardOsSteps(RenewalService& service)
{
    using Run = const RenewalRun&;
    service.AddStep(
        "Cardos0",
        [](Run run) -> std::string
        { return run.cardType == kCardType && run.scenario.newSigCert ? "CertUpdate" : ""; },
        [](RenewalRun& run, const rapidjson::Value& request, const StepFault& fault,
           AnswerMembers& answer)
        {
            return Holds(request, {{"ef_version", run.scenario.cardOsVersion},
                                   {"C_X509_CH_DS", SelectAnswer(run, "C000")},
                                   {"C_X509_CA_CS", SelectAnswer(run, "C608")}}) &&
                   StartAuthentication(run, request, "DF01", fault, answer);
        });
    service.AddStep(
        "Cardos1", After("Cardos0"),
        [](RenewalRun& run, const rapidjson::Value& request, const StepFault& fault,
           AnswerMembers& answer)
        {
            if (!FinishAuthentication(run, request, "auth_icc_sig"))
                return false;
            SimKeys::SmChannel stranger;
            const SimKeys::PlainCommand command{SimKeys::kSmClass, kReadPublicKey, 0x00, 0x00, {}};
            answer = {{"mac_request",
                       HexText(SimKeys::ProtectCommand(
                           CommandChannel(run, fault, "mac_request", stranger), command))}};
            return true;
        });
    service.AddStep("Cardos2", After("Cardos1"),
                    [&service](RenewalRun& run, const rapidjson::Value& request,
                               const StepFault& fault, AnswerMembers& answer)
                    { return Cardos2(service, run, request, fault, answer); });
    service.AddStep(
        "Cardos0a",
        [](Run run) -> std::string
        {
            return run.cardType == kCardType && run.scenario.newEncCert && !run.scenario.newSigCert
                       ? "CertUpdate"
                       : "";
        },
        [](RenewalRun& run, const rapidjson::Value& request, const StepFault&, AnswerMembers&)
        {
            return HexMember(request, "idicc", run.chipId) &&
                   Holds(request, {{"ef_version", run.scenario.cardOsVersion}});
        });
    service.AddStep(
        "Cardos3",
        [](Run run) -> std::string
        {
            if (!run.scenario.newEncCert)
                return "";
            return run.scenario.newSigCert ? "Cardos2" : "Cardos0a";
        },
        [](RenewalRun& run, const rapidjson::Value& request, const StepFault& fault,
           AnswerMembers& answer)
        {
            return Holds(request, {{"ef_version", run.scenario.cardOsVersion},
                                   {"C_X509_CH_AUT", SelectAnswer(run, "2F01")},
                                   {"C_X509_CA_CS_AUT", SelectAnswer(run, "2F01")}}) &&
                   StartAuthentication(run, request, "DF02", fault, answer);
        });
    service.AddStep("Cardos4", After("Cardos3"),
                    [&service](RenewalRun& run, const rapidjson::Value& request,
                               const StepFault& fault, AnswerMembers& answer)
                    { return Cardos4(service, run, request, fault, answer); });
    service.AddStep(
        "Cardos5",
        [](Run run) -> std::string { return run.scenario.newEncCert ? "Cardos4" : "Cardos2"; },
        [](RenewalRun& run, const rapidjson::Value& request, const StepFault& fault,
           AnswerMembers& answer)
        { return StartAuthentication(run, request, "3F00", fault, answer); });
    service.AddStep("Cardos6", After("Cardos5"), Cardos6);
    service.AddStep("Cardos7", After("Cardos6"),
                    [](RenewalRun&, const rapidjson::Value&, const StepFault&, AnswerMembers&)
                    { return true; });
    service.AddFinalStep("Cardos7");
}

} // namespace OnlineServicesSim
