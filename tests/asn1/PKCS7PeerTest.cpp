// Signed data from the encoder checked by the openssl command line tool.
#include "asn1/PKCS7.h"

#include "tests/asn1/SignedRequest.h"
#include "tests/slcertificate/TestCertificates.h"

#include <openssl/x509.h>

#include <gtest/gtest.h>

using namespace testsupport;

namespace
{

class SignedDataPeerTest : public testing::TestWithParam<SignerCertificateCase>
{
protected:
    void SetUp() override
    {
        CertificateSpec profile = GetParam().profile;
        profile.issuerCommonName = "Quendry Peer CA";
        holder = slcertificate(MakeCertificate(profile));
        const std::string text = "<SearchRequest>Gr\xFC\xDF Gott, \xC4rzte</SearchRequest>\r\n";
        data.assign(text.begin(), text.end());
    }

    // Exit status of openssl cms -verify over the given signed data; the content it wrote is
    // returned through content.
    int CmsVerify(const ByteVector& signedData, ByteVector& content) const
    {
        WriteFile(folder.File("request.p7"), signedData);
        const auto result =
            RunCommand("openssl cms -verify -noverify -binary -inform DER -in " +
                       folder.File("request.p7") + " -out " + folder.File("content") + " 2>&1");
        content = ReadFile(folder.File("content"));
        return result.first;
    }

    slcertificate holder;
    ByteVector data;
    ScopedTempFolder folder;
};

TEST_P(SignedDataPeerTest, OpensslCmsVerifiesAndRejectsAFlippedByte)
{
    const ByteVector der = SignedRequest(holder, Key(KeyKind::Rsa), data);
    ByteVector content;
    ASSERT_EQ(CmsVerify(der, content), 0);
    EXPECT_EQ(content, data);

    for (const size_t offset : {der.size() - 1, der.size() - 200})
    {
        ByteVector flipped = der;
        flipped[offset] ^= 0x04;
        EXPECT_NE(CmsVerify(flipped, content), 0) << offset;
    }
    const auto dataAt = std::search(der.begin(), der.end(), data.begin(), data.end());
    ASSERT_NE(dataAt, der.end());
    ByteVector flipped = der;
    flipped[static_cast<size_t>(dataAt - der.begin())] ^= 0x01;
    EXPECT_NE(CmsVerify(flipped, content), 0);
}

TEST_P(SignedDataPeerTest, OpensslPrintsTheSignerAndItsIssuer)
{
    WriteFile(folder.File("request.p7"), SignedRequest(holder, Key(KeyKind::Rsa), data));
    WriteFile(folder.File("cert.der"), CertificateDER(holder.GetHandle()));
    const auto printed =
        RunCommand("openssl cms -cmsout -print -inform DER -in " + folder.File("request.p7"));
    ASSERT_EQ(printed.first, 0) << printed.second;
    const auto issuer = RunCommand("openssl x509 -inform DER -noout -issuer -nameopt RFC2253 -in " +
                                   folder.File("cert.der"));
    ASSERT_EQ(issuer.first, 0);
    EXPECT_EQ(OutputValue(issuer.second, "issuer"), "C=AT,CN=Quendry Peer CA");

    // The issuer Name the encoder wrote, printed by libcrypto, is the certificate's issuer.
    Corvane::DistinguishedName name;
    name.SetFromIssuer(Corvane::Certificate(holder));
    const ByteVector nameDER = name.GetASN1Object().Encode();
    const unsigned char* cursor = nameDER.data();
    const std::unique_ptr<X509_NAME, OpenSSLFree<X509_NAME_free>> decoded(
        d2i_X509_NAME(nullptr, &cursor, static_cast<long>(nameDER.size())));
    ASSERT_NE(decoded, nullptr);
    BIOPtr out(BIO_new(BIO_s_mem()));
    X509_NAME_print_ex(out.get(), decoded.get(), 0, XN_FLAG_RFC2253);
    char* text = nullptr;
    const long length = BIO_get_mem_data(out.get(), &text);
    EXPECT_EQ(std::string(text, static_cast<size_t>(length)), OutputValue(issuer.second, "issuer"));

    EXPECT_NE(printed.second.find("Quendry Peer CA"), std::string::npos) << printed.second;
    EXPECT_NE(printed.second.find("signedData"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Signers, SignedDataPeerTest, testing::ValuesIn(SignerCertificateCases()),
                         CaseName());

} // namespace
