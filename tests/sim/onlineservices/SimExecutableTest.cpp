// The executable as the demo starts it: script file, TLS folder, the port it prints.

#include "SimProcess.h"

#include "sim/onlineservices/Server.h"
#include "tests/platform/ScopedTempFolder.h"

#include <httplib.h>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace
{
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

// A server that hangs before it says where it listens fails the test instead of holding it.
TEST_F(SimExecutableTest, AProgramThatWritesNothingFailsTheWaitForItsLine)
{
    SimProcess silent({"600"}, "/bin/sleep", std::chrono::milliseconds(200));
    std::string line;
    EXPECT_NONFATAL_FAILURE(line = silent.ReadLine(), "the program wrote no line within 200 ms");
    EXPECT_EQ(line, "");
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
