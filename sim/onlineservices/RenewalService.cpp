#include "sim/onlineservices/RenewalService.h"

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>

namespace OnlineServicesSim
{
namespace
{
constexpr const char* kResource = "CertUpdate";
constexpr long kValiditySeconds = 2L * 365 * 24 * 3600;

struct BigNumDeleter
{
    void operator()(BIGNUM* number) const { BN_free(number); }
};
struct NameDeleter
{
    void operator()(X509_NAME* name) const { X509_NAME_free(name); }
};
struct PrivateKeyInfoDeleter
{
    void operator()(PKCS8_PRIV_KEY_INFO* info) const { PKCS8_PRIV_KEY_INFO_free(info); }
};

Reply JsonAnswer(const AnswerMembers& members, int status = 200)
{
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.StartObject();
    for (const auto& [name, value] : members)
    {
        writer.Key(name.c_str());
        writer.String(value.c_str(), static_cast<rapidjson::SizeType>(value.size()));
    }
    writer.EndObject();
    return JsonReply(buffer.GetString(), status);
}

Reply Refused(int status, const std::string& why)
{
    return JsonAnswer({{"error", why}}, status);
}

bool ParseObject(const std::string& body, rapidjson::Document& document)
{
    document.Parse(body.c_str(), body.size());
    return !document.HasParseError() && document.IsObject();
}

void ApplyAnswerFault(const StepFault& fault, AnswerMembers& answer)
{
    if (answer.empty())
        return;
    auto member = answer.begin();
    if (!fault.member.empty())
    {
        while (member != answer.end() && member->first != fault.member)
            ++member;
        if (member == answer.end())
            return;
    }
    if (fault.kind == RenewalFault::MissingMember)
        answer.erase(member);
    else if (fault.kind == RenewalFault::EmptyValue)
        member->second.clear();
    else if (fault.kind == RenewalFault::BadBase64)
        member->second = "*no-base64*";
}

bool AddNameEntry(X509_NAME* name, const char* field, const std::string& text)
{
    return X509_NAME_add_entry_by_txt(name, field, MBSTRING_UTF8,
                                      reinterpret_cast<const unsigned char*>(text.c_str()), -1, -1,
                                      0) == 1;
}

bool SetRandomSerial(X509* certificate)
{
    std::unique_ptr<BIGNUM, BigNumDeleter> serial(BN_new());
    return serial && BN_rand(serial.get(), 64, BN_RAND_TOP_ONE, BN_RAND_BOTTOM_ANY) &&
           BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate));
}
} // namespace

std::string HexText(const Bytes& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char byte : bytes)
    {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

bool FromHexText(const std::string& text, Bytes& bytes)
{
    bytes.clear();
    if (text.size() % 2 != 0)
        return false;
    for (size_t i = 0; i < text.size(); i += 2)
    {
        const int high = OPENSSL_hexchar2int(static_cast<unsigned char>(text[i]));
        const int low = OPENSSL_hexchar2int(static_cast<unsigned char>(text[i + 1]));
        if (high < 0 || low < 0)
            return false;
        bytes.push_back(static_cast<unsigned char>(high << 4 | low));
    }
    return true;
}

std::string Base64Text(const Bytes& bytes)
{
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&text[0]), bytes.data(),
                                       static_cast<int>(bytes.size()));
    text.resize(static_cast<size_t>(length));
    return text;
}

bool StringMember(const rapidjson::Value& request, const char* name, std::string& value)
{
    const auto member = request.FindMember(name);
    if (member == request.MemberEnd() || !member->value.IsString())
        return false;
    value.assign(member->value.GetString(), member->value.GetStringLength());
    return true;
}

bool HexMember(const rapidjson::Value& request, const char* name, Bytes& value)
{
    std::string text;
    return StringMember(request, name, text) && FromHexText(text, value) && !value.empty();
}

std::string HolderOf(const RenewalRun& run)
{
    const auto named = run.scenario.holderByCin.find(run.cin);
    return named == run.scenario.holderByCin.end() ? run.scenario.holder : named->second;
}

bool FromBase64Text(const std::string& text, Bytes& bytes)
{
    bytes.clear();
    if (text.size() % 4 != 0)
        return false;
    bytes.resize(text.size() / 4 * 3);
    const int length =
        EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                        static_cast<int>(text.size()));
    if (length < 0)
        return false;
    const size_t padding = text.size() - std::min(text.size(), text.find_last_not_of('=') + 1);
    bytes.resize(static_cast<size_t>(length) - padding);
    return true;
}

bool Base64Member(const rapidjson::Value& request, const char* name, Bytes& value)
{
    std::string text;
    return StringMember(request, name, text) && FromBase64Text(text, value);
}

bool Holds(const rapidjson::Value& request, MemberValues members)
{
    std::string value;
    for (const auto& [name, expected] : members)
        if (!StringMember(request, name, value) || value != expected)
            return false;
    return true;
}

bool Targets(const StepFault& fault, RenewalFault kind, const std::string& member)
{
    return fault.kind == kind && (fault.member.empty() || fault.member == member);
}

RenewalService::Predecessor After(const char* step)
{
    return [step](const RenewalRun&) { return std::string(step); };
}

Bytes PrivateKeyInfo(EVP_PKEY* key)
{
    std::unique_ptr<PKCS8_PRIV_KEY_INFO, PrivateKeyInfoDeleter> info(EVP_PKEY2PKCS8(key));
    const int length = info ? i2d_PKCS8_PRIV_KEY_INFO(info.get(), nullptr) : 0;
    if (length <= 0)
        return {};
    Bytes der(static_cast<size_t>(length));
    unsigned char* p = der.data();
    i2d_PKCS8_PRIV_KEY_INFO(info.get(), &p);
    return der;
}

