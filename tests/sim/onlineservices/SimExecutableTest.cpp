// The executable as the demo starts it: script file, TLS folder, the port it prints.

#include "sim/onlineservices/Server.h"
#include "tests/platform/ScopedTempFolder.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{
// The executable in a child process with its standard output on a pipe.
class SimProcess
{
public:
    explicit SimProcess(const std::vector<std::string>& arguments)
    {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0)
            return;
        child = fork();
        if (child == 0)
        {
            dup2(pipeEnds[1], STDOUT_FILENO);
            close(pipeEnds[0]);
            std::vector<char*> argv = {const_cast<char*>(SIM_EXECUTABLE)};
            for (const auto& argument : arguments)
                argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            execv(SIM_EXECUTABLE, argv.data());
            _exit(127);
        }
        close(pipeEnds[1]);
        output = fdopen(pipeEnds[0], "r");
    }
    ~SimProcess()
    {
        Stop();
        if (output != nullptr)
            fclose(output);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    std::string ReadLine()
    {
        char line[512];
        return output != nullptr && fgets(line, sizeof(line), output) ? line : "";
    }
    int Stop()
    {
        if (child <= 0)
            return exitStatus;
        kill(child, SIGTERM);
        int status = 0;
        waitpid(child, &status, 0);
        child = -1;
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return exitStatus;
    }

private:
    pid_t child = -1;
    FILE* output = nullptr;
    int exitStatus = -1;
};

uint16_t PortOf(const std::string& line)
{
    const std::string prefix = "listening on 127.0.0.1:";
    EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
    return static_cast<uint16_t>(std::stoul(line.substr(prefix.size())));
}

class SimExecutableTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WriteTextFile(folder.File("script.json"),
                      R"({"ZmrSession": {"every": {"json": {"sessionid": "fixed"}}}})");
    }

    ScopedTempFolder folder;
};

TEST_F(SimExecutableTest, PlainServesItsScriptUntilTerminated)
{
    SimProcess sim({"--script", folder.File("script.json")});
    const uint16_t port = PortOf(sim.ReadLine());
    httplib::Client client("127.0.0.1", port);
    const auto answer = client.Post("/OnlineServicesTNG/v1/ZmrSession", "{}", "application/json");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->body, "{\"sessionid\":\"fixed\"}");
    EXPECT_EQ(sim.ReadLine(), "request POST /OnlineServicesTNG/v1/ZmrSession HTTP/1.1\n");
    EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(SimExecutableTest, TlsWritesTheCaThatItsCertificateChainsTo)
{
    SimProcess sim({"--tls", folder.Path().string(), "--script", folder.File("script.json")});
    EXPECT_EQ(sim.ReadLine(), "ca file " + folder.File("ca.pem") + "\n");
    const uint16_t port = PortOf(sim.ReadLine());
    httplib::SSLClient client("localhost", port);
    client.set_ca_cert_path(folder.File("ca.pem").c_str());
    client.enable_server_certificate_verification(true);
    const auto answer = client.Post("/OnlineServicesTNG/v1/ZmrSession", "{}", "application/json");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(SimExecutableTest, ATerminationRightAfterTheStartEndsItCleanly)
{
    for (int run = 0; run < 10; ++run)
    {
        SCOPED_TRACE(run);
        SimProcess sim({});
        PortOf(sim.ReadLine());
        EXPECT_EQ(sim.Stop(), 0);
    }
}

TEST_F(SimExecutableTest, ABadScriptOrArgumentEndsWithAnError)
{
    WriteTextFile(folder.File("bad.json"), "{ nope");
    const std::vector<std::vector<std::string>> cases = {{"--script", folder.File("bad.json")},
                                                         {"--script", folder.File("missing.json")},
                                                         {"--colour", "blue"},
                                                         {"--port"},
                                                         {"--port", "http"},
                                                         {"--port", "80x"},
                                                         {"--port", "65536"}};
    for (const auto& arguments : cases)
    {
        SimProcess sim(arguments);
        EXPECT_EQ(sim.ReadLine(), "");
        EXPECT_NE(sim.Stop(), 0);
    }
}

TEST_F(SimExecutableTest, TheRenewalServiceOpensARun)
{
    SimProcess sim({});
    const uint16_t port = PortOf(sim.ReadLine());
    httplib::Client client("127.0.0.1", port);
    const auto answer = client.Post(
        "/OnlineServicesTNG/v1/CertUpdate",
        R"({"cardType": 7, "cin": "471120240077", "csn": "1049", "encSerial": "1", "sigSerial": "2"})",
        "application/json");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_NE(answer->body.find("\"certUpdateFound\":true"), std::string::npos) << answer->body;
    EXPECT_EQ(
        client.Post("/OnlineServicesTNG/v1/CertUpdate/unknown/Done", "{}", "application/json")
            ->status,
        404);
    EXPECT_EQ(sim.Stop(), 0);
}
} // namespace
