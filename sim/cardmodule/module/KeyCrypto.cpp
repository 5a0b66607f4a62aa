#include "sim/cardmodule/module/KeyCrypto.h"

#include "sim/cardmodule/cardset/OpenSsl.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <memory>

namespace QuendrySim
{
namespace
{
OpenSslPtr<EVP_PKEY> LoadKey(const CardObject& key)
{
    const unsigned char* p = key.key.data();
    const long length = static_cast<long>(key.key.size());
    if (key.key.empty())
        return nullptr;
    if (key.objectClass == ObjectClass::PrivateKey)
        return OpenSslPtr<EVP_PKEY>(d2i_AutoPrivateKey(nullptr, &p, length));
    return OpenSslPtr<EVP_PKEY>(d2i_PUBKEY(nullptr, &p, length));
}

ByteVector BigNumberParam(const EVP_PKEY* key, const char* name)
{
    BIGNUM* raw = nullptr;
    if (!EVP_PKEY_get_bn_param(key, name, &raw))
        return {};
    OpenSslPtr<BIGNUM> number(raw);
    ByteVector bytes(static_cast<size_t>(BN_num_bytes(number.get())));
    BN_bn2bin(number.get(), bytes.data());
    return bytes;
}

bool DescribeEcKey(const EVP_PKEY* key, KeyParts& out)
{
    char group[80] = {};
    if (!EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group,
                                        nullptr))
        return false;
    const ASN1_OBJECT* curve = OBJ_nid2obj(OBJ_txt2nid(group));
    if (!curve)
        return false;
    out.ecParams = Encoded([&](unsigned char** p) { return i2d_ASN1_OBJECT(curve, p); });
    size_t pointLength = 0;
    EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_PUB_KEY, nullptr, 0, &pointLength);
    ByteVector point(pointLength);
    if (pointLength == 0 || pointLength > 127 ||
        !EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_PUB_KEY, point.data(), pointLength,
                                         &pointLength))
        return false;
    out.ecPoint = {0x04, static_cast<unsigned char>(pointLength)};
    out.ecPoint.insert(out.ecPoint.end(), point.begin(), point.end());
    return !out.ecParams.empty();
}

size_t EcFieldBytes(const EVP_PKEY* key)
{
    return (EVP_PKEY_get_bits(key) + 7) / 8;
}

OpenSslPtr<EVP_PKEY_CTX> ContextFor(EVP_PKEY* key, int (*init)(EVP_PKEY_CTX*))
{
    OpenSslPtr<EVP_PKEY_CTX> context(EVP_PKEY_CTX_new(key, nullptr));
    if (!context || init(context.get()) <= 0)
        return nullptr;
    if (EVP_PKEY_get_base_id(key) == EVP_PKEY_RSA &&
        EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) <= 0)
        return nullptr;
    return context;
}

ByteVector DerToRawEcdsa(const ByteVector& der, size_t fieldBytes)
{
    const unsigned char* p = der.data();
    OpenSslPtr<ECDSA_SIG> signature(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(der.size())));
    if (!signature)
        return {};
    ByteVector raw(fieldBytes * 2);
    BN_bn2binpad(ECDSA_SIG_get0_r(signature.get()), raw.data(), static_cast<int>(fieldBytes));
    BN_bn2binpad(ECDSA_SIG_get0_s(signature.get()), raw.data() + fieldBytes,
                 static_cast<int>(fieldBytes));
    return raw;
}

ByteVector RawToDerEcdsa(const ByteVector& raw)
{
    const int half = static_cast<int>(raw.size() / 2);
    OpenSslPtr<ECDSA_SIG> signature(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(raw.data(), half, nullptr);
    BIGNUM* s = BN_bin2bn(raw.data() + half, half, nullptr);
    if (!signature || !r || !s || !ECDSA_SIG_set0(signature.get(), r, s))
    {
        BN_free(r);
        BN_free(s);
        return {};
    }
    return Encoded([&](unsigned char** p) { return i2d_ECDSA_SIG(signature.get(), p); });
}
} // namespace

bool DescribeKey(const CardObject& object, KeyParts& out)
{
    OpenSslPtr<EVP_PKEY> key = LoadKey(object);
    if (!key)
        return false;
    out = KeyParts{};
    out.bits = EVP_PKEY_get_bits(key.get());
    if (EVP_PKEY_get_base_id(key.get()) == EVP_PKEY_RSA)
    {
        out.modulus = BigNumberParam(key.get(), OSSL_PKEY_PARAM_RSA_N);
        out.exponent = BigNumberParam(key.get(), OSSL_PKEY_PARAM_RSA_E);
        return !out.modulus.empty();
    }
    return EVP_PKEY_get_base_id(key.get()) == EVP_PKEY_EC && DescribeEcKey(key.get(), out);
}

