#include "sim/onlineservices/Server.h"

#include "sim/onlineservices/TestPki.h"
#include "sim/onlineservices/Wire.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>

#include <csignal>
#include <cstdio>

namespace OnlineServicesSim
{
namespace
{
constexpr int kPollMs = 50;
constexpr int kClientTimeoutSeconds = 10;

std::string RandomId()
{
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof(bytes)) != 1)
        return std::string();
    std::string id;
    char digits[3];
    for (unsigned char byte : bytes)
    {
        snprintf(digits, sizeof(digits), "%02x", byte);
        id += digits;
    }
    return id;
}

int HexValue(char c)
{
    return OPENSSL_hexchar2int(static_cast<unsigned char>(c));
}

std::string PercentDecoded(const std::string& text)
{
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0)
        {
            decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        }
        else
            decoded += text[i];
    }
    return decoded;
}

std::vector<std::string> Segments(const std::string& path)
{
    std::vector<std::string> segments;
    size_t start = 0;
    for (size_t slash; (slash = path.find('/', start)) != std::string::npos; start = slash + 1)
        segments.push_back(path.substr(start, slash - start));
    segments.push_back(path.substr(start));
    return segments;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
}

bool LoadCredentials(SSL_CTX* context, const ServerOptions& options)
{
    BioPtr certificateBio(
        BIO_new_mem_buf(options.certificatePem.data(), int(options.certificatePem.size())));
    BioPtr keyBio(BIO_new_mem_buf(options.keyPem.data(), int(options.keyPem.size())));
    if (!certificateBio || !keyBio)
        return false;
    CertificatePtr certificate(PEM_read_bio_X509(certificateBio.get(), nullptr, nullptr, nullptr));
    KeyPtr key(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr));
    return certificate && key && SSL_CTX_use_certificate(context, certificate.get()) == 1 &&
           SSL_CTX_use_PrivateKey(context, key.get()) == 1 &&
           SSL_CTX_check_private_key(context) == 1;
}

int ListenOnLoopback(uint16_t wantedPort, uint16_t& boundPort)
{
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0)
        return -1;
    const int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(wantedPort);
    socklen_t length = sizeof(address);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener, 16) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    {
        close(listener);
        return -1;
    }
    boundPort = ntohs(address.sin_port);
    return listener;
}
} // namespace

std::string Sessions::Open(const std::string& resource)
{
    const std::string id = RandomId();
    sessions[id] = Session{id, resource, {}};
    return id;
}

Session* Sessions::Find(const std::string& id)
{
    const auto found = sessions.find(id);
    return found == sessions.end() ? nullptr : &found->second;
}

Server::~Server()
{
    Stop();
}

bool Server::Start(const ServerOptions& options, std::string& error)
{
    // A client that gives up mid-answer must not end the process that hosts the server.
    std::signal(SIGPIPE, SIG_IGN);
    if (options.tls)
    {
        tlsContext.reset(SSL_CTX_new(TLS_server_method()));
        if (!tlsContext || !LoadCredentials(tlsContext.get(), options))
        {
            error = "cannot load the TLS certificate and key";
            return false;
        }
    }
    listener = ListenOnLoopback(options.port, port);
    if (listener < 0)
    {
        error = "cannot listen on 127.0.0.1:" + std::to_string(options.port);
        return false;
    }
    stopping = false;
    thread = std::thread([this] { Serve(); });
    return true;
}

void Server::Stop()
{
    {
        // Under the lock, so a worker that is about to wait out a delay cannot miss it.
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    if (thread.joinable())
        thread.join();
    if (listener >= 0)
        close(listener);
    listener = -1;
}

std::string Server::BaseUrl() const
{
    return std::string(tlsContext ? "https" : "http") + "://127.0.0.1:" + std::to_string(port) +
           kBasePath;
}

void Server::SetReply(const std::string& endpoint, Reply reply)
{
    std::lock_guard<std::mutex> lock(mutex);
    script[endpoint].everyCall = std::move(reply);
}

void Server::SetReply(const std::string& endpoint, unsigned call, Reply reply)
{
    std::lock_guard<std::mutex> lock(mutex);
    script[endpoint].calls[call] = std::move(reply);
}

void Server::SetHandler(const std::string& endpoint, Handler handler)
{
    std::lock_guard<std::mutex> lock(mutex);
    handlers[endpoint] = std::move(handler);
}

void Server::AddScript(const Script& added)
{
    std::lock_guard<std::mutex> lock(mutex);
    for (const auto& [endpoint, entry] : added)
    {
        if (entry.everyCall)
            script[endpoint].everyCall = entry.everyCall;
        for (const auto& [call, reply] : entry.calls)
            script[endpoint].calls[call] = reply;
    }
}

void Server::SetObserver(std::function<void(const RecordedRequest&)> newObserver)
{
    std::lock_guard<std::mutex> lock(mutex);
    observer = std::move(newObserver);
}

std::vector<RecordedRequest> Server::Requests() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return requests;
}

