#include "tools/trustca/TrustedRootStore.h"

#include <fstream>
#include <iterator>
#include <vector>

namespace TrustedRootStore
{
namespace
{
constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// The trusted roots, open for changes in this process's turn.
class OpenRoots
{
public:
    OpenRoots()
        : store(turn.Taken() ? CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                             CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root")
                             : nullptr)
    {
    }

    // Written out here: a store that a context still holds is not written when it is closed.
    ~OpenRoots()
    {
        if (store)
            CertControlStore(store.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr);
    }
    OpenRoots(const OpenRoots&) = delete;
    OpenRoots& operator=(const OpenRoots&) = delete;

    HCERTSTORE Get() const { return store.get(); }

private:
    StoreTurn turn;
    Store store;
};

// The base64 text between the first certificate's armour lines; empty without one.
std::string FirstCertificateText(const std::string& pem)
{
    const std::string begin = "-----BEGIN CERTIFICATE-----";
    const size_t start = pem.find(begin);
    const size_t end = pem.find("-----END CERTIFICATE-----", start);
    if (start == std::string::npos || end == std::string::npos)
        return std::string();
    return pem.substr(start + begin.size(), end - start - begin.size());
}

std::vector<BYTE> Base64Decoded(const std::string& text)
{
    DWORD size = 0;
    const DWORD length = static_cast<DWORD>(text.size());
    if (text.empty() || !CryptStringToBinaryA(text.c_str(), length, CRYPT_STRING_BASE64, nullptr,
                                              &size, nullptr, nullptr))
        return {};
    std::vector<BYTE> bytes(size);
    if (!CryptStringToBinaryA(text.c_str(), length, CRYPT_STRING_BASE64, bytes.data(), &size,
                              nullptr, nullptr))
        return {};
    bytes.resize(size);
    return bytes;
}

} // namespace

StoreTurn::StoreTurn()
    : turn(CreateMutexW(nullptr, FALSE, L"QuendryTrustedRootStore")),
      taken(turn && WaitForSingleObject(turn.get(), INFINITE) != WAIT_FAILED)
{
}

StoreTurn::~StoreTurn()
{
    if (taken)
        ReleaseMutex(turn.get());
}

const char* Describe(Result result)
{
    switch (result)
    {
    case Result::Done:
        return "done";
    case Result::FileUnreadable:
        return "the file cannot be read";
    case Result::NoCertificate:
        return "the file holds no PEM certificate";
    case Result::StoreNotOpened:
        return "the trusted root store cannot be opened";
    case Result::StoreRefused:
        return "the trusted root store refused the change";
    }
    return "unknown result";
}

Result ReadPemCertificate(const std::string& path, Certificate& certificate)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return Result::FileUnreadable;
    const std::string pem{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const std::vector<BYTE> der = Base64Decoded(FirstCertificateText(pem));
    if (der.empty())
        return Result::NoCertificate;
    certificate.reset(
        CertCreateCertificateContext(kEncoding, der.data(), static_cast<DWORD>(der.size())));
    return certificate ? Result::Done : Result::NoCertificate;
}

Result Trust(const CERT_CONTEXT& certificate)
{
    const OpenRoots roots;
    if (roots.Get() == nullptr)
        return Result::StoreNotOpened;
    return CertAddCertificateContextToStore(roots.Get(), &certificate,
                                            CERT_STORE_ADD_REPLACE_EXISTING, nullptr)
               ? Result::Done
               : Result::StoreRefused;
}

Certificate Find(HCERTSTORE store, const CERT_CONTEXT& certificate)
{
    BYTE hash[20];
    DWORD size = sizeof(hash);
    if (!CertGetCertificateContextProperty(&certificate, CERT_HASH_PROP_ID, hash, &size))
        return nullptr;
    // By its hash: the test CAs share their name and serial number.
    CRYPT_HASH_BLOB wanted{size, hash};
    return Certificate(
        CertFindCertificateInStore(store, kEncoding, 0, CERT_FIND_SHA1_HASH, &wanted, nullptr));
}

bool Remove(HCERTSTORE store, const CERT_CONTEXT& certificate)
{
    Certificate found = Find(store, certificate);
    // Deleting frees the context, whether it succeeds or not.
    return !found || CertDeleteCertificateFromStore(found.release());
}

Result Distrust(const CERT_CONTEXT& certificate)
{
    const OpenRoots roots;
    if (roots.Get() == nullptr)
        return Result::StoreNotOpened;
    return Remove(roots.Get(), certificate) ? Result::Done : Result::StoreRefused;
}

} // namespace TrustedRootStore
