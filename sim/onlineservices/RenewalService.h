#pragma once

// The renewal service "CertUpdate" of the simulated online services: the update check opens a
// run, each card family's steps drive the card through it (CardOsSteps.cpp), "Done" closes it.
// The server checks what the card proves with the keys of the shared test-key library and issues
// real certificates for the card's keys with its CA.

#include "sim/onlineservices/RenewalScenario.h"
#include "sim/onlineservices/Server.h"
#include "sim/onlineservices/TestPki.h"
#include "sim/testkeys/SecureMessaging.h"

#include <rapidjson/document.h>

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace OnlineServicesSim
{

// One renewal run as far as it went, with the family's working state.
struct RenewalRun : RenewalRecord
{
    Bytes chipId;
    Bytes cardKey;
    Bytes rndIcc;
    Bytes rndIfd;
    SimKeys::SmChannel channel;
    Bytes offeredKey; // the key the card offered for its signature certificate
    Bytes authIfd;
};

using AnswerMembers = std::vector<std::pair<std::string, std::string>>;

class RenewalService
{
public:
    // Certificates are issued by the CA of ca.
    explicit RenewalService(const TestPki& ca);
    RenewalService(const RenewalService&) = delete;
    RenewalService& operator=(const RenewalService&) = delete;

    void SetScenario(const RenewalScenario& scenario);
    // Sets the service's handlers on the server.
    void Install(Server& server);
    std::vector<RenewalRun> Runs() const;

    // For the families' steps.
    using StepBody = std::function<bool(RenewalRun& run, const rapidjson::Value& request,
                                        const StepFault& fault, AnswerMembers& answer)>;
    // The step that must come before: empty when the step does not belong in the run.
    using Predecessor = std::function<std::string(const RenewalRun& run)>;
    void AddStep(const std::string& step, Predecessor predecessor, StepBody body);
    void AddFinalStep(const std::string& step) { finalSteps.insert(step); }
    bool Issue(EVP_PKEY* key, const std::string& holder, Bytes& der) const;

private:
    Reply Check(const RecordedRequest& request, Sessions& sessions);
    Reply Step(const std::string& step, const RecordedRequest& request, Sessions& sessions);

    struct StepEntry
    {
        Predecessor predecessor;
        StepBody body;
    };
    KeyPtr caKey;
    CertificatePtr caCertificate;
    mutable std::mutex mutex;
    RenewalScenario scenario;
    std::map<std::string, StepEntry> stepEntries;
    std::set<std::string> finalSteps;
    std::map<std::string, RenewalRun> runs; // by session id
    std::vector<std::string> runOrder;
};

// The CardOS steps Cardos0 to Cardos7 and Cardos0a.
void AddCardOsSteps(RenewalService& service);
// The ACOS steps Acos1a, Acos1 to Acos4 and AcosNoSM.
void AddAcosSteps(RenewalService& service);

// Helpers of the steps.
std::string HexText(const Bytes& bytes);
bool FromHexText(const std::string& text, Bytes& bytes);
std::string Base64Text(const Bytes& bytes);
bool StringMember(const rapidjson::Value& request, const char* name, std::string& value);
bool HexMember(const rapidjson::Value& request, const char* name, Bytes& value);
// The holder named in the certificates the run issues.
std::string HolderOf(const RenewalRun& run);
bool FromBase64Text(const std::string& text, Bytes& bytes);
bool Base64Member(const rapidjson::Value& request, const char* name, Bytes& value);
// Whether each member is a string with exactly that text.
using MemberValues = std::initializer_list<std::pair<const char*, std::string>>;
bool Holds(const rapidjson::Value& request, MemberValues members);
// Whether the fault is of that kind and aims at the member (or at none in particular).
bool Targets(const StepFault& fault, RenewalFault kind, const std::string& member);
RenewalService::Predecessor After(const char* step);
Bytes PrivateKeyInfo(EVP_PKEY* key);

} // namespace OnlineServicesSim
