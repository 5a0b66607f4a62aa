// quendry-trust-ca as the demo runs it: a server's CA into the trusted roots and out again, and
// what it cannot use refused without a change.

#include "sim/onlineservices/LoopbackServer.h"
#include "tools/trustca/TrustedRootStore.h"
#include "tests/platform/ScopedTempFolder.h"
#include "tests/sim/cardmodule/ChildProcess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// What a program started now finds: the user's view of the roots, which WinINet checks against.
bool UserTrusts(const CERT_CONTEXT& certificate)
{
    const TrustedRootStore::Store roots(
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                      CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, L"Root"));
    return roots && TrustedRootStore::Find(roots.get(), certificate) != nullptr;
}

TEST(TrustCaToolTest, PutsACaAmongTheTrustedRootsTakesItOutAndRefusesWhatItCannotUse)
{
    OnlineServicesSim::LoopbackServer server;
    ASSERT_TRUE(server.StartTls());
    TrustedRootStore::Certificate ca;
    ASSERT_EQ(TrustedRootStore::ReadPemCertificate(server.CaFile(), ca),
              TrustedRootStore::Result::Done);
    ScopedTempFolder folder;
    const std::string key = folder.File("key.pem");
    WriteTextFile(key, "-----BEGIN PUBLIC KEY-----\nMFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE\n"
                       "-----END PUBLIC KEY-----\n");
    const std::string broken = folder.File("broken.pem");
    WriteTextFile(broken, "-----BEGIN CERTIFICATE-----\nMIIBkTCB+wIJAKHBfpE=\n"
                          "-----END CERTIFICATE-----\n");
    const struct
    {
        const char* name;
        std::vector<std::string> arguments;
        int exitCode;
        bool trusted;
    } steps[] = {{"no file named", {}, 2, false},
                 {"only the option", {"--remove"}, 2, false},
                 {"unknown option", {"--add", server.CaFile()}, 2, false},
                 {"missing file", {folder.File("missing.pem")}, 1, false},
                 {"a key, no certificate", {key}, 1, false},
                 {"a broken certificate", {broken}, 1, false},
                 {"the CA", {server.CaFile()}, 0, true},
                 {"the CA again", {server.CaFile()}, 0, true},
                 {"removed", {"--remove", server.CaFile()}, 0, false},
                 {"removed again", {"--remove", server.CaFile()}, 0, false}};
    for (const auto& step : steps)
    {
        SCOPED_TRACE(step.name);
        EXPECT_EQ(SimTest::RunProgram(QUENDRY_TRUST_CA_TOOL, step.arguments), step.exitCode);
        EXPECT_EQ(UserTrusts(*ca), step.trusted);
    }
    // Whatever a failed step left there.
    TrustedRootStore::Distrust(*ca);
}
} // namespace
