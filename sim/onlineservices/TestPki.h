#pragma once

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

namespace OnlineServicesSim
{

struct BioDeleter
{
    void operator()(BIO* bio) const { BIO_free(bio); }
};
struct KeyDeleter
{
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateDeleter
{
    void operator()(X509* certificate) const { X509_free(certificate); }
};
using BioPtr = std::unique_ptr<BIO, BioDeleter>;
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyDeleter>;
using CertificatePtr = std::unique_ptr<X509, CertificateDeleter>;

// A CA made on the spot and a server certificate it issued for 127.0.0.1 and localhost.
struct TestPki
{
    KeyPtr caKey;
    CertificatePtr caCertificate;
    KeyPtr serverKey;
    CertificatePtr serverCertificate;
};

// The address also as a DNS name: Wine's WinINet matches a host, an address too, against the
// certificate's DNS names alone.
constexpr const char* kLoopbackNames = "DNS:localhost,IP:127.0.0.1,DNS:127.0.0.1";

// caName becomes the CA's common name, so two test CAs can be told apart; serverNames is the
// server certificate's subjectAltName.
bool MakeTestPki(const std::string& caName, TestPki& pki,
                 const std::string& serverNames = kLoopbackNames);

// A CA alone, with an RSA key, so what it issues is signed sha256WithRSAEncryption as a card
// issuer's certificates are.
bool MakeRsaCa(const std::string& caName, TestPki& pki);

std::string CertificatePem(X509* certificate);
std::string PrivateKeyPem(EVP_PKEY* key);
bool WriteTextFile(const std::string& path, const std::string& text);

} // namespace OnlineServicesSim
