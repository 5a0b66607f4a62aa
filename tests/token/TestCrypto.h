#pragma once

#include "core/Bytes.h"

#include <string>

// Independent checks of what a card made, with libcrypto alone.
namespace tokentest
{
// DER DigestInfo of SHA-256 over data: what an RSA card key signs with CKM_RSA_PKCS.
ByteVector Sha256DigestInfo(const ByteVector& data);
ByteVector Sha256(const ByteVector& data);
// RSA PKCS#1 v1.5 (block type 1) over raw input, with the certificate's public key.
bool VerifyRsaPkcs1(const ByteVector& certificateDer, const ByteVector& input,
                    const ByteVector& signature);
// ECDSA over a digest; the signature is r||s as PKCS#11 gives it.
bool VerifyEcdsa(const ByteVector& certificateDer, const ByteVector& digest,
                 const ByteVector& signature);
// Verifies with whichever of the two the certificate's key calls for.
bool VerifyCardSignature(const ByteVector& certificateDer, const ByteVector& input,
                         const ByteVector& signature);
// RSA modulus size in bits of the certificate's key; 0 for other keys.
int RsaBits(const ByteVector& certificateDer);

// A self-signed certificate for the key pair of a PKCS#8 private key, or for a fresh RSA key.
ByteVector CertificateForKey(const ByteVector& pkcs8PrivateKey);
ByteVector CertificateWithFreshKey();

// An identity-link record of size bytes: tag, the DER length of the rest, then filler bytes.
ByteVector IdentityRecord(size_t size, unsigned char tag = 0x30);

ByteVector ReadFileBytes(const std::string& path);
// Runs a shell command; true when it exits with 0.
bool Run(const std::string& command);
} // namespace tokentest
