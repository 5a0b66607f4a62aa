#include "tests/slcertificate/TestCertificates.h"

#include "asn1/ASN1Object.h"

#include <openssl/rsa.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/wait.h>

namespace testsupport
{
namespace
{

using ASN1IntegerPtr = std::unique_ptr<ASN1_INTEGER, OpenSSLFree<ASN1_INTEGER_free>>;
using X509ExtensionPtr = std::unique_ptr<X509_EXTENSION, OpenSSLFree<X509_EXTENSION_free>>;
using PKEYContextPtr = std::unique_ptr<EVP_PKEY_CTX, OpenSSLFree<EVP_PKEY_CTX_free>>;

void Require(bool condition, const char* what)
{
    if (!condition)
        throw std::runtime_error(what);
}

EVPPKEYPtr Generate(const char* type, const char* parameter)
{
    EVPPKEYPtr key(parameter == nullptr ? EVP_PKEY_Q_keygen(nullptr, nullptr, type, size_t{2048})
                                        : EVP_PKEY_Q_keygen(nullptr, nullptr, type, parameter));
    Require(key != nullptr, "key generation failed");
    return key;
}

void SetSerial(X509* certificate, const CertificateSpec& profile)
{
    BIGNUMPtr number(
        BN_bin2bn(profile.serial.data(), static_cast<int>(profile.serial.size()), nullptr));
    Require(number != nullptr, "serial");
    BN_set_negative(number.get(), profile.negativeSerial ? 1 : 0);
    ASN1IntegerPtr serial(BN_to_ASN1_INTEGER(number.get(), nullptr));
    Require(serial && X509_set_serialNumber(certificate, serial.get()) == 1, "serial");
}

void AddCommonName(X509_NAME* name, const std::string& commonName)
{
    // a plain string type skips libcrypto's length limit, so over-long names can be made
    Require(X509_NAME_add_entry_by_NID(name, NID_commonName, V_ASN1_UTF8STRING,
                                       reinterpret_cast<const unsigned char*>(commonName.c_str()),
                                       -1, -1, 0) == 1,
            "name");
}

void AddSubjectKeyIdentifier(X509* certificate)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    X509ExtensionPtr extension(
        X509V3_EXT_conf_nid(nullptr, &context, NID_subject_key_identifier, "hash"));
    Require(extension && X509_add_ext(certificate, extension.get(), -1) == 1, "extension");
}

} // namespace

EVP_PKEY* Key(KeyKind kind)
{
    static EVPPKEYPtr rsa = Generate("RSA", nullptr);
    static EVPPKEYPtr otherRsa = Generate("RSA", nullptr);
    static EVPPKEYPtr ec = Generate("EC", "P-256");
    switch (kind)
    {
    case KeyKind::OtherRsa:
        return otherRsa.get();
    case KeyKind::Ec:
        return ec.get();
    default:
        return rsa.get();
    }
}

CertificateSpec Profile(ByteVector serial, bool negativeSerial, const EVP_MD* digest, KeyKind key)
{
    CertificateSpec profile;
    profile.serial = std::move(serial);
    profile.negativeSerial = negativeSerial;
    profile.digest = digest;
    profile.key = key;
    return profile;
}

X509Ptr MakeCertificate(const CertificateSpec& profile)
{
    EVP_PKEY* key = Key(profile.key);
    X509Ptr certificate(X509_new());
    Require(certificate && X509_set_version(certificate.get(), 2) == 1, "version");
    SetSerial(certificate.get(), profile);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), 0);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 86400L * 365);
    for (const std::string& commonName : profile.subjectCommonNames)
        AddCommonName(X509_get_subject_name(certificate.get()), commonName);
    X509_NAME_add_entry_by_txt(X509_get_subject_name(certificate.get()), "O", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>("Quendry Tests"), -1, -1, 0);
    AddCommonName(X509_get_issuer_name(certificate.get()), profile.issuerCommonName);
    X509_NAME_add_entry_by_txt(X509_get_issuer_name(certificate.get()), "C", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>("AT"), -1, -1, 0);
    Require(X509_set_pubkey(certificate.get(), key) == 1, "key");
    AddSubjectKeyIdentifier(certificate.get());
    Require(X509_sign(certificate.get(), key, profile.digest) > 0, "sign");
    return certificate;
}

slcertificate Holder(const CertificateSpec& profile)
{
    return slcertificate(MakeCertificate(profile));
}

ByteVector CertificateDER(const X509* certificate)
{
    return EncodeDER(certificate, i2d_X509);
}

ByteVector WithOuterSignatureAlgorithm(X509* certificate, const std::string& oid)
{
    ByteVector tbs(static_cast<size_t>(i2d_re_X509_tbs(certificate, nullptr)));
    unsigned char* cursor = tbs.data();
    Require(i2d_re_X509_tbs(certificate, &cursor) == static_cast<int>(tbs.size()), "tbs");

    // Certificate ::= SEQUENCE { tbsCertificate, signatureAlgorithm, signatureValue }
    const ASN1_BIT_STRING* signature = nullptr;
    X509_get0_signature(&signature, nullptr, certificate);
    Corvane::ASN1Object bits(0, 0, 3);
    // a BIT STRING's content: the count of unused bits (0), then the bits
    ByteVector bitContent(static_cast<size_t>(signature->length) + 1, 0x00);
    std::copy(signature->data, signature->data + signature->length, bitContent.begin() + 1);
    bits.SetContent(bitContent);

    Corvane::ASN1ObjectIdentifier algorithmOID;
    algorithmOID.SetOID(oid);
    Corvane::ASN1Sequence algorithm;
    algorithm.AddChild(algorithmOID);
    algorithm.AddChild(Corvane::ASN1Null());

    Corvane::ASN1Sequence outer;
    outer.AddChild(Corvane::ASN1Object(tbs));
    outer.AddChild(algorithm);
    outer.AddChild(bits);
    return outer.Encode();
}

ByteVector SignRaw(EVP_PKEY* key, const ByteVector& input)
{
    PKEYContextPtr context(EVP_PKEY_CTX_new(key, nullptr));
    Require(context && EVP_PKEY_sign_init(context.get()) == 1 &&
                EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) == 1,
            "sign init");
    size_t length = 0;
    Require(EVP_PKEY_sign(context.get(), nullptr, &length, input.data(), input.size()) == 1,
            "sign size");
    ByteVector signature(length);
    Require(EVP_PKEY_sign(context.get(), signature.data(), &length, input.data(), input.size()) ==
                1,
            "sign");
    signature.resize(length);
    return signature;
}

ByteVector Digest(const EVP_MD* digest, const ByteVector& data)
{
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    Require(EVP_Digest(data.data(), data.size(), value, &length, digest, nullptr) == 1, "digest");
    return ByteVector(value, value + length);
}

void WriteFile(const std::string& path, const ByteVector& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    Require(out.good(), "write file");
}

ByteVector ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return ByteVector(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::pair<int, std::string> RunCommand(const std::string& command)
{
    FILE* pipe = popen(command.c_str(), "r");
    Require(pipe != nullptr, "popen");
    std::string output;
    char buffer[4096];
    size_t count = 0;
    while ((count = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        output.append(buffer, count);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string OutputValue(const std::string& output, const std::string& name)
{
    const std::string key = name + "=";
    size_t start = output.rfind("\n" + key);
    start = start == std::string::npos ? (output.rfind(key, 0) == 0 ? 0 : std::string::npos)
                                       : start + 1;
    if (start == std::string::npos)
        return {};
    start += key.size();
    return output.substr(start, output.find('\n', start) - start);
}

} // namespace testsupport