bool Server::WaitForRequests(size_t count, unsigned timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return requests.size() >= count; });
}

bool Server::Wait(unsigned milliseconds)
{
    std::unique_lock<std::mutex> lock(mutex);
    return !changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                             [this] { return stopping.load(); });
}

void Server::Serve()
{
    while (!stopping)
    {
        pollfd waiting = {listener, POLLIN, 0};
        if (poll(&waiting, 1, kPollMs) <= 0)
            continue;
        const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0)
            StartWorker(client);
        JoinFinishedWorkers(false);
    }
    JoinFinishedWorkers(true);
}

void Server::StartWorker(int client)
{
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard<std::mutex> lock(workersMutex);
    openSockets.insert(client);
    workers.push_back({std::thread(
                           [this, client, done]
                           {
                               Handle(client);
                               ForgetSocket(client);
                               close(client);
                               *done = true;
                           }),
                       done});
}

void Server::ForgetSocket(int client)
{
    std::lock_guard<std::mutex> lock(workersMutex);
    openSockets.erase(client);
}

void Server::JoinFinishedWorkers(bool all)
{
    std::vector<Worker> finished;
    {
        std::lock_guard<std::mutex> lock(workersMutex);
        if (all)
        {
            for (int client : openSockets)
                shutdown(client, SHUT_RDWR);
        }
        for (auto worker = workers.begin(); worker != workers.end();)
        {
            if (all || *worker->done)
            {
                finished.push_back(std::move(*worker));
                worker = workers.erase(worker);
            }
            else
                ++worker;
        }
    }
    for (auto& worker : finished)
        worker.thread.join();
}

void Server::Handle(int client)
{
    timeval timeout = {kClientTimeoutSeconds, 0};
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
    SslPtr ssl;
    if (tlsContext)
    {
        ssl.reset(SSL_new(tlsContext.get()));
        if (!ssl || SSL_set_fd(ssl.get(), client) != 1 || SSL_accept(ssl.get()) != 1)
        {
            return; // the client refused our certificate, or spoke no TLS
        }
    }
    Connection connection(client, std::move(ssl));
    RecordedRequest request;
    if (ReadRequest(connection, request))
        Classify(request);
    const Reply reply = request.complete ? Choose(request) : Reply{};
    Record(request);
    if (!request.complete || (reply.delayMs > 0 && !Wait(reply.delayMs)))
        return;
    SendReply(connection, reply);
}

void Server::Classify(RecordedRequest& request)
{
    std::string path = request.target.substr(0, request.target.find('?'));
    const std::string base(kBasePath);
    if (path.compare(0, base.size(), base) != 0)
    {
        request.endpoint = path;
        return;
    }
    const std::vector<std::string> segments = Segments(path.substr(base.size()));
    if (segments.size() != 3)
    {
        request.endpoint = path.substr(base.size());
        return;
    }
    request.endpoint = segments[0] + "/" + segments[2];
    request.sessionId = PercentDecoded(segments[1]);
}

Reply Server::Choose(RecordedRequest& request)
{
    std::lock_guard<std::mutex> lock(mutex);
    request.knownSession = !request.sessionId.empty() && sessions.Find(request.sessionId);
    const unsigned call = ++callCounts[request.endpoint];
    const auto scripted = script.find(request.endpoint);
    const auto handler = handlers.find(request.endpoint);
    Reply reply = JsonReply("{}", 404);
    if (scripted != script.end() && scripted->second.calls.count(call) > 0)
        reply = scripted->second.calls.at(call);
    else if (handler != handlers.end())
        reply = handler->second(request, sessions);
    else if (scripted != script.end() && scripted->second.everyCall)
        reply = *scripted->second.everyCall;
    if (reply.openSession)
    {
        const std::string id = sessions.Open(request.endpoint);
        ReplaceAll(reply.body, "$SESSIONID", id);
        ReplaceAll(reply.raw, "$SESSIONID", id);
    }
    return reply;
}

void Server::Record(const RecordedRequest& request)
{
    std::lock_guard<std::mutex> lock(mutex);
    requests.push_back(request);
    if (observer)
        observer(requests.back());
    changed.notify_all();
}

} // namespace OnlineServicesSim
