#pragma once

#include "tools/trustca/TrustedRootStore.h"

#include <string>

// The CA certificate of a PEM file among the trusted roots for as long as this lives, as the
// certificate checks of this process see them.
class ScopedRootTrust
{
public:
    explicit ScopedRootTrust(const std::string& pemFile);
    ~ScopedRootTrust();
    ScopedRootTrust(const ScopedRootTrust&) = delete;
    ScopedRootTrust& operator=(const ScopedRootTrust&) = delete;

    // Empty when the certificate is trusted.
    std::string Problem() const;

private:
    TrustedRootStore::Certificate certificate;
    TrustedRootStore::Result outcome;
    bool reread = false;
};
