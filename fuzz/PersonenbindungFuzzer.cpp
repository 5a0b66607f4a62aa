#include "fuzz/FuzzCheck.h"
#include "infobox/Personenbindung.h"

#include <cstddef>
#include <cstdint>

namespace
{

size_t StoredBytes(const Personenbindung& r)
{
    return r.issuerTemplate.size() + r.secondHeaderText.size() + r.issueInstant.size() +
           r.personData.size() + r.sequenceData.size() + r.bitString.size() + r.taggedBits0.size() +
           r.taggedBits1.size() + r.taggedBits2.size();
}

size_t PersonTextBytes(const Personenbindung& r)
{
    return r.firstPersonText.size() + r.givenName.size() + r.familyName.size() +
           r.dateOfBirth.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ByteVector input(data, data + size);
    Personenbindung record;
    const bool parsed = record.parse(input);

    // Every field is a copy of distinct input octets, the person texts of octets of personData.
    FUZZ_CHECK(StoredBytes(record) <= size);
    FUZZ_CHECK(PersonTextBytes(record) <= record.personData.size());
    FUZZ_CHECK(record.version >= 0 && record.version <= 0xFFFF);
    if (!parsed)
        FUZZ_CHECK(StoredBytes(record) == 0 && PersonTextBytes(record) == 0 && record.version == 0);

    // A second parse starts from an empty record and gives the same result.
    Personenbindung again;
    again.issuerTemplate = "left over";
    FUZZ_CHECK(again.parse(input) == parsed);
    FUZZ_CHECK(again.issuerTemplate == record.issuerTemplate &&
               again.personData == record.personData && again.taggedBits2 == record.taggedBits2);
    return 0;
}
