#include "sim/onlineservices/LoopbackServer.h"
#include "tests/core/http/windows/RemoteControl.h"

#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace OnlineServicesSim
{
namespace remote
{
namespace
{
SOCKET Connect()
{
    static const bool started = []
    {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    const char* address = std::getenv("QUENDRY_SIM_CONTROL");
    if (!started || address == nullptr)
        throw std::runtime_error("QUENDRY_SIM_CONTROL names no simulated online services");
    const std::string text = address;
    const size_t colon = text.rfind(':');
    sockaddr_in target = {};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<u_short>(std::atoi(text.c_str() + colon + 1)));
    inet_pton(AF_INET, text.substr(0, colon).c_str(), &target.sin_addr);
    const SOCKET client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (client == INVALID_SOCKET ||
        connect(client, reinterpret_cast<sockaddr*>(&target), sizeof(target)) != 0)
        throw std::runtime_error("the simulated online services do not answer at " + text);
    return client;
}
} // namespace

bool SendAll(SOCKET socket, const std::string& text)
{
    for (size_t sent = 0; sent < text.size();)
    {
        const int count = send(socket, text.data() + sent, static_cast<int>(text.size() - sent), 0);
        if (count <= 0)
            return false;
        sent += static_cast<size_t>(count);
    }
    return shutdown(socket, SD_SEND) == 0;
}

std::string ReceiveAll(SOCKET socket)
{
    std::string text;
    char buffer[65536];
    for (int count; (count = recv(socket, buffer, sizeof(buffer), 0)) > 0;)
        text.append(buffer, static_cast<size_t>(count));
    return text;
}

FieldReader Command(const FieldWriter& command)
{
    SocketCloser client{Connect()};
    if (!SendAll(client.socket, command.Text()))
        throw std::runtime_error("sending to the simulated online services failed");
    FieldReader reader(ReceiveAll(client.socket));
    if (reader.Take() != "ok")
        throw std::runtime_error("the simulated online services refused a command");
    return reader;
}

FieldWriter About(const char* command, uint64_t id)
{
    FieldWriter writer;
    writer.Put(command).Put(id);
    return writer;
}
} // namespace remote

using remote::About;
using remote::Command;

Server::~Server()
{
    if (id != 0)
        Command(About("forget", id));
}

bool Server::Start(bool withTls, const std::string& serverNames)
{
    remote::FieldWriter command;
    command.Put("start").Put(withTls ? 1 : 0).Put(serverNames);
    remote::FieldReader answer = Command(command);
    id = answer.TakeNumber();
    port = static_cast<uint16_t>(answer.TakeNumber());
    caPem = answer.Take();
    tls = withTls;
    const bool started = answer.Ok() && id != 0;
    if (started)
        SetUpStarted();
    return started;
}

void Server::Stop()
{
    if (id != 0)
        Command(About("stop", id));
}

std::string Server::BaseUrl() const
{
    return std::string(tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(port) +
           "/OnlineServicesTNG/v1/";
}

void Server::SetReply(const std::string& endpoint, Reply reply)
{
    SetReply(endpoint, 0, std::move(reply));
}

void Server::SetReply(const std::string& endpoint, unsigned call, Reply reply)
{
    remote::FieldWriter command = About("reply", id);
    command.Put(endpoint).Put(call);
    remote::PutReply(command, reply);
    Command(command);
}

std::vector<RecordedRequest> Server::Requests() const
{
    remote::FieldReader answer = Command(About("requests", id));
    std::vector<RecordedRequest> requests;
    for (uint64_t count = answer.TakeNumber(); answer.Ok() && count > 0; --count)
        requests.push_back(remote::TakeRequest(answer));
    return requests;
}

bool Server::WaitForRequests(size_t count, unsigned timeoutMs) const
{
    remote::FieldWriter command = About("wait", id);
    command.Put(count).Put(timeoutMs);
    return Command(command).TakeNumber() != 0;
}

LoopbackServer::~LoopbackServer()
{
    if (!caFile.empty())
        std::remove(caFile.c_str());
}

bool LoopbackServer::StartPlain()
{
    return Start(false, kLoopbackNames);
}

bool LoopbackServer::StartTls(const std::string& serverNames)
{
    if (!Start(true, serverNames))
        return false;
    char folder[MAX_PATH];
    char file[MAX_PATH];
    if (GetTempPathA(MAX_PATH, folder) == 0 || GetTempFileNameA(folder, "qca", 0, file) == 0)
        return false;
    caFile = file;
    std::ofstream(caFile, std::ios::binary) << caPem;
    return true;
}

} // namespace OnlineServicesSim
