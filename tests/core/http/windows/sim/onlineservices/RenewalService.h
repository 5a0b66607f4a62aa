#pragma once

// Stands in for the renewal service where the tests cannot run it in-process: under Wine it runs
// in quendry-sim-control, with the test's CA, on the server there it is installed on. Same names
// and operations as the real header, so the tests read alike.

#include "sim/onlineservices/LoopbackServer.h"
#include "sim/onlineservices/RenewalScenario.h"
#include "sim/onlineservices/TestPki.h"

#include <cstdint>
#include <vector>

namespace OnlineServicesSim
{

// A run's working state stays in the control program.
using RenewalRun = RenewalRecord;

class RenewalService
{
public:
    // Certificates are issued by the CA of ca.
    explicit RenewalService(const TestPki& ca);
    ~RenewalService();
    RenewalService(const RenewalService&) = delete;
    RenewalService& operator=(const RenewalService&) = delete;

    void SetScenario(const RenewalScenario& scenario);
    // Sets the service's handlers on the server.
    void Install(Server& server);
    std::vector<RenewalRun> Runs() const;

private:
    uint64_t id = 0; // the control program's number for the service
};

} // namespace OnlineServicesSim
