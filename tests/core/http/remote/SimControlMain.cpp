// quendry-sim-control: simulated online-services servers on loopback, started, scripted, read
// and stopped by tests that cannot run them in-process (the Windows tests under Wine). Prints
// "control on 127.0.0.1:PORT" and serves one command per connection until it is ended:
//   start TLS NAMES -> ok ID PORT CA-PEM      reply ID ENDPOINT CALL REPLY -> ok
//   requests ID -> ok COUNT REQUEST...        wait ID COUNT MS -> ok FOUND
//   stop ID -> ok                             forget ID -> ok
//   zmr ID ZMR-SCENARIO -> ok                 install ID SERVICE -> ok
//   observe ID PORT -> ok                     handle ID ENDPOINT PORT -> ok
//   renewal CA-KEY-PEM CA-CERT-PEM -> ok SERVICE
//   scenario SERVICE SCENARIO -> ok           runs SERVICE -> ok COUNT RUN...
//   drop SERVICE -> ok
// An observer or handler set with a PORT runs in the test: for each call the server's thread
// connects to 127.0.0.1:PORT, sends "observe REQUEST" or "handle ENDPOINT REQUEST" and waits for
// the test's "ok" (with the REPLY of a handler). PORT 0 ends the observing.

#include "sim/onlineservices/LoopbackServer.h"
#include "sim/onlineservices/RenewalService.h"
#include "sim/onlineservices/ZmrService.h"
#include "tests/core/http/remote/RemoteWire.h"

#include <openssl/pem.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

