#pragma once

#include "core/http/HTTPClient.h"

#ifdef _WIN32
#include "tests/core/http/windows/ScopedRootTrust.h"
#endif

#include <gtest/gtest.h>

#include <optional>
#include <string>

// HTTPS requests trust the CA certificate of the PEM file besides the system's (no other for an
// empty name) for as long as this lives. libcurl is handed the file; WinINet trusts the system's
// root store alone, so on Windows the certificate is put there too, and taken out again.
class TrustedCa
{
public:
    explicit TrustedCa(const std::string& caFile)
    {
        LibHttp2::TransportSettings settings;
        settings.trustedCaFile = caFile;
        LibHttp2::SetTransportSettingsForTesting(settings);
#ifdef _WIN32
        if (!caFile.empty())
        {
            root.emplace(caFile);
            EXPECT_EQ(root->Problem(), "") << caFile;
        }
#endif
    }
    ~TrustedCa()
    {
        LibHttp2::SetTransportSettingsForTesting({});
    }
    TrustedCa(const TrustedCa&) = delete;
    TrustedCa& operator=(const TrustedCa&) = delete;

#ifdef _WIN32
private:
    std::optional<ScopedRootTrust> root;
#endif
};
