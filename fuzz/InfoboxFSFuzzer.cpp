#include "fuzz/FuzzCheck.h"
#include "infobox/InfoboxFS.h"

#include <cstddef>
#include <cstdint>

namespace
{

constexpr size_t EntryHeaderSize = 4;

void CheckParse(const ByteVector& value, uint32_t offset)
{
    LibInfobox::InfoboxFS fs;
    const bool regular = fs.Parse(value, offset);

    // Entries are disjoint slices of the value after the offset.
    size_t consumed = 0;
    for (const auto& entry : fs.entries)
    {
        FUZZ_CHECK(entry && entry->tag != 0 && entry->data.size() <= 0xFFFF);
        consumed += EntryHeaderSize + entry->data.size();
    }
    FUZZ_CHECK(offset <= value.size() || fs.entries.empty());
    FUZZ_CHECK(fs.entries.empty() || consumed <= value.size() - offset);
    FUZZ_CHECK(fs.GetTags().size() == fs.entries.size());

    // Parse appends: a second call lists everything twice with the same result.
    const size_t count = fs.entries.size();
    FUZZ_CHECK(fs.Parse(value, offset) == regular);
    FUZZ_CHECK(fs.entries.size() == 2 * count);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ByteVector value(data, data + size);
    // The calling order of the users, then a start anywhere (the container checks no header).
    if (LibInfobox::InfoboxFS::HasValidHeader(value))
        CheckParse(value, LibInfobox::InfoboxFS::EntriesOffset);
    CheckParse(value, size > 0 ? data[0] : 0);
    CheckParse(value, UINT32_MAX - (size > 1 ? data[1] : 0));
    return 0;
}
