#include "asn1/ASN1Object.h"
#include "fuzz/FuzzCheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ByteVector der(data, data + size);
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
    return 0;
}
