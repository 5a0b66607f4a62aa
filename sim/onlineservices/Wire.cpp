#include "sim/onlineservices/Wire.h"

#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace OnlineServicesSim
{
namespace
{
constexpr size_t kMaxHead = 64 * 1024;
constexpr size_t kMaxRequestBody = 32 * 1024 * 1024;
constexpr size_t kBlock = 64 * 1024;
constexpr unsigned char kTlsHandshakeRecord = 0x16;

bool SameName(const std::string& a, const char* b)
{
    const std::string other(b);
    return std::equal(a.begin(), a.end(), other.begin(), other.end(),
                      [](char x, char y)
                      {
                          return std::tolower(static_cast<unsigned char>(x)) ==
                                 std::tolower(static_cast<unsigned char>(y));
                      });
}

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

bool ParseRequestLine(RecordedRequest& request)
{
    const auto firstBlank = request.requestLine.find(' ');
    const auto lastBlank = request.requestLine.rfind(' ');
    if (firstBlank == std::string::npos || lastBlank == firstBlank)
        return false;
    request.method = request.requestLine.substr(0, firstBlank);
    request.target = request.requestLine.substr(firstBlank + 1, lastBlank - firstBlank - 1);
    request.version = request.requestLine.substr(lastBlank + 1);
    return request.version.rfind("HTTP/", 0) == 0;
}

bool ParseHead(RecordedRequest& request)
{
    size_t lineStart = 0;
    size_t lineEnd = request.head.find("\r\n");
    request.requestLine = request.head.substr(0, lineEnd);
    if (!ParseRequestLine(request))
        return false;
    for (lineStart = lineEnd + 2; (lineEnd = request.head.find("\r\n", lineStart)) != lineStart;
         lineStart = lineEnd + 2)
    {
        const std::string line = request.head.substr(lineStart, lineEnd - lineStart);
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            return false;
        request.headers.emplace_back(line.substr(0, colon), Trim(line.substr(colon + 1)));
    }
    return true;
}

bool DeclaredLength(const RecordedRequest& request, size_t& length)
{
    length = 0;
    for (const auto& [name, value] : request.headers)
    {
        if (SameName(name, "Transfer-Encoding"))
            return false; // chunked requests are not part of the protocol
        if (!SameName(name, "Content-Length"))
            continue;
        if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos ||
            value.size() > 9)
            return false;
        length = std::strtoul(value.c_str(), nullptr, 10);
    }
    return length <= kMaxRequestBody;
}

bool ReadMore(Connection& connection, std::string& raw)
{
    char buffer[kBlock];
    const long count = connection.Read(buffer, sizeof(buffer));
    if (count <= 0)
        return false;
    raw.append(buffer, static_cast<size_t>(count));
    return true;
}

std::string BuildHead(const Reply& reply, uint64_t bodySize)
{
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " +
                       (reply.reason.empty() ? ReasonPhrase(reply.status) : reply.reason) + "\r\n";
    for (const auto& [name, value] : reply.headers)
        head += name + ": " + value + "\r\n";
    if (reply.framing == Framing::Chunked)
        head += "Transfer-Encoding: chunked\r\n";
    else if (reply.framing == Framing::ContentLength)
        head += "Content-Length: " +
                (reply.contentLength.empty() ? std::to_string(bodySize) : reply.contentLength) +
                "\r\n";
    return head + "Connection: close\r\n\r\n";
}

// Streams body and filler, chunked when asked, stopping where a drop is scripted.
class BodyWriter
{
public:
    BodyWriter(Connection& connection, const Reply& reply)
        : connection(connection), reply(reply),
          limit(reply.drop == Drop::InsideBody ? reply.dropAfterBodyBytes : UINT64_MAX)
    {
    }

    bool WriteAll()
    {
        if (!Write(reply.body.data(), reply.body.size()))
            return false;
        const std::string filler(kBlock, ' ');
        for (uint64_t left = reply.fillerBytes; left > 0;)
        {
            const size_t piece = static_cast<size_t>(std::min<uint64_t>(left, kBlock));
            if (!Write(filler.data(), piece))
                return false;
            left -= piece;
        }
        return reply.framing != Framing::Chunked || connection.Write("0\r\n\r\n");
    }

private:
    bool Write(const char* data, size_t size)
    {
        const size_t allowed = static_cast<size_t>(std::min<uint64_t>(size, limit - sent));
        if (allowed > 0 && !WritePiece(data, allowed))
            return false;
        sent += allowed;
        return allowed == size;
    }

    bool WritePiece(const char* data, size_t size)
    {
        if (reply.framing != Framing::Chunked)
            return connection.Write(data, size);
        char sizeLine[32];
        snprintf(sizeLine, sizeof(sizeLine), "%zx\r\n", size);
        return connection.Write(sizeLine) && connection.Write(data, size) &&
               connection.Write("\r\n");
    }

    Connection& connection;
    const Reply& reply;
    const uint64_t limit;
    uint64_t sent = 0;
};
} // namespace

Connection::Connection(int socket, SslPtr ssl) : socket(socket), ssl(std::move(ssl)) {}

Connection::~Connection()
{
    ssl.reset();                 // no close_notify: a dropped connection must look dropped
    shutdown(socket, SHUT_RDWR); // the server closes the socket itself
}

long Connection::Read(char* buffer, size_t size)
{
    if (ssl)
    {
        const int count = SSL_read(ssl.get(), buffer, static_cast<int>(size));
        return count > 0 ? count
                         : (SSL_get_error(ssl.get(), count) == SSL_ERROR_ZERO_RETURN ? 0 : -1);
    }
    return static_cast<long>(recv(socket, buffer, size, 0));
}

bool Connection::Write(const char* data, size_t size)
{
    while (size > 0)
    {
        const long written = ssl ? SSL_write(ssl.get(), data, static_cast<int>(size))
                                 : static_cast<long>(send(socket, data, size, MSG_NOSIGNAL));
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool ReadRequest(Connection& connection, RecordedRequest& request)
{
    request.tls = connection.IsTls();
    size_t headEnd = std::string::npos;
    while ((headEnd = request.raw.find("\r\n\r\n")) == std::string::npos)
    {
        // A TLS client on the plain port: nothing more will come until we answer in kind.
        if (!request.raw.empty() &&
            static_cast<unsigned char>(request.raw[0]) == kTlsHandshakeRecord)
            return false;
        if (request.raw.size() > kMaxHead || !ReadMore(connection, request.raw))
            return false;
    }
    request.head = request.raw.substr(0, headEnd + 4);
    size_t bodyLength = 0;
    if (!ParseHead(request) || !DeclaredLength(request, bodyLength))
        return false;
    while (request.raw.size() < request.head.size() + bodyLength)
    {
        if (!ReadMore(connection, request.raw))
            return false;
    }
    request.body = request.raw.substr(request.head.size(), bodyLength);
    request.complete = true;
    return true;
}

void SendReply(Connection& connection, const Reply& reply)
{
    if (reply.drop == Drop::BeforeAnswer)
        return;
    if (!reply.raw.empty())
    {
        connection.Write(reply.raw);
        return;
    }
    const uint64_t bodySize = reply.body.size() + reply.fillerBytes;
    if (!connection.Write(BuildHead(reply, bodySize)) || reply.drop == Drop::AfterHeaders)
        return;
    BodyWriter(connection, reply).WriteAll();
}

} // namespace OnlineServicesSim
