// The PKCS#7 signed-data build over a precomputed signature against the crypto library's own
// structure build, on the same content and certificate.
#include "bench/Benchmarks.h"

#include "asn1/PKCS7.h"
#include "sim/cardmodule/cardset/CardSet.h"
#include "sim/cardmodule/testsupport/SimEnvironment.h"

#include <openssl/pkcs7.h>
#include <openssl/x509.h>

namespace QuendryBench
{
namespace
{
using PKCS7Ptr = std::unique_ptr<PKCS7, OpenSSLFree<PKCS7_free>>;
using EVPPKEYPtr = std::unique_ptr<EVP_PKEY, OpenSSLFree<EVP_PKEY_free>>;

// The encryption certificate and key of the generated RSA card, the content and its signature.
struct SigningInput
{
    slcertificate certificate;
    EVPPKEYPtr key;
    ByteVector content;
    ByteVector signature;
};

bool LoadSigningInput(SigningInput& input)
{
    QuendrySim::CardSet set;
    if (!QuendrySim::LoadCardSet(QuendrySim::SimEnvironment::TemplatePath(), set))
        return false;
    // The second reader holds the RSA card whose certificate is signed with SHA-256.
    if (set.slots.size() < 2 || !set.slots[1].card)
        return false;
    QuendrySim::Card& card = *set.slots[1].card;
    const QuendrySim::CardObject* certificate = card.FindObject("C.CH.EKEY");
    const QuendrySim::CardObject* key = card.FindObject("SK.CH.EKEY");
    if (!certificate || !key || !DecodeCertificate(certificate->value, input.certificate))
        return false;
    const unsigned char* cursor = key->key.data();
    input.key.reset(d2i_AutoPrivateKey(nullptr, &cursor, static_cast<long>(key->key.size())));
    if (!input.key)
        return false;
    const std::string text(400, 'Q');
    input.content.assign(text.begin(), text.end());
    std::unique_ptr<EVP_MD_CTX, OpenSSLFree<EVP_MD_CTX_free>> context(EVP_MD_CTX_new());
    size_t length = 0;
    if (EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, input.key.get()) != 1 ||
        EVP_DigestSign(context.get(), nullptr, &length, input.content.data(),
                       input.content.size()) != 1)
        return false;
    input.signature.resize(length);
    if (EVP_DigestSign(context.get(), input.signature.data(), &length, input.content.data(),
                       input.content.size()) != 1)
        return false;
    input.signature.resize(length);
    return true;
}

ByteVector BuildWithEncoder(const SigningInput& input)
{
    Corvane::PKCS7encoder encoder(input.content);
    Corvane::Certificate certificate(input.certificate);
    Corvane::ASN1OctetString signature;
    signature.SetContent(input.signature);
    Corvane::SignerInfo signer(certificate, signature);
    encoder.AddSigner(signer);
    encoder.AddCertificate(certificate);
    return encoder.GetASN1Object().Encode();
}

// PKCS7_sign without its final step, which would digest and sign; the content and the signature
// value are then set as the encoder gets them.
ByteVector BuildWithOpenSsl(const SigningInput& input)
{
    X509* certificate = const_cast<X509*>(input.certificate.GetHandle());
    PKCS7Ptr p7(PKCS7_sign(certificate, input.key.get(), nullptr, nullptr,
                           PKCS7_NOATTR | PKCS7_BINARY | PKCS7_PARTIAL));
    if (!p7 || PKCS7_content_new(p7.get(), NID_pkcs7_data) != 1)
        return {};
    ASN1_OCTET_STRING* data = p7->d.sign->contents->d.data;
    PKCS7_SIGNER_INFO* signer = sk_PKCS7_SIGNER_INFO_value(PKCS7_get_signer_info(p7.get()), 0);
    if (ASN1_OCTET_STRING_set(data, input.content.data(), static_cast<int>(input.content.size())) !=
            1 ||
        ASN1_OCTET_STRING_set(signer->enc_digest, input.signature.data(),
                              static_cast<int>(input.signature.size())) != 1)
        return {};
    return EncodeDER(p7.get(), i2d_PKCS7);
}

template <ByteVector (*Build)(const SigningInput&)> void RunBuild(benchmark::State& state)
{
    SigningInput input;
    if (!LoadSigningInput(input))
    {
        state.SkipWithError("no signing certificate");
        return;
    }
    for (auto _ : state)
        if (Build(input).empty())
            state.SkipWithError("nothing built");
}
} // namespace

Registered RegisterPkcs7Benchmarks()
{
    return {benchmark::RegisterBenchmark("pkcs7_encoder", RunBuild<BuildWithEncoder>)
                ->Unit(benchmark::kMicrosecond),
            benchmark::RegisterBenchmark("pkcs7_openssl", RunBuild<BuildWithOpenSsl>)
                ->Unit(benchmark::kMicrosecond)};
}

std::vector<Ratio> Pkcs7Ratios()
{
    return {{"PKCS#7 build", "pkcs7_encoder", "pkcs7_openssl", 1.5, CpuTime}};
}
} // namespace QuendryBench
