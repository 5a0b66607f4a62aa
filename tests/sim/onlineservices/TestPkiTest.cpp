// The test CAs' certificates as Wine's certificate checks must read them: an ECDSA signature with
// a short r or s (one in about 128) fails there as badly signed.

#include "sim/onlineservices/TestPki.h"

#include <openssl/ec.h>

#include <gtest/gtest.h>

namespace
{
// The byte sizes of r and s; zero for both when the signature cannot be read.
std::pair<int, int> SignatureHalves(const X509* certificate)
{
    const ASN1_BIT_STRING* signature = nullptr;
    X509_get0_signature(&signature, nullptr, certificate);
    const unsigned char* der = signature->data;
    ECDSA_SIG* parsed = d2i_ECDSA_SIG(nullptr, &der, signature->length);
    if (!parsed)
        return {0, 0};
    const std::pair<int, int> sizes(BN_num_bytes(ECDSA_SIG_get0_r(parsed)),
                                    BN_num_bytes(ECDSA_SIG_get0_s(parsed)));
    ECDSA_SIG_free(parsed);
    return sizes;
}

TEST(TestPkiTest, EveryEcdsaSignatureHasAFullLengthRAndS)
{
    // 800 signatures: with one short in 128, some would be short without care.
    for (int made = 0; made < 400; ++made)
    {
        OnlineServicesSim::TestPki pki;
        ASSERT_TRUE(OnlineServicesSim::MakeTestPki("Quendry test CA", pki));
        for (const X509* certificate : {pki.caCertificate.get(), pki.serverCertificate.get()})
            ASSERT_EQ(SignatureHalves(certificate), std::make_pair(32, 32)) << "PKI " << made;
    }
}
} // namespace
