#include "ScopedRootTrust.h"

#include "sim/onlineservices/TestPki.h"

namespace
{
using TrustedRootStore::Certificate;
using TrustedRootStore::Result;

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

struct ChainFree
{
    void operator()(const CERT_CHAIN_CONTEXT* chain) const { CertFreeCertificateChain(chain); }
};
using Chain = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree>;

Certificate FromX509(X509* certificate)
{
    unsigned char* der = nullptr;
    const int length = i2d_X509(certificate, &der);
    if (length <= 0)
        return nullptr;
    Certificate context(CertCreateCertificateContext(kEncoding, der, static_cast<DWORD>(length)));
    OPENSSL_free(der);
    return context;
}

// Under Wine the certificate checks of a process take the trusted roots from stores they read
// at the first check and keep; a change of the system's roots does not reach them by itself.
// Checking a certificate whose issuer has to be looked up hands back, with the issuer, the
// collection that holds those stores. A CA and a certificate it issued, made for this alone,
// are checked to reach it.
class ChainCheckRoots
{
public:
    ChainCheckRoots()
    {
        OnlineServicesSim::TestPki probe;
        if (OnlineServicesSim::MakeTestPki("Quendry root store probe", probe, "DNS:probe.invalid"))
            Check(FromX509(probe.serverCertificate.get()), FromX509(probe.caCertificate.get()));
    }

    bool Reached() const { return stores != nullptr; }

    // What the checks have read is written back when they read again, so a certificate taken out
    // of the system's roots is taken out of theirs as well.
    void Remove(const CERT_CONTEXT& certificate) const
    {
        TrustedRootStore::Remove(stores, certificate);
    }

    // The probe's own store, last in the collection, answers that it has nothing to read again.
    void ReadAgain() const { CertControlStore(stores, 0, CERT_STORE_CTRL_RESYNC, nullptr); }

private:
    void Check(const Certificate& subject, const Certificate& issuer)
    {
        CERT_CHAIN_PARA parameters = {};
        parameters.cbSize = sizeof(parameters);
        const CERT_CHAIN_CONTEXT* checked = nullptr;
        if (!subject || !issuer || !beside ||
            !CertAddCertificateContextToStore(beside.get(), issuer.get(), CERT_STORE_ADD_ALWAYS,
                                              nullptr) ||
            !CertGetCertificateChain(nullptr, subject.get(), nullptr, beside.get(), &parameters, 0,
                                     nullptr, &checked))
            return;
        chain.reset(checked);
        const CERT_SIMPLE_CHAIN& simple = *chain->rgpChain[0];
        if (simple.cElement > 1)
            stores = simple.rgpElement[1]->pCertContext->hCertStore;
    }

    TrustedRootStore::Store beside{CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr)};
    Chain chain;
    HCERTSTORE stores = nullptr;
};
} // namespace

ScopedRootTrust::ScopedRootTrust(const std::string& pemFile)
    : outcome(TrustedRootStore::ReadPemCertificate(pemFile, certificate))
{
    if (outcome != Result::Done)
        return;
    const TrustedRootStore::StoreTurn turn;
    outcome = TrustedRootStore::Trust(*certificate);
    if (outcome != Result::Done)
        return;
    const ChainCheckRoots roots;
    reread = roots.Reached();
    if (reread)
        roots.ReadAgain();
}

ScopedRootTrust::~ScopedRootTrust()
{
    if (outcome != Result::Done)
        return;
    const TrustedRootStore::StoreTurn turn;
    const ChainCheckRoots roots;
    if (roots.Reached())
        roots.Remove(*certificate);
    TrustedRootStore::Distrust(*certificate);
    if (roots.Reached())
        roots.ReadAgain();
}

std::string ScopedRootTrust::Problem() const
{
    if (outcome != Result::Done)
        return TrustedRootStore::Describe(outcome);
    return reread ? std::string() : "the certificate checks of this process did not read again";
}
