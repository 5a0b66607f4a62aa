// The services of the simulated online services, and the test's own handlers and observer, for
// the Windows tests: the services run in quendry-sim-control beside the server; what the test
// itself answers or watches runs here, called back by the server's thread.

#include "sim/onlineservices/LoopbackServer.h"
#include "sim/onlineservices/RenewalService.h"
#include "sim/onlineservices/ZmrService.h"
#include "tests/core/http/windows/RemoteControl.h"

#include <atomic>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace OnlineServicesSim
{
// The control program connects here for each call of the test's handlers and observer, sends
// the call and waits for its answer; one call at a time, as the server makes them under its lock.
class TestCalls
{
public:
    TestCalls() : listener{socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)}
    {
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof(address);
        if (listener.socket == INVALID_SOCKET ||
            bind(listener.socket, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(listener.socket, SOMAXCONN) != 0 ||
            getsockname(listener.socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("the test cannot take the simulated server's calls");
        thread = std::thread([this] { Serve(); });
    }
    ~TestCalls()
    {
        stopping = true;
        // The waiting accept takes this connection and finds the calls ended.
        const remote::SocketCloser wake{socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)};
        connect(wake.socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
        thread.join();
    }
    TestCalls(const TestCalls&) = delete;
    TestCalls& operator=(const TestCalls&) = delete;

    uint16_t Port() const { return ntohs(address.sin_port); }
    void SetHandler(const std::string& endpoint, Handler handler)
    {
        std::lock_guard<std::mutex> lock(mutex);
        handlers[endpoint] = std::move(handler);
    }
    void SetObserver(std::function<void(const RecordedRequest&)> newObserver)
    {
        std::lock_guard<std::mutex> lock(mutex);
        observer = std::move(newObserver);
    }

private:
    void Serve()
    {
        for (;;)
        {
            const remote::SocketCloser caller{accept(listener.socket, nullptr, nullptr)};
            if (stopping || caller.socket == INVALID_SOCKET)
                return;
            remote::FieldReader call(remote::ReceiveAll(caller.socket));
            remote::SendAll(caller.socket, Answer(call));
        }
    }

    // "observe REQUEST" -> ok; "handle ENDPOINT REQUEST" -> ok REPLY.
    std::string Answer(remote::FieldReader& call)
    {
        const std::string kind = call.Take();
        const std::string endpoint = kind == "handle" ? call.Take() : std::string();
        const RecordedRequest request = remote::TakeRequest(call);
        const auto [handler, watcher] = Callbacks(endpoint);
        remote::FieldWriter answer;
        if (call.Ok() && kind == "observe")
        {
            if (watcher)
                watcher(request);
            return answer.Put("ok").Text();
        }
        if (!call.Ok() || kind != "handle" || !handler)
            return answer.Put("failed").Text();
        Sessions none;
        remote::PutReply(answer.Put("ok"), handler(request, none));
        return answer.Text();
    }

    // Copies, so that none runs under the lock.
    std::pair<Handler, std::function<void(const RecordedRequest&)>>
    Callbacks(const std::string& endpoint)
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto found = handlers.find(endpoint);
        return {found == handlers.end() ? Handler() : found->second, observer};
    }

    const remote::SocketCloser listener;
    sockaddr_in address = {}; // where the calls come in, once bound
    std::atomic<bool> stopping{false};
    std::mutex mutex;
    std::map<std::string, Handler> handlers;
    std::function<void(const RecordedRequest&)> observer;
    std::thread thread;
};

void Server::WhenStarted(std::function<void(uint64_t id)> setup)
{
    if (id != 0)
        setup(id);
    else
        setups.push_back(std::move(setup));
}

void Server::SetUpStarted()
{
    for (const auto& setup : setups)
        setup(id);
    setups.clear();
}

namespace
{
// Made once the server is started, when Winsock is.
TestCalls& Made(std::shared_ptr<TestCalls>& calls)
{
    if (!calls)
        calls = std::make_shared<TestCalls>();
    return *calls;
}
} // namespace

void Server::SetHandler(const std::string& endpoint, Handler handler)
{
    WhenStarted(
        [this, endpoint, handler](uint64_t started)
        {
            TestCalls& test = Made(calls);
            test.SetHandler(endpoint, handler);
            remote::Command(remote::About("handle", started).Put(endpoint).Put(test.Port()));
        });
}

void Server::SetObserver(std::function<void(const RecordedRequest&)> observer)
{
    WhenStarted(
        [this, observer](uint64_t started)
        {
            TestCalls& test = Made(calls);
            test.SetObserver(observer);
            remote::Command(remote::About("observe", started).Put(observer ? test.Port() : 0));
        });
}

RenewalService::RenewalService(const TestPki& ca)
{
    remote::FieldWriter command;
    command.Put("renewal").Put(PrivateKeyPem(ca.caKey.get()));
    command.Put(CertificatePem(ca.caCertificate.get()));
    id = remote::Command(command).TakeNumber();
}

RenewalService::~RenewalService()
{
    remote::Command(remote::About("drop", id));
}

void RenewalService::SetScenario(const RenewalScenario& scenario)
{
    remote::FieldWriter command = remote::About("scenario", id);
    remote::PutScenario(command, scenario);
    remote::Command(command);
}

void RenewalService::Install(Server& server)
{
    server.WhenStarted([service = id](uint64_t started)
                       { remote::Command(remote::About("install", started).Put(service)); });
}

std::vector<RenewalRun> RenewalService::Runs() const
{
    remote::FieldReader answer = remote::Command(remote::About("runs", id));
    std::vector<RenewalRun> runs;
    answer.TakeEach([&](remote::FieldReader& item) { runs.push_back(remote::TakeRun(item)); });
    if (!answer.Ok())
        throw std::runtime_error("the simulated online services sent runs cut short");
    return runs;
}

void AddZmrService(Server& server, const ZmrScenario& scenario)
{
    server.WhenStarted(
        [scenario](uint64_t started)
        {
            remote::FieldWriter command = remote::About("zmr", started);
            remote::PutZmrScenario(command, scenario);
            remote::Command(command);
        });
}

} // namespace OnlineServicesSim
