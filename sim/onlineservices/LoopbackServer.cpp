#include "sim/onlineservices/LoopbackServer.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace OnlineServicesSim
{

LoopbackServer::~LoopbackServer()
{
    Stop();
    if (!caFile.empty())
        std::remove(caFile.c_str());
}

bool LoopbackServer::StartPlain()
{
    std::string error;
    return Start(ServerOptions{}, error);
}

bool LoopbackServer::StartTls(const std::string& serverNames)
{
    if (!MakeTestPki("Quendry test CA", pki, serverNames))
        return false;
    const char* folder = std::getenv("TMPDIR");
    std::string path = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") +
                       "/quendry-test-ca-XXXXXX";
    const int file = mkstemp(path.data());
    if (file < 0)
        return false;
    close(file);
    caFile = path;
    if (!WriteTextFile(caFile, CertificatePem(pki.caCertificate.get())))
        return false;
    ServerOptions options;
    options.tls = true;
    options.certificatePem = CertificatePem(pki.serverCertificate.get());
    options.keyPem = PrivateKeyPem(pki.serverKey.get());
    std::string error;
    return Start(options, error);
}

} // namespace OnlineServicesSim
