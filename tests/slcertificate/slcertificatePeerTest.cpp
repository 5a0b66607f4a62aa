// The certificate view against what the openssl command line tool reads from the same file.
#include "slcertificate/slcertificate.h"

#include "tests/slcertificate/TestCertificates.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace testsupport;

namespace
{

// "0x0A1B", "0A1B" and "-01" as sign and digits without leading zeros.
std::string NormalisedHex(std::string text)
{
    if (text.rfind("0x", 0) == 0)
        text.erase(0, 2);
    const bool negative = !text.empty() && text[0] == '-';
    if (negative)
        text.erase(0, 1);
    text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
    return (negative ? "-" : "") + text;
}

std::string CommonNameOf(const std::string& rfc2253Name)
{
    const size_t start = rfc2253Name.find("CN=");
    if (start == std::string::npos)
        return {};
    const size_t end = rfc2253Name.find(',', start);
    return rfc2253Name.substr(start + 3, end == std::string::npos ? end : end - start - 3);
}

std::string ColonHex(const ByteVector& bytes)
{
    std::string text;
    char digits[4];
    for (const unsigned char byte : bytes)
    {
        snprintf(digits, sizeof(digits), "%02X", byte);
        text += (text.empty() ? "" : ":") + std::string(digits);
    }
    return text;
}

struct PeerCase
{
    const char* name;
    CertificateSpec profile;
};

// Prints the case by its name, so that a listing of the tests is the same in every build.
void PrintTo(const PeerCase& c, std::ostream* os)
{
    *os << c.name;
}

class CertificateViewPeerTest : public testing::TestWithParam<PeerCase>
{
};

TEST_P(CertificateViewPeerTest, QueriesAgreeWithOpensslX509)
{
    CertificateSpec profile = GetParam().profile;
    profile.subjectCommonNames = {"Erika Musterfrau"};
    profile.issuerCommonName = "Quendry Test CA 3";
    const slcertificate holder(MakeCertificate(profile));

    ScopedTempFolder folder;
    WriteFile(folder.File("cert.der"), CertificateDER(holder.GetHandle()));
    const auto [status, output] =
        RunCommand("openssl x509 -inform DER -in " + folder.File("cert.der") +
                   " -noout -serial -subject -issuer -nameopt RFC2253 -ext subjectKeyIdentifier");
    ASSERT_EQ(status, 0) << output;

    EXPECT_EQ(NormalisedHex(holder.GetSerialHex()), NormalisedHex(OutputValue(output, "serial")));
    EXPECT_EQ(holder.GetCommonName(), CommonNameOf(OutputValue(output, "subject")));
    EXPECT_EQ(CommonNameOf(OutputValue(output, "issuer")), "Quendry Test CA 3");

    // The subject key identifier that openssl made and prints is the SHA-1 of the key bits.
    const std::string keyId = ColonHex(holder.GetPublicKeyHash());
    EXPECT_NE(output.find("    " + keyId + "\n"), std::string::npos) << output;
}

TEST_P(CertificateViewPeerTest, PublicKeyHashAgreesWithKeyBitsFromOpensslPkey)
{
    const slcertificate holder(MakeCertificate(GetParam().profile));
    ScopedTempFolder folder;
    WriteFile(folder.File("cert.der"), CertificateDER(holder.GetHandle()));

    // SubjectPublicKeyInfo DER: the BIT STRING is its last element; its content after the
    // unused-bits octet is what is hashed.
    const auto [status, output] =
        RunCommand("openssl x509 -inform DER -in " + folder.File("cert.der") +
                   " -noout -pubkey | " + "openssl pkey -pubin -outform DER -out " +
                   folder.File("spki.der") + " && " + "openssl asn1parse -inform DER -in " +
                   folder.File("spki.der"));
    ASSERT_EQ(status, 0) << output;
    const ByteVector spki = ReadFile(folder.File("spki.der"));
    // asn1parse's last line, "  offset:d=1 ...", is the BIT STRING
    const size_t lastLine = output.find_last_of('\n', output.find_last_not_of("\r\n"));
    const size_t offset = std::stoul(output.substr(lastLine == std::string::npos ? 0 : lastLine + 1));
    // header of the BIT STRING at offset: tag, length octets, then the unused-bits octet
    const size_t lengthOctets = (spki.at(offset + 1) & 0x80) ? (spki[offset + 1] & 0x7F) : 0;
    const size_t keyStart = offset + 2 + lengthOctets + 1;
    const ByteVector keyBits(spki.begin() + static_cast<std::ptrdiff_t>(keyStart), spki.end());
    EXPECT_EQ(holder.GetPublicKeyHash(), Digest(EVP_sha1(), keyBits));
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, CertificateViewPeerTest,
    testing::Values(PeerCase{"serial_80_sha1", Profile({0x80}, false, EVP_sha1())},
                    PeerCase{"serial_zero_sha256", Profile({0x00})},
                    PeerCase{"negative_sha256", Profile({0x01, 0x23}, true)},
                    PeerCase{"sixteen_bytes_sha256",
                             Profile({0xC1, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A,
                                      0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10})},
                    PeerCase{"ec_key", Profile({0x0A, 0x1B}, false, EVP_sha256(), KeyKind::Ec)}),
    CaseName());

} // namespace
