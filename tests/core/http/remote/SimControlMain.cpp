// quendry-sim-control: simulated online-services servers on loopback, started, scripted, read
// and stopped by tests that cannot run them in-process (the Windows tests under Wine). Prints
// "control on 127.0.0.1:PORT" and serves one command per connection until it is ended:
//   start TLS NAMES -> ok ID PORT CA-PEM      reply ID ENDPOINT CALL REPLY -> ok
//   requests ID -> ok COUNT REQUEST...        wait ID COUNT MS -> ok FOUND
//   stop ID -> ok                             forget ID -> ok

#include "sim/onlineservices/LoopbackServer.h"
#include "tests/core/http/remote/RemoteWire.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>

namespace
{
using namespace OnlineServicesSim;
using remote::FieldReader;
using remote::FieldWriter;

class Control
{
public:
    std::string Answer(FieldReader& in)
    {
        const std::string command = in.Take();
        FieldWriter out;
        if (command == "start")
            return Start(in, out) ? out.Text() : Failure();
        LoopbackServer* server = Find(in.TakeNumber());
        if (server == nullptr)
            return Failure();
        out.Put("ok");
        if (command == "reply")
            Reply(*server, in);
        else if (command == "requests")
            Requests(*server, out);
        else if (command == "wait")
        {
            const size_t count = in.TakeNumber();
            out.Put(server->WaitForRequests(count, static_cast<unsigned>(in.TakeNumber())));
        }
        else if (command == "stop")
            server->Stop();
        else if (command == "forget")
            servers.erase(lastId);
        else
            return Failure();
        return in.Ok() ? out.Text() : Failure();
    }

private:
    static std::string Failure() { return FieldWriter().Put("failed").Text(); }

    LoopbackServer* Find(uint64_t id)
    {
        lastId = id;
        const auto found = servers.find(id);
        return found == servers.end() ? nullptr : found->second.get();
    }

    bool Start(FieldReader& in, FieldWriter& out)
    {
        const bool tls = in.TakeNumber() != 0;
        const std::string names = in.Take();
        auto server = std::make_unique<LoopbackServer>();
        if (!in.Ok() || !(tls ? server->StartTls(names) : server->StartPlain()))
            return false;
        std::ifstream ca(server->CaFile());
        std::stringstream pem;
        if (tls)
            pem << ca.rdbuf();
        out.Put("ok").Put(nextId).Put(server->Port()).Put(pem.str());
        servers[nextId++] = std::move(server);
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
        const auto requests = server.Requests();
        out.Put(requests.size());
        for (const auto& request : requests)
            remote::PutRequest(out, request);
    }

    std::map<uint64_t, std::unique_ptr<LoopbackServer>> servers;
    uint64_t nextId = 1;
    uint64_t lastId = 0;
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
} // namespace

int main()
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
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