RenewalService::RenewalService(const TestPki& ca)
{
    EVP_PKEY_up_ref(ca.caKey.get());
    X509_up_ref(ca.caCertificate.get());
    caKey.reset(ca.caKey.get());
    caCertificate.reset(ca.caCertificate.get());
    AddCardOsSteps(*this);
    AddAcosSteps(*this);
}

void RenewalService::SetScenario(const RenewalScenario& newScenario)
{
    std::lock_guard<std::mutex> lock(mutex);
    scenario = newScenario;
}

void RenewalService::AddStep(const std::string& step, Predecessor predecessor, StepBody body)
{
    stepEntries[step] = {std::move(predecessor), std::move(body)};
}

void RenewalService::Install(Server& server)
{
    server.SetHandler(kResource, [this](const RecordedRequest& request, Sessions& sessions)
                      { return Check(request, sessions); });
    std::vector<std::string> steps;
    for (const auto& entry : stepEntries)
        steps.push_back(entry.first);
    steps.push_back("Done");
    for (const std::string& step : steps)
        server.SetHandler(std::string(kResource) + "/" + step,
                          [this, step](const RecordedRequest& request, Sessions& sessions)
                          { return Step(step, request, sessions); });
}

std::vector<RenewalRun> RenewalService::Runs() const
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<RenewalRun> ordered;
    for (const std::string& id : runOrder)
        ordered.push_back(runs.at(id));
    return ordered;
}

Reply RenewalService::Check(const RecordedRequest& request, Sessions& sessions)
{
    std::lock_guard<std::mutex> lock(mutex);
    rapidjson::Document document;
    RenewalRun run;
    run.scenario = scenario;
    if (!ParseObject(request.body, document) || !document.HasMember("cardType") ||
        !document["cardType"].IsInt() || !StringMember(document, "cin", run.cin) ||
        !StringMember(document, "csn", run.csn) || !document.HasMember("encSerial") ||
        !document.HasMember("sigSerial"))
        return Refused(400, "bad update check");
    if (scenario.faults.count(kResource) &&
        scenario.faults.at(kResource).kind == RenewalFault::Status)
        return Refused(500, "fault");
    run.cardType = document["cardType"].GetInt();
    // A service with a register finds no card for a number it does not know, the empty one too.
    const bool known = scenario.holderByCin.empty() || scenario.holderByCin.count(run.cin) > 0;
    const std::string id = sessions.Open(kResource);
    run.steps.push_back(kResource);
    runs[id] = run;
    runOrder.push_back(id);
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.StartObject();
    writer.Key("sessionid");
    writer.String(id.c_str());
    writer.Key("certUpdateFound");
    writer.Bool(known && scenario.certUpdateFound);
    writer.Key("newEncCertFound");
    writer.Bool(known && scenario.newEncCert);
    writer.Key("newSigCertFound");
    writer.Bool(known && scenario.newSigCert);
    writer.EndObject();
    return JsonReply(buffer.GetString());
}

Reply RenewalService::Step(const std::string& step, const RecordedRequest& request,
                           Sessions& sessions)
{
    std::lock_guard<std::mutex> lock(mutex);
    const auto found = runs.find(request.sessionId);
    if (!sessions.Find(request.sessionId) || found == runs.end())
        return Refused(404, "no such session");
    RenewalRun& run = found->second;
    rapidjson::Document document;
    if (!ParseObject(request.body, document))
        return Refused(400, "the body is no JSON object");
    const bool isDone = step == "Done";
    const std::string& last = run.steps.back();
    if (run.done ||
        (isDone ? finalSteps.count(last) == 0 : stepEntries.at(step).predecessor(run) != last))
        return Refused(409, step + " does not follow " + last);
    const auto faultEntry = run.scenario.faults.find(step);
    const StepFault fault =
        faultEntry == run.scenario.faults.end() ? StepFault{} : faultEntry->second;
    if (fault.kind == RenewalFault::Status)
        return Refused(500, "fault");
    AnswerMembers answer;
    if (!isDone && !stepEntries.at(step).body(run, document, fault, answer))
        return Refused(400, step + " refused");
    run.steps.push_back(step);
    run.done = isDone;
    ApplyAnswerFault(fault, answer);
    return JsonAnswer(answer);
}

bool RenewalService::Issue(EVP_PKEY* key, const std::string& holder, Bytes& der) const
{
    CertificatePtr certificate(X509_new());
    std::unique_ptr<X509_NAME, NameDeleter> subject(X509_NAME_new());
    if (!certificate || !subject || !X509_set_version(certificate.get(), 2) ||
        !SetRandomSerial(certificate.get()) || !AddNameEntry(subject.get(), "C", "AT") ||
        !AddNameEntry(subject.get(), "O", "Quendry Test") ||
        !AddNameEntry(subject.get(), "CN", holder) ||
        !X509_set_subject_name(certificate.get(), subject.get()) ||
        !X509_set_issuer_name(certificate.get(), X509_get_subject_name(caCertificate.get())) ||
        !X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600) ||
        !X509_gmtime_adj(X509_getm_notAfter(certificate.get()), kValiditySeconds) ||
        !X509_set_pubkey(certificate.get(), key) ||
        X509_sign(certificate.get(), caKey.get(), EVP_sha256()) <= 0)
        return false;
    const int length = i2d_X509(certificate.get(), nullptr);
    if (length <= 0)
        return false;
    der.resize(static_cast<size_t>(length));
    unsigned char* p = der.data();
    i2d_X509(certificate.get(), &p);
    return true;
}

} // namespace OnlineServicesSim
