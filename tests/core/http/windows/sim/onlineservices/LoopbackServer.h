#pragma once

// Stands in for the in-process simulated server where the tests cannot run it: under Wine the
// server is the Linux program quendry-sim-control, reached on loopback at the address in
// QUENDRY_SIM_CONTROL. Same names and operations as the real header, so the tests read alike.

#include "sim/onlineservices/Messages.h"
#include "sim/onlineservices/TestPki.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace OnlineServicesSim
{

constexpr const char* kBasePath = "/OnlineServicesTNG/v1/";

// The server's sessions stay in the control program: a handler here is given none of them.
class Sessions
{
};

using Handler = std::function<Reply(const RecordedRequest& request, Sessions& sessions)>;

class TestCalls;

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
    // The handler and the observer run here, in the test; the server's thread waits for them.
    void SetHandler(const std::string& endpoint, Handler handler);
    void SetObserver(std::function<void(const RecordedRequest&)> observer);

    // For the services' stand-ins: setup gets the control program's number for the server once
    // it is started (at once when it is), as a service may be installed before the start.
    void WhenStarted(std::function<void(uint64_t id)> setup);

protected:
    bool Start(bool tls, const std::string& serverNames);
    void SetUpStarted();

    uint64_t id = 0; // the control program's number for the server; 0: none
    uint16_t port = 0;
    bool tls = false;
    std::string caPem;
    std::vector<std::function<void(uint64_t id)>> setups; // waiting for the start
    std::shared_ptr<TestCalls> calls;                     // made by the first handler or observer
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
