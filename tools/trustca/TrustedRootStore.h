#pragma once

// The system's store of trusted root certificates, for the CAs of the simulated online
// services: WinINet verifies a TLS peer against that store alone. The machine's store is used:
// a change to it asks no one for confirmation (it takes an administrator, as every user is under
// Wine), and the user's view of the roots, which WinINet checks against, takes it in.

#include <windows.h>

#include <wincrypt.h>

#include <memory>
#include <string>

namespace TrustedRootStore
{

enum class Result
{
    Done,
    FileUnreadable,
    NoCertificate,
    StoreNotOpened,
    StoreRefused
};

// What a result means, for a message.
const char* Describe(Result result);

struct CertificateFree
{
    void operator()(const CERT_CONTEXT* certificate) const
    {
        CertFreeCertificateContext(certificate);
    }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateFree>;

struct StoreClose
{
    void operator()(HCERTSTORE store) const { CertCloseStore(store, 0); }
};
using Store = std::unique_ptr<void, StoreClose>;

struct HandleClose
{
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleClose>;

// The processes of one system change the trusted roots one at a time: under Wine a changed store
// writes back every certificate it read when it is closed, so one process could put back what
// another has just taken out. Held by one thread it may be taken again.
class StoreTurn
{
public:
    StoreTurn();
    ~StoreTurn();
    StoreTurn(const StoreTurn&) = delete;
    StoreTurn& operator=(const StoreTurn&) = delete;

    bool Taken() const { return taken; }

private:
    Handle turn;
    bool taken;
};

// The first certificate of a PEM file.
Result ReadPemCertificate(const std::string& path, Certificate& certificate);

// Adds the certificate to the trusted roots.
Result Trust(const CERT_CONTEXT& certificate);
// Takes the certificate out of the trusted roots; one that is not there is done too.
Result Distrust(const CERT_CONTEXT& certificate);
// The same certificate in a store, or none.
Certificate Find(HCERTSTORE store, const CERT_CONTEXT& certificate);
// Takes the certificate out of a store; false when the store refuses.
bool Remove(HCERTSTORE store, const CERT_CONTEXT& certificate);

} // namespace TrustedRootStore
