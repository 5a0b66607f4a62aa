// quendry-onlineservices-sim [--port N] [--script FILE] [--tls FOLDER] [--zmr FILE]
// Serves the simulated online services on 127.0.0.1 until it is interrupted. With --tls it
// makes a test CA and a server certificate and writes the CA to FOLDER/ca.pem for clients. The
// renewal service "CertUpdate" answers by itself, with certificates of a CA of its own; a script
// reply for a call number still comes first. With --zmr it answers the identity-link service
// from the register scenario in FILE, and renews the cards of its persons in their names and no
// other card.

#include "sim/onlineservices/RenewalService.h"
#include "sim/onlineservices/ScriptFile.h"
#include "sim/onlineservices/Server.h"
#include "sim/onlineservices/TestPki.h"
#include "sim/onlineservices/ZmrService.h"

#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <pthread.h>
#include <signal.h>
#include <sstream>
#include <string>

namespace
{
volatile std::sig_atomic_t interrupted = 0;

void OnSignal(int)
{
    interrupted = 1;
}

// Blocks SIGINT and SIGTERM before the server's threads start, so they inherit the mask and an
// interrupt is held until the main thread waits for it, even one sent right after the port is
// printed. Returns the mask to wait with.
sigset_t HoldInterrupts()
{
    sigset_t interrupts;
    sigset_t waitMask;
    sigemptyset(&interrupts);
    sigaddset(&interrupts, SIGINT);
    sigaddset(&interrupts, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &interrupts, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    return waitMask;
}

struct Arguments
{
    uint64_t port = 0;
    std::string scriptFile;
    std::string tlsFolder;
    std::string zmrFile;
};

bool ParseArguments(int argc, char** argv, Arguments& arguments)
{
    for (int i = 1; i + 1 < argc; i += 2)
    {
        const std::string name = argv[i];
        if (name == "--port")
        {
            if (!OnlineServicesSim::ParseDecimal(argv[i + 1], UINT16_MAX, arguments.port))
                return false;
        }
        else if (name == "--script")
            arguments.scriptFile = argv[i + 1];
        else if (name == "--tls")
            arguments.tlsFolder = argv[i + 1];
        else if (name == "--zmr")
            arguments.zmrFile = argv[i + 1];
        else
            return false;
    }
    return argc % 2 == 1;
}

// Hands the file's text to load; reports what went wrong under the file's kind and path.
bool LoadFile(const char* kind, const std::string& path,
              const std::function<bool(const std::string&, std::string&)>& load)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    std::string error;
    if (file && load(text.str(), error))
        return true;
    std::cerr << kind << " " << path << ": " << (file ? error : "cannot be read") << "\n";
    return false;
}

bool LoadScriptFile(OnlineServicesSim::Server& server, const std::string& path)
{
    return LoadFile("script", path,
                    [&server](const std::string& text, std::string& error)
                    { return server.LoadScript(text, error); });
}

bool LoadZmrScenario(OnlineServicesSim::Server& server, const std::string& path,
                     OnlineServicesSim::RenewalService& renewal)
{
    return LoadFile("register scenario", path,
                    [&](const std::string& text, std::string& error)
                    {
                        OnlineServicesSim::ZmrScenario scenario;
                        if (!OnlineServicesSim::ParseZmrScenario(text, scenario, error))
                            return false;
                        OnlineServicesSim::AddZmrService(server, scenario);
                        // A renewed card keeps its holder, whom the register still finds; a
                        // card it does not know has no update.
                        OnlineServicesSim::RenewalScenario renewalScenario;
                        for (const OnlineServicesSim::ZmrPerson& person : scenario.persons)
                            renewalScenario.holderByCin[person.cin] = person.commonName;
                        renewal.SetScenario(renewalScenario);
                        return true;
                    });
}

bool PrepareTls(const std::string& folder, OnlineServicesSim::ServerOptions& options)
{
    OnlineServicesSim::TestPki pki;
    const std::string caFile = folder + "/ca.pem";
    if (!OnlineServicesSim::MakeTestPki("Quendry simulated online services CA", pki) ||
        !OnlineServicesSim::WriteTextFile(
            caFile, OnlineServicesSim::CertificatePem(pki.caCertificate.get())))
    {
        std::cerr << "cannot make the test CA in " << folder << "\n";
        return false;
    }
    options.tls = true;
    options.certificatePem = OnlineServicesSim::CertificatePem(pki.serverCertificate.get());
    options.keyPem = OnlineServicesSim::PrivateKeyPem(pki.serverKey.get());
    std::cout << "ca file " << caFile << std::endl;
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    Arguments arguments;
    if (!ParseArguments(argc, argv, arguments))
    {
        std::cerr << "usage: quendry-onlineservices-sim [--port N] [--script FILE] [--tls FOLDER] "
                     "[--zmr FILE]\n";
        return 2;
    }
    OnlineServicesSim::ServerOptions options;
    options.port = static_cast<uint16_t>(arguments.port);
    if (!arguments.tlsFolder.empty() && !PrepareTls(arguments.tlsFolder, options))
        return 1;
    OnlineServicesSim::Server server;
    if (!arguments.scriptFile.empty() && !LoadScriptFile(server, arguments.scriptFile))
        return 1;
    OnlineServicesSim::TestPki renewalCa;
    if (!OnlineServicesSim::MakeRsaCa("Quendry simulated renewal CA", renewalCa))
    {
        std::cerr << "cannot make the renewal CA\n";
        return 1;
    }
    OnlineServicesSim::RenewalService renewal(renewalCa);
    renewal.Install(server);
    if (!arguments.zmrFile.empty() && !LoadZmrScenario(server, arguments.zmrFile, renewal))
        return 1;
    const sigset_t waitMask = HoldInterrupts();
    server.SetObserver(
        [](const OnlineServicesSim::RecordedRequest& request)
        {
            std::cout << "request " << (request.complete ? request.requestLine : "(malformed)")
                      << std::endl;
        });
    std::string error;
    if (!server.Start(options, error))
    {
        std::cerr << error << "\n";
        return 1;
    }
    std::cout << "listening on 127.0.0.1:" << server.Port() << std::endl;
    while (!interrupted)
        sigsuspend(&waitMask);
    server.Stop();
    return 0;
}