bool DescribeCertificate(const ByteVector& der, CertificateParts& out)
{
    OpenSslPtr<X509> certificate = DecodeCertificate(der);
    if (!certificate)
        return false;
    X509* cert = certificate.get();
    out.subject =
        Encoded([&](unsigned char** q) { return i2d_X509_NAME(X509_get_subject_name(cert), q); });
    out.issuer =
        Encoded([&](unsigned char** q) { return i2d_X509_NAME(X509_get_issuer_name(cert), q); });
    out.serial = Encoded([&](unsigned char** q)
                         { return i2d_ASN1_INTEGER(X509_get_serialNumber(cert), q); });
    return true;
}

CK_RV CheckMechanism(const CardObject& key, CK_MECHANISM_TYPE mechanism)
{
    if (mechanism != CKM_RSA_PKCS && mechanism != CKM_ECDSA)
        return CKR_MECHANISM_INVALID;
    const KeyType wanted = mechanism == CKM_RSA_PKCS ? KeyType::Rsa : KeyType::Ec;
    return key.keyType == wanted && !key.key.empty() ? CKR_OK : CKR_KEY_TYPE_INCONSISTENT;
}

size_t SignatureLength(const CardObject& object)
{
    OpenSslPtr<EVP_PKEY> key = LoadKey(object);
    if (!key)
        return 0;
    if (EVP_PKEY_get_base_id(key.get()) == EVP_PKEY_RSA)
        return static_cast<size_t>(EVP_PKEY_get_size(key.get()));
    return 2 * EcFieldBytes(key.get());
}

CK_RV SignRaw(const CardObject& object, const ByteVector& data, ByteVector& signature)
{
    OpenSslPtr<EVP_PKEY> key = LoadKey(object);
    if (!key)
        return CKR_KEY_TYPE_INCONSISTENT;
    const bool rsa = EVP_PKEY_get_base_id(key.get()) == EVP_PKEY_RSA;
    if (rsa && data.size() + 11 > static_cast<size_t>(EVP_PKEY_get_size(key.get())))
        return CKR_DATA_LEN_RANGE;
    if (data.empty())
        return CKR_DATA_LEN_RANGE;
    OpenSslPtr<EVP_PKEY_CTX> context = ContextFor(key.get(), EVP_PKEY_sign_init);
    size_t length = 0;
    if (!context || EVP_PKEY_sign(context.get(), nullptr, &length, data.data(), data.size()) <= 0)
        return CKR_FUNCTION_FAILED;
    ByteVector output(length);
    if (EVP_PKEY_sign(context.get(), output.data(), &length, data.data(), data.size()) <= 0)
        return CKR_FUNCTION_FAILED;
    output.resize(length);
    signature = rsa ? output : DerToRawEcdsa(output, EcFieldBytes(key.get()));
    return signature.empty() ? CKR_FUNCTION_FAILED : CKR_OK;
}

CK_RV VerifyRaw(const CardObject& object, const ByteVector& data, const ByteVector& signature)
{
    OpenSslPtr<EVP_PKEY> key = LoadKey(object);
    if (!key)
        return CKR_KEY_TYPE_INCONSISTENT;
    if (signature.size() != SignatureLength(object))
        return CKR_SIGNATURE_LEN_RANGE;
    const bool rsa = EVP_PKEY_get_base_id(key.get()) == EVP_PKEY_RSA;
    const ByteVector encoded = rsa ? signature : RawToDerEcdsa(signature);
    OpenSslPtr<EVP_PKEY_CTX> context = ContextFor(key.get(), EVP_PKEY_verify_init);
    if (!context || encoded.empty())
        return CKR_FUNCTION_FAILED;
    int verified =
        EVP_PKEY_verify(context.get(), encoded.data(), encoded.size(), data.data(), data.size());
    return verified == 1 ? CKR_OK : CKR_SIGNATURE_INVALID;
}

namespace
{
KeyType KeyTypeOf(EVP_PKEY* key)
{
    switch (EVP_PKEY_get_base_id(key))
    {
    case EVP_PKEY_RSA:
        return KeyType::Rsa;
    case EVP_PKEY_EC:
        return KeyType::Ec;
    }
    return KeyType::None;
}
} // namespace

bool InstallKeyPair(Card& card, const std::string& suffix, const ByteVector& pkcs8)
{
    const unsigned char* p = pkcs8.data();
    OpenSslPtr<EVP_PKEY> key(d2i_AutoPrivateKey(nullptr, &p, static_cast<long>(pkcs8.size())));
    CardObject* privateKey = card.FindObject("SK.CH." + suffix);
    CardObject* publicKey = card.FindObject("PK.CH." + suffix);
    if (!key || KeyTypeOf(key.get()) == KeyType::None || !privateKey || !publicKey)
        return false;
    privateKey->key = pkcs8;
    privateKey->keyType = publicKey->keyType = KeyTypeOf(key.get());
    publicKey->key = Encoded([&](unsigned char** out) { return i2d_PUBKEY(key.get(), out); });
    return true;
}

ByteVector CertificatePublicKey(const ByteVector& der)
{
    OpenSslPtr<X509> certificate = DecodeCertificate(der);
    if (!certificate)
        return {};
    return Encoded([&](unsigned char** out)
                   { return i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate.get()), out); });
}
} // namespace QuendrySim
