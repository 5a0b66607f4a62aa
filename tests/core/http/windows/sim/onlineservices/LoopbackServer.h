#pragma once

// Stands in for the in-process simulated server where the HTTP tests cannot run it: under Wine
// the server is the Linux program quendry-sim-control, reached on loopback at the address in
// QUENDRY_SIM_CONTROL. Same names and operations as the real header, so the tests read alike.

#include "sim/onlineservices/Messages.h"

#include <cstdint>
#include <string>
#include <vector>

namespace OnlineServicesSim
{

constexpr const char* kLoopbackNames = "DNS:localhost,IP:127.0.0.1";

class Server
{
public:
    Server() = default;
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    void Stop();
    uint16_t Port() const { return port; }
    std::string BaseUrl() const;

    void SetReply(const std::string& endpoint, Reply reply);
    void SetReply(const std::string& endpoint, unsigned call, Reply reply);
    std::vector<RecordedRequest> Requests() const;
    bool WaitForRequests(size_t count, unsigned timeoutMs) const;

protected:
    bool Start(bool tls, const std::string& serverNames);

    uint64_t id = 0; // the control program's number for the server; 0: none
    uint16_t port = 0;
    bool tls = false;
    std::string caPem;
};

class LoopbackServer : public Server
{
public:
    LoopbackServer() = default;
    ~LoopbackServer();

    bool StartPlain();
    bool StartTls(const std::string& serverNames = kLoopbackNames);
    const std::string& CaFile() const { return caFile; }

private:
    std::string caFile;
};

} // namespace OnlineServicesSim
