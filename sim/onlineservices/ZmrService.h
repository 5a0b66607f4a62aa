#pragma once

#include "sim/onlineservices/Server.h"

#include <map>
#include <string>
#include <vector>

namespace OnlineServicesSim
{

// One person the simulated register knows.
struct ZmrPerson
{
    // The common name of the signer certificate this entry answers; empty answers any.
    std::string commonName;
    // The register search's members by name (UTF-8), toBeSigned among them; a member not given
    // is answered empty.
    std::map<std::string, std::string> fields;
    // Base64 of the identity-link record; empty: one is made from the register fields.
    std::string identityLink;
    std::string cin;
};

struct ZmrScenario
{
    std::string sessionText = "Ich beantrage die Suche im Zentralen Melderegister "
                              "(ZMR) f\xC3\xBCr meine Personenbindung.";
    std::vector<ZmrPerson> persons;
};

// { "sessionText": "...", "persons": [ { "commonName": "...", "cin": "...",
//   "identityLink": "<Base64>", "register": { "GivenName": "...", "toBeSigned": "...", ... } } ] }
bool ParseZmrScenario(const std::string& jsonText, ZmrScenario& scenario, std::string& error);

// The identity-link service on the server's endpoints "ZmrSession", "ZmrSession/ZmrSearch" and
// "ZmrSession/ZmrGetInfobox". Each signed request is verified with libcrypto against the
// certificate inside it, as the maker's service does; faults scripted on the server still win.
void AddZmrService(Server& server, const ZmrScenario& scenario);

// The register members of a search answer, in the order the client tests them.
const std::vector<std::string>& ZmrRegisterMembers();

} // namespace OnlineServicesSim
