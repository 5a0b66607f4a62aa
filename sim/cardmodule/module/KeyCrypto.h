#pragma once

// The card's key operations, done with libcrypto on the key material of the card set.

#include "sim/cardmodule/cardset/CardSet.h"
#include "token/Pkcs11Types.h"

namespace QuendrySim
{
struct KeyParts
{
    int bits = 0;
    ByteVector modulus;
    ByteVector exponent;
    ByteVector ecParams; // DER of the curve's object identifier
    ByteVector ecPoint;  // DER OCTET STRING around the uncompressed point
};

struct CertificateParts
{
    ByteVector subject;
    ByteVector issuer;
    ByteVector serial; // DER INTEGER
};

bool DescribeKey(const CardObject& key, KeyParts& out);
bool DescribeCertificate(const ByteVector& der, CertificateParts& out);

// The mechanism that fits the key, or CKR_KEY_TYPE_INCONSISTENT / CKR_MECHANISM_INVALID.
CK_RV CheckMechanism(const CardObject& key, CK_MECHANISM_TYPE mechanism);
// Bytes of a signature of this key: the modulus for RSA, r||s for EC; 0 when unusable.
size_t SignatureLength(const CardObject& key);
// CKM_RSA_PKCS pads the raw data (PKCS#1 v1.5 type 1); CKM_ECDSA signs the raw data and gives r||s.
CK_RV SignRaw(const CardObject& key, const ByteVector& data, ByteVector& signature);
CK_RV VerifyRaw(const CardObject& key, const ByteVector& data, const ByteVector& signature);

// A new key pair (PKCS#8) for the card's "SK.CH." and "PK.CH." keys of the suffix; false, and
// nothing changed, when it is no RSA or EC key or the card lacks either object.
bool InstallKeyPair(Card& card, const std::string& suffix, const ByteVector& pkcs8);
// The SubjectPublicKeyInfo of a certificate; empty when it does not decode.
ByteVector CertificatePublicKey(const ByteVector& der);
} // namespace QuendrySim
