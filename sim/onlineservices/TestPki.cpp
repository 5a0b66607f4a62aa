#include "sim/onlineservices/TestPki.h"

#include <openssl/bio.h>
#include <openssl/ec.h>
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

struct SignatureDeleter
{
    void operator()(ECDSA_SIG* signature) const { ECDSA_SIG_free(signature); }
};
using SignaturePtr = std::unique_ptr<ECDSA_SIG, SignatureDeleter>;

constexpr long kValiditySeconds = 7L * 24 * 3600;
// A short r or s comes about once in 128 signatures, so these many in a row never all are.
constexpr int kSigningAttempts = 32;

// Whether the certificate's ECDSA signature has an r and an s of the curve's full size (a
// signature of another kind always passes).
bool FullLengthSignature(const X509* certificate, EVP_PKEY* key)
{
    if (EVP_PKEY_get_base_id(key) != EVP_PKEY_EC)
        return true;
    const ASN1_BIT_STRING* signature = nullptr;
    X509_get0_signature(&signature, nullptr, certificate);
    const unsigned char* der = signature->data;
    const SignaturePtr parsed(d2i_ECDSA_SIG(nullptr, &der, signature->length));
    if (!parsed)
        return false;
    const int size = (EVP_PKEY_get_bits(key) + 7) / 8;
    return BN_num_bytes(ECDSA_SIG_get0_r(parsed.get())) == size &&
           BN_num_bytes(ECDSA_SIG_get0_s(parsed.get())) == size;
}

// Wine's certificate checks lay an ECDSA signature's r and s end to end without padding either
// to the curve's size, so a certificate whose r or s is shorter fails there as badly signed.
// Each signing draws a new random number: signed again until both are full length.
bool Sign(X509* certificate, EVP_PKEY* key)
{
    for (int attempt = 0; attempt < kSigningAttempts; ++attempt)
    {
        if (X509_sign(certificate, key, EVP_sha256()) == 0)
            return false;
        if (FullLengthSignature(certificate, key))
            return true;
    }
    return false;
}

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
        !Sign(ca.get(), key))
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
        !Sign(server.get(), caKey))
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
