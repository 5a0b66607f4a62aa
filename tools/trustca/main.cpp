// quendry-trust-ca [--remove] CA.pem
// Puts the CA certificate of a PEM file among the system's trusted roots, or with --remove takes
// it out again, so that WinINet accepts the simulated online services' TLS certificates (the
// demo under Wine).

#include "tools/trustca/TrustedRootStore.h"

#include <cstdio>
#include <cstring>

namespace
{
constexpr int kFailed = 1;
constexpr int kUsage = 2;

int Report(const char* file, TrustedRootStore::Result result)
{
    if (result == TrustedRootStore::Result::Done)
        return 0;
    std::fprintf(stderr, "quendry-trust-ca: %s: %s\n", file, TrustedRootStore::Describe(result));
    return kFailed;
}
} // namespace

int main(int argc, char** argv)
{
    const bool remove = argc == 3 && std::strcmp(argv[1], "--remove") == 0;
    if (argc != 2 + (remove ? 1 : 0) || argv[argc - 1][0] == '-')
    {
        std::fprintf(stderr, "usage: quendry-trust-ca [--remove] CA.pem\n");
        return kUsage;
    }
    const char* file = argv[argc - 1];
    TrustedRootStore::Certificate certificate;
    TrustedRootStore::Result result = TrustedRootStore::ReadPemCertificate(file, certificate);
    if (result == TrustedRootStore::Result::Done)
        result = remove ? TrustedRootStore::Distrust(*certificate)
                        : TrustedRootStore::Trust(*certificate);
    return Report(file, result);
}
