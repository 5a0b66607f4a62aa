#include "sim/onlineservices/TestPki.h"

#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <fstream>
#include <utility>

namespace OnlineServicesSim
{
namespace
{
struct ExtensionDeleter
{
    void operator()(X509_EXTENSION* extension) const { X509_EXTENSION_free(extension); }
};
using ExtensionPtr = std::unique_ptr<X509_EXTENSION, ExtensionDeleter>;

constexpr long kValiditySeconds = 7L * 24 * 3600;

bool AddExtension(X509* certificate, X509* issuer, int nid, const char* value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    ExtensionPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

bool SetName(X509_NAME* name, const std::string& commonName)
{
    const auto* text = reinterpret_cast<const unsigned char*>(commonName.c_str());
    return X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, text, -1, -1, 0) == 1;
}

CertificatePtr NewCertificate(EVP_PKEY* key, const std::string& commonName, long serial)
{
    CertificatePtr certificate(X509_new());
    if (!certificate || X509_set_version(certificate.get(), 2) != 1 ||
        ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), serial) != 1 ||
        X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600) == nullptr ||
        X509_gmtime_adj(X509_getm_notAfter(certificate.get()), kValiditySeconds) == nullptr ||
        X509_set_pubkey(certificate.get(), key) != 1 ||
        !SetName(X509_get_subject_name(certificate.get()), commonName))
        return nullptr;
    return certificate;
}

CertificatePtr MakeCa(EVP_PKEY* key, const std::string& name)
{
    CertificatePtr ca = NewCertificate(key, name, 1);
    if (!ca || X509_set_issuer_name(ca.get(), X509_get_subject_name(ca.get())) != 1 ||
        !AddExtension(ca.get(), ca.get(), NID_basic_constraints, "critical,CA:TRUE") ||
        !AddExtension(ca.get(), ca.get(), NID_key_usage, "critical,keyCertSign,cRLSign") ||
        !AddExtension(ca.get(), ca.get(), NID_subject_key_identifier, "hash") ||
        X509_sign(ca.get(), key, EVP_sha256()) == 0)
        return nullptr;
    return ca;
}

CertificatePtr MakeServerCertificate(EVP_PKEY* key, X509* ca, EVP_PKEY* caKey,
                                     const std::string& names)
{
    CertificatePtr server = NewCertificate(key, "localhost", 2);
    if (!server || X509_set_issuer_name(server.get(), X509_get_subject_name(ca)) != 1 ||
        !AddExtension(server.get(), ca, NID_basic_constraints, "critical,CA:FALSE") ||
        !AddExtension(server.get(), ca, NID_ext_key_usage, "serverAuth") ||
        !AddExtension(server.get(), ca, NID_subject_alt_name, names.c_str()) ||
        !AddExtension(server.get(), ca, NID_authority_key_identifier, "keyid") ||
        X509_sign(server.get(), caKey, EVP_sha256()) == 0)
        return nullptr;
    return server;
}

std::string BioText(BIO* bio)
{
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return length > 0 ? std::string(data, static_cast<size_t>(length)) : std::string();
}
} // namespace

bool MakeTestPki(const std::string& caName, TestPki& pki, const std::string& serverNames)
{
    pki.caKey.reset(EVP_EC_gen("P-256"));
    pki.serverKey.reset(EVP_EC_gen("P-256"));
    if (!pki.caKey || !pki.serverKey)
        return false;
    pki.caCertificate = MakeCa(pki.caKey.get(), caName);
    if (!pki.caCertificate)
        return false;
    pki.serverCertificate = MakeServerCertificate(pki.serverKey.get(), pki.caCertificate.get(),
                                                  pki.caKey.get(), serverNames);
    return pki.serverCertificate != nullptr;
}

bool MakeRsaCa(const std::string& caName, TestPki& pki)
{
    pki.caKey.reset(EVP_RSA_gen(2048));
    if (!pki.caKey)
        return false;
    pki.caCertificate = MakeCa(pki.caKey.get(), caName);
    return pki.caCertificate != nullptr;
}

std::string CertificatePem(X509* certificate)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_X509(bio.get(), certificate) != 1)
        return std::string();
    return BioText(bio.get());
}

std::string PrivateKeyPem(EVP_PKEY* key)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio ||
        PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1)
        return std::string();
    return BioText(bio.get());
}

bool WriteTextFile(const std::string& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    return !file.fail();
}

} // namespace OnlineServicesSim
