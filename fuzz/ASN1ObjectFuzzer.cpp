#include "asn1/ASN1Object.h"
#include "asn1/PKCS7.h"
#include "fuzz/FuzzCheck.h"

#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace
{

// Header size of a definite DER length with the shortest length form that fits 32 bits, and
// whose value covers exactly the rest of the input; 0 for anything else.
size_t MinimalHeaderSize(const ByteVector& der)
{
    if (der.size() < 2)
        return 0;
    size_t header = 2;
    size_t length = der[1];
    if (der[1] & 0x80)
    {
        const size_t count = der[1] & 0x7F;
        if (count == 0 || count > 4 || der.size() < 2 + count || der[2] == 0)
            return 0;
        length = 0;
        for (size_t i = 0; i < count; ++i)
            length = (length << 8) | der[2 + i];
        if (length < 128)
            return 0;
        header += count;
    }
    return header + length == der.size() ? header : 0;
}

bool IsEmptyNull(const Corvane::ASN1Object& element)
{
    return element.GetIdentifier() == 0x05 && element.GetTagClass() == 0 &&
           element.GetConstructed() == 0 && element.GetTagNumber() == 5 &&
           element.GetContent().empty();
}

void CheckDecodedFields(const ByteVector& der, const Corvane::ASN1Object& element)
{
    const ByteVector& content = element.GetContent();
    FUZZ_CHECK(content.size() <= der.size());
    const bool headerComplete =
        der.size() >= 2 && (!(der[1] & 0x80) || der.size() >= 2u + (der[1] & 0x7F));
    if (!headerComplete)
    {
        FUZZ_CHECK(IsEmptyNull(element));
        return;
    }
    FUZZ_CHECK(element.GetIdentifier() == der[0]);
    FUZZ_CHECK(element.GetTagClass() == static_cast<uint32_t>(der[0] >> 6));
    FUZZ_CHECK(element.GetConstructed() == static_cast<uint32_t>((der[0] >> 5) & 1));
    FUZZ_CHECK(element.GetTagNumber() == (der[0] & 0x1F));
    // The content is everything after the header.
    FUZZ_CHECK(std::equal(content.begin(), content.end(), der.end() - content.size()));
}

// The arcs of an object identifier's content, which must be minimal base-128 groups.
std::vector<uint32_t> DecodeArcs(const ByteVector& content)
{
    FUZZ_CHECK(!content.empty() && content[0] < 120 && (content.back() & 0x80) == 0);
    std::vector<uint32_t> arcs = {content[0] / 40u, content[0] % 40u};
    uint64_t value = 0;
    bool groupStart = true;
    for (size_t i = 1; i < content.size(); ++i)
    {
        FUZZ_CHECK(!groupStart || content[i] != 0x80);
        value = (value << 7) | (content[i] & 0x7F);
        groupStart = (content[i] & 0x80) == 0;
        if (groupStart)
        {
            FUZZ_CHECK(value <= UINT32_MAX);
            arcs.push_back(static_cast<uint32_t>(value));
            value = 0;
        }
    }
    return arcs;
}

bool ValidArcs(const std::vector<uint32_t>& arcs)
{
    return arcs.size() >= 2 && arcs[0] <= 2 && arcs[1] <= 39;
}

void CheckOIDText(std::string_view text)
{
    Corvane::ASN1ObjectIdentifier fromText;
    fromText.SetOID(text);
    const std::vector<uint32_t> arcs = ParseOIDText(text);
    FUZZ_CHECK(arcs.empty() || ValidArcs(arcs));
    FUZZ_CHECK(arcs.empty() == fromText.GetContent().empty());
    FUZZ_CHECK(arcs.empty() || text.find_first_not_of("0123456789.") == std::string_view::npos);
    if (!arcs.empty())
        FUZZ_CHECK(DecodeArcs(fromText.GetContent()) == arcs);
}

// Arcs of four input octets each, as far as the input goes.
void CheckOIDArcs(const ByteVector& bytes)
{
    std::vector<uint32_t> arcs;
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4)
        arcs.push_back(static_cast<uint32_t>(bytes[i]) << 24 | bytes[i + 1] << 16 |
                       bytes[i + 2] << 8 | bytes[i + 3]);
    Corvane::ASN1ObjectIdentifier oid;
    oid.SetOIDArcs(arcs);
    FUZZ_CHECK(oid.GetContent().empty() != ValidArcs(arcs));
    if (ValidArcs(arcs))
        FUZZ_CHECK(DecodeArcs(oid.GetContent()) == arcs);
}