namespace
{
using namespace OnlineServicesSim;
using remote::FieldReader;
using remote::FieldWriter;

struct Descriptor
{
    int fd;
    ~Descriptor()
    {
        if (fd >= 0)
            close(fd);
    }
};

bool ReadAll(int socket, std::string& text)
{
    char buffer[65536];
    for (;;)
    {
        const ssize_t count = recv(socket, buffer, sizeof(buffer), 0);
        if (count < 0)
            return false;
        if (count == 0)
            return true;
        text.append(buffer, static_cast<size_t>(count));
    }
}

void WriteAll(int socket, const std::string& text)
{
    size_t sent = 0;
    while (sent < text.size())
    {
        const ssize_t count = send(socket, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (count <= 0)
            return;
        sent += static_cast<size_t>(count);
    }
}

sockaddr_in Loopback(uint16_t port)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// One call of the test's own code, on a connection of its own: its answer, empty when the test
// gave none.
std::string AskTest(uint16_t port, const FieldWriter& call)
{
    const Descriptor test{socket(AF_INET, SOCK_STREAM, 0)};
    const sockaddr_in address = Loopback(port);
    std::string answer;
    if (test.fd >= 0 &&
        connect(test.fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0)
    {
        WriteAll(test.fd, call.Text());
        shutdown(test.fd, SHUT_WR);
        ReadAll(test.fd, answer);
    }
    return answer;
}

void ObserveInTest(Server& server, uint16_t port)
{
    if (port == 0)
    {
        server.SetObserver({});
        return;
    }
    server.SetObserver(
        [port](const RecordedRequest& request)
        {
            FieldWriter call;
            call.Put("observe");
            remote::PutRequest(call, request);
            AskTest(port, call);
        });
}

// A handler the test did not answer answers nothing either.
OnlineServicesSim::Reply Unanswered()
{
    OnlineServicesSim::Reply reply;
    reply.drop = Drop::BeforeAnswer;
    return reply;
}

void HandleInTest(Server& server, const std::string& endpoint, uint16_t port)
{
    server.SetHandler(endpoint,
                      [port, endpoint](const RecordedRequest& request, Sessions&)
                      {
                          FieldWriter call;
                          call.Put("handle").Put(endpoint);
                          remote::PutRequest(call, request);
                          FieldReader answer(AskTest(port, call));
                          const bool answered = answer.Take() == "ok";
                          const OnlineServicesSim::Reply reply = remote::TakeReply(answer);
                          return answered && answer.Ok() ? reply : Unanswered();
                      });
}

bool ReadCa(const std::string& keyPem, const std::string& certificatePem, TestPki& ca)
{
    BioPtr keyBio(BIO_new_mem_buf(keyPem.data(), static_cast<int>(keyPem.size())));
    BioPtr certificateBio(
        BIO_new_mem_buf(certificatePem.data(), static_cast<int>(certificatePem.size())));
    if (!keyBio || !certificateBio)
        return false;
    ca.caKey.reset(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr));
    ca.caCertificate.reset(PEM_read_bio_X509(certificateBio.get(), nullptr, nullptr, nullptr));
    return ca.caKey && ca.caCertificate;
}

// A server and the services installed on it, which it calls until it is gone.
struct Hosted
{
    std::vector<std::shared_ptr<RenewalService>> services;
    std::unique_ptr<LoopbackServer> server = std::make_unique<LoopbackServer>();
};

class Control
{
public:
    std::string Answer(FieldReader& in)
    {
        const std::string command = in.Take();
        FieldWriter out;
        out.Put("ok");
        return Run(command, in, out) && in.Ok() ? out.Text() : Failure();
    }

private:
    static std::string Failure() { return FieldWriter().Put("failed").Text(); }

    bool Run(const std::string& command, FieldReader& in, FieldWriter& out)
    {
        if (command == "start")
            return Start(in, out);
        if (command == "renewal")
            return NewRenewal(in, out);
        if (command == "scenario" || command == "runs" || command == "drop")
            return ServiceCommand(command, in, out);
        return ServerCommand(command, in, out);
    }

    bool ServerCommand(const std::string& command, FieldReader& in, FieldWriter& out)
    {
        const auto found = servers.find(in.TakeNumber());
        if (found == servers.end())
            return false;
        if (command != "forget")
            return Use(command, *found->second.server, in, out) ||
                   Attach(command, found->second, in);
        servers.erase(found);
        return true;
    }

    // Scripting, reading and stopping the server itself.
    static bool Use(const std::string& command, LoopbackServer& server, FieldReader& in,
                    FieldWriter& out)
    {
        if (command == "reply")
            Reply(server, in);
        else if (command == "requests")
            Requests(server, out);
        else if (command == "wait")
        {
            const size_t count = in.TakeNumber();
            out.Put(server.WaitForRequests(count, static_cast<unsigned>(in.TakeNumber())));
        }
        else if (command == "stop")
            server.Stop();
        else
            return false;
        return true;
    }

    // What answers or watches the server's calls: a service, or the test's own code. Nothing is
    // attached from a command that did not arrive whole.
    bool Attach(const std::string& command, Hosted& hosted, FieldReader& in)
    {
        if (command == "install")
            return Install(hosted, in.TakeNumber());
        if (command == "zmr")
        {
            const ZmrScenario scenario = remote::TakeZmrScenario(in);
            if (in.Ok())
                AddZmrService(*hosted.server, scenario);
            return true;
        }
        if (command != "observe" && command != "handle")
            return false;
        const std::string endpoint = command == "handle" ? in.Take() : std::string();
        const auto port = static_cast<uint16_t>(in.TakeNumber());
        if (in.Ok() && command == "handle")
            HandleInTest(*hosted.server, endpoint, port);
        else if (in.Ok())
            ObserveInTest(*hosted.server, port);
        return true;
    }

    bool ServiceCommand(const std::string& command, FieldReader& in, FieldWriter& out)
    {
        const uint64_t id = in.TakeNumber();
        const auto found = services.find(id);
        if (found == services.end())
            return false;
        if (command == "scenario")
        {
            const RenewalScenario scenario = remote::TakeScenario(in);
            if (in.Ok())
                found->second->SetScenario(scenario);
        }
        else if (command == "runs")
            out.PutEach(found->second->Runs(), remote::PutRun);
        else
            services.erase(found);
        return true;
    }

    bool Start(FieldReader& in, FieldWriter& out)
    {
        const bool tls = in.TakeNumber() != 0;
        const std::string names = in.Take();
        Hosted hosted;
        LoopbackServer& server = *hosted.server;
        if (!in.Ok() || !(tls ? server.StartTls(names) : server.StartPlain()))
            return false;
        std::ifstream ca(server.CaFile());
        std::stringstream pem;
        if (tls)
            pem << ca.rdbuf();
        out.Put(nextId).Put(server.Port()).Put(pem.str());
        servers[nextId++] = std::move(hosted);
        return true;
    }

    bool NewRenewal(FieldReader& in, FieldWriter& out)
    {
        const std::string keyPem = in.Take();
        TestPki ca;
        if (!in.Ok() || !ReadCa(keyPem, in.Take(), ca))
            return false;
        services[nextId] = std::make_shared<RenewalService>(ca);
        out.Put(nextId++);
        return true;
    }

    bool Install(Hosted& hosted, uint64_t serviceId)
    {
        const auto found = services.find(serviceId);
        if (found == services.end())
            return false;
        hosted.services.push_back(found->second);
        found->second->Install(*hosted.server);
        return true;
    }

    static void Reply(LoopbackServer& server, FieldReader& in)
    {
        const std::string endpoint = in.Take();
        const unsigned call = static_cast<unsigned>(in.TakeNumber());
        OnlineServicesSim::Reply reply = remote::TakeReply(in);
        if (!in.Ok())
            return;
        if (call == 0)
            server.SetReply(endpoint, reply);
        else
            server.SetReply(endpoint, call, reply);
    }

    static void Requests(const LoopbackServer& server, FieldWriter& out)
    {
        out.PutEach(server.Requests(), remote::PutRequest);
    }

    std::map<uint64_t, Hosted> servers;
    // Services by their number, until dropped; one installed lives on with its server.
    std::map<uint64_t, std::shared_ptr<RenewalService>> services;
    uint64_t nextId = 1; // servers and services share the numbers
};
} // namespace

int main()
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof(address);
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener, 16) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    {
        std::cerr << "cannot listen on loopback\n";
        return 1;
    }
    std::cout << "control on 127.0.0.1:" << ntohs(address.sin_port) << std::endl;
    Control control;
    for (;;)
    {
        const int client = accept(listener, nullptr, nullptr);
        if (client < 0)
            continue;
        // The client sends its whole command and then shuts its side down.
        std::string text;
        if (ReadAll(client, text))
        {
            FieldReader in(text);
            WriteAll(client, control.Answer(in));
        }
        close(client);
    }
}
