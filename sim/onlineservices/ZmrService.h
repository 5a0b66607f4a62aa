#pragma once

#include "sim/onlineservices/Server.h"
#include "sim/onlineservices/ZmrScenario.h"

#include <string>
#include <vector>

namespace OnlineServicesSim
{

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