// The shortest two's-complement octets of a non-negative value.
void CheckInteger(const ByteVector& bytes)
{
    uint32_t value = 0;
    for (size_t i = 0; i < std::min<size_t>(bytes.size(), 4); ++i)
        value = value << 8 | bytes[i];
    Corvane::ASN1Integer integer;
    integer.SetInteger(value);
    const ByteVector& content = integer.GetContent();
    FUZZ_CHECK(!content.empty() && content.size() <= 5 && (content[0] & 0x80) == 0);
    FUZZ_CHECK(content.size() == 1 || content[0] != 0 || (content[1] & 0x80) != 0);
    uint64_t decoded = 0;
    for (uint8_t octet : content)
        decoded = decoded << 8 | octet;
    FUZZ_CHECK(decoded == value);
}

using PKCS7Ptr = std::unique_ptr<PKCS7, OpenSSLFree<PKCS7_free>>;

// What libcrypto reads back of the encoder's output: signed data around the content.
PKCS7_SIGNED* ReadSignedData(const ByteVector& der, const ByteVector& content, PKCS7Ptr& holder)
{
    const unsigned char* cursor = der.data();
    holder.reset(d2i_PKCS7(nullptr, &cursor, static_cast<long>(der.size())));
    FUZZ_CHECK(holder && cursor == der.data() + der.size() && PKCS7_type_is_signed(holder.get()));
    PKCS7_SIGNED* signedData = holder->d.sign;
    FUZZ_CHECK(PKCS7_type_is_data(signedData->contents));
    const ASN1_OCTET_STRING* data = signedData->contents->d.data;
    FUZZ_CHECK(data && ByteVector(data->data, data->data + data->length) == content);
    return signedData;
}

// The register request's signing: the content signed with the certificate, which goes along.
void CheckSignedRequest(X509Ptr x509, const ByteVector& content, const ByteVector& signature)
{
    const ByteVector certificateDer = EncodeDER(x509.get(), i2d_X509);
    const Corvane::Certificate certificate{slcertificate(std::move(x509))};
    Corvane::ASN1OctetString signatureValue;
    signatureValue.SetContent(signature);
    Corvane::PKCS7encoder encoder(content);
    const Corvane::SignerInfo signer(certificate, signatureValue);
    FUZZ_CHECK(encoder.AddSigner(signer) == signer.IsValid());
    FUZZ_CHECK(encoder.AddCertificate(certificate) == certificate.HasCertificate());
    if (!signer.IsValid() || certificateDer.empty())
        return;
    PKCS7Ptr holder;
    PKCS7_SIGNED* signedData = ReadSignedData(encoder.GetASN1Object().Encode(), content, holder);
    FUZZ_CHECK(sk_X509_num(signedData->cert) == 1 &&
               EncodeDER(sk_X509_value(signedData->cert, 0), i2d_X509) == certificateDer);
    FUZZ_CHECK(sk_PKCS7_SIGNER_INFO_num(signedData->signer_info) == 1);
    const PKCS7_SIGNER_INFO* info = sk_PKCS7_SIGNER_INFO_value(signedData->signer_info, 0);
    FUZZ_CHECK(ByteVector(info->enc_digest->data,
                          info->enc_digest->data + info->enc_digest->length) == signature);
    FUZZ_CHECK(ASN1_INTEGER_cmp(info->issuer_and_serial->serial,
                                X509_get0_serialNumber(sk_X509_value(signedData->cert, 0))) == 0);
}

// The input read as a certificate followed by the content to sign; without a certificate the
// whole input is the content of an encoder without signer.
void CheckPKCS7(const ByteVector& bytes)
{
    const unsigned char* cursor = bytes.data();
    X509Ptr x509(d2i_X509(nullptr, &cursor, static_cast<long>(bytes.size())));
    if (x509)
    {
        const ByteVector rest(cursor, bytes.data() + bytes.size());
        CheckSignedRequest(std::move(x509), rest, ByteVector(rest.rbegin(), rest.rend()));
        return;
    }
    Corvane::PKCS7encoder encoder(bytes);
    FUZZ_CHECK(!encoder.AddCertificate(Corvane::Certificate(slcertificate())));
    PKCS7Ptr holder;
    ReadSignedData(encoder.GetASN1Object().Encode(), bytes, holder);
}

void CheckDecoding(const ByteVector& der)
{
    const Corvane::ASN1Object element(der);
    CheckDecodedFields(der, element);

    // One complete DER element re-encodes to the same bytes.
    if (MinimalHeaderSize(der) != 0)
        FUZZ_CHECK(element.Encode() == der);

    // Embedded into a parent and decoded again, the element's encoding comes back whole.
    Corvane::ASN1Sequence parent;
    parent.AddChild(element);
    const Corvane::ASN1Object reparsed(parent.Encode());
    FUZZ_CHECK(reparsed.GetContent() == element.Encode());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ByteVector bytes(data, data + size);
    CheckDecoding(bytes);
    CheckOIDText(std::string_view(reinterpret_cast<const char*>(data), size));
    CheckOIDArcs(bytes);
    CheckInteger(bytes);
    CheckPKCS7(bytes);
    return 0;
}
