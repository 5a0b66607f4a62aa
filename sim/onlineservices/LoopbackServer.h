#pragma once

#include "sim/onlineservices/Server.h"
#include "sim/onlineservices/TestPki.h"

#include <string>

namespace OnlineServicesSim
{

// A started server for in-process use, plain or TLS. With TLS it makes a test CA and writes it
// as PEM into a file of its own (CaFile) that clients can be told to trust.
class LoopbackServer : public Server
{
public:
    LoopbackServer() = default;
    ~LoopbackServer();

    // serverNames: the subjectAltName of the server certificate.
    bool StartPlain();
    bool StartTls(const std::string& serverNames = kLoopbackNames);
    const std::string& CaFile() const { return caFile; }

private:
    TestPki pki;
    std::string caFile;
};

} // namespace OnlineServicesSim
