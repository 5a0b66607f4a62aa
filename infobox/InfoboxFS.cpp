#include "infobox/InfoboxFS.h"

#include <algorithm>
#include <cstddef>

namespace LibInfobox
{

namespace
{

constexpr unsigned char Magic[] = {0x41, 0x49, 0x4B};
constexpr size_t EntryHeaderSize = 4;

} // namespace

bool InfoboxFS::HasValidHeader(const ByteVector& value)
{
    return value.size() >= EntriesOffset &&
           std::equal(std::begin(Magic), std::end(Magic), value.begin()) && value[3] < 2;
}

bool InfoboxFS::Parse(const ByteVector& value, uint32_t offset)
{
    // size_t positions: an offset near 2^32 must not wrap back into the value.
    size_t start = offset;
    while (start < value.size() && value.size() - start > EntryHeaderSize)
    {
        const uint8_t tag = value[start];
        if (tag == 0)
            return true;
        const size_t length = value[start + 2] | (value[start + 3] << 8);
        const size_t dataStart = start + EntryHeaderSize;
        if (length > value.size() - dataStart)
            return false;
        auto entry = std::make_shared<InfoboxFSEntry>();
        entry->tag = tag;
        entry->flags = value[start + 1];
        entry->data.assign(value.begin() + dataStart, value.begin() + dataStart + length);
        entries.push_back(std::move(entry));
        start = dataStart + length;
    }
    return true;
}

ByteVector InfoboxFS::GetTags() const
{
    ByteVector tags;
    tags.reserve(entries.size());
    for (const auto& entry : entries)
        tags.push_back(entry->tag);
    return tags;
}

} // namespace LibInfobox
