#pragma once

#include "sim/onlineservices/Messages.h"

#include <openssl/ssl.h>

#include <memory>
#include <string>

namespace OnlineServicesSim
{

struct SslDeleter
{
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};
using SslPtr = std::unique_ptr<SSL, SslDeleter>;

// One accepted connection, plain or TLS; shuts its socket down when destroyed.
class Connection
{
public:
    Connection(int socket, SslPtr ssl);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Bytes read, 0 when the peer closed, -1 on an error.
    long Read(char* buffer, size_t size);
    bool Write(const char* data, size_t size);
    bool Write(const std::string& text) { return Write(text.data(), text.size()); }
    bool IsTls() const { return ssl != nullptr; }

private:
    int socket;
    SslPtr ssl;
};

// Reads one request with its Content-Length body, keeping every byte.
// False when no well-formed request came (what came is still in raw).
bool ReadRequest(Connection& connection, RecordedRequest& request);

// Sends the reply as it says, faults included.
void SendReply(Connection& connection, const Reply& reply);

} // namespace OnlineServicesSim
