#pragma once

#include "core/Bytes.h"
#include "core/Uncopyable.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace LibInfobox
{

// One entry of the card's Infobox container.
struct InfoboxFSEntry
{
    uint8_t tag = 0;   // never 0 in a parsed entry
    uint8_t flags = 0; // bit 0: the entry's content is stored private on the card
    ByteVector data;
};

// Reader of the container value of the card's "INFOBOX" data object: the magic "AIK", a version
// byte below 2, then entries of tag, flags, 16-bit little-endian length and data.
class InfoboxFS : public Uncopyable
{
public:
    static constexpr uint32_t EntriesOffset = 4;

    // True when the value starts with the magic and a version byte below 2.
    static bool HasValidHeader(const ByteVector& value);

    // Appends the entries read from offset on. False when an entry runs past the end of the
    // value; the entries read before it stay listed either way.
    bool Parse(const ByteVector& value, uint32_t offset);

    ByteVector GetTags() const;

    // Read and emptied by the users directly, in container order.
    std::vector<std::shared_ptr<InfoboxFSEntry>> entries;
};

} // namespace LibInfobox
