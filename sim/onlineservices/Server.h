#pragma once

#include "sim/onlineservices/Messages.h"

#include <openssl/ssl.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace OnlineServicesSim
{

constexpr const char* kBasePath = "/OnlineServicesTNG/v1/";

struct Session
{
    std::string id;
    std::string resource;                      // the resource that opened it
    std::map<std::string, std::string> values; // whatever the endpoints keep for the run
};

class Sessions
{
public:
    std::string Open(const std::string& resource);
    Session* Find(const std::string& id);

private:
    std::map<std::string, Session> sessions;
};

// Endpoint logic; gets the request and the sessions, under the server's lock.
using Handler = std::function<Reply(const RecordedRequest& request, Sessions& sessions)>;

struct EndpointScript
{
    std::optional<Reply> everyCall;
    std::map<unsigned, Reply> calls; // by call number, counted from 1
};
using Script = std::map<std::string, EndpointScript>;

struct ServerOptions
{
    uint16_t port = 0; // 0: any free port
    bool tls = false;
    std::string certificatePem;
    std::string keyPem;
};

// The simulated online services: HTTP/1.1 on loopback, each connection on a thread of its own,
// one request per connection. Answers come, in this order, from a reply scripted for the call's
// number, the endpoint's handler, the reply scripted for every call, else 404.
class Server
{
public:
    Server() = default;
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    bool Start(const ServerOptions& options, std::string& error);
    void Stop();
    uint16_t Port() const { return port; }
    // "http://127.0.0.1:PORT/OnlineServicesTNG/v1/" (https with TLS).
    std::string BaseUrl() const;

    void SetReply(const std::string& endpoint, Reply reply);
    void SetReply(const std::string& endpoint, unsigned call, Reply reply);
    void SetHandler(const std::string& endpoint, Handler handler);
    void AddScript(const Script& script);
    // Loads a script in the JSON form of ScriptFile.h.
    bool LoadScript(const std::string& jsonText, std::string& error);

    std::vector<RecordedRequest> Requests() const;
    // Requests arrive on the server's thread; waits until count have been recorded.
    bool WaitForRequests(size_t count, unsigned timeoutMs) const;
    // Called on the server's thread after each request is recorded (the executable prints).
    void SetObserver(std::function<void(const RecordedRequest&)> observer);

private:
    void Serve();
    void StartWorker(int socket);
    void ForgetSocket(int socket);
    void JoinFinishedWorkers(bool all);
    void Handle(int socket);
    void Classify(RecordedRequest& request);
    Reply Choose(RecordedRequest& request);
    void Record(const RecordedRequest& request);
    bool Wait(unsigned milliseconds);

    struct TlsContextDeleter
    {
        void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
    };
    std::unique_ptr<SSL_CTX, TlsContextDeleter> tlsContext;
    int listener = -1;
    uint16_t port = 0;
    std::thread thread;
    std::atomic<bool> stopping{false};

    struct Worker
    {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::mutex workersMutex;
    std::vector<Worker> workers;
    std::set<int> openSockets; // shut down by Stop, so no worker waits for a silent client

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    Script script;
    std::map<std::string, Handler> handlers;
    std::map<std::string, unsigned> callCounts;
    Sessions sessions;
    std::vector<RecordedRequest> requests;
    std::function<void(const RecordedRequest&)> observer;
};

} // namespace OnlineServicesSim
