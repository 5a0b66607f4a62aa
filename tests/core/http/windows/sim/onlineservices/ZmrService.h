#pragma once

// Stands in for the identity-link service where the tests cannot run it in-process: under Wine it
// runs in quendry-sim-control, on the server there. Same names and operations as the real header.

#include "sim/onlineservices/LoopbackServer.h"
#include "sim/onlineservices/ZmrScenario.h"

namespace OnlineServicesSim
{

// The identity-link service on the server's endpoints "ZmrSession", "ZmrSession/ZmrSearch" and
// "ZmrSession/ZmrGetInfobox".
void AddZmrService(Server& server, const ZmrScenario& scenario);

} // namespace OnlineServicesSim
