#include "online/ByteBlocks.h"

#include <cstddef>

namespace
{
constexpr uint16_t kLengthBytes = 4;
}

bool AppendUIntBE(ByteVector& bytes, uint32_t value, uint16_t count)
{
    if (count < 4 && (value >> (8 * count)) != 0)
        return false;
    for (uint16_t i = count; i > 0; --i)
    {
        const unsigned shift = 8u * (i - 1u);
        bytes.push_back(shift < 32 ? static_cast<unsigned char>(value >> shift) : 0);
    }
    return true;
}

bool AppendLengthPrefixed(ByteVector& bytes, const ByteVector& block)
{
    AppendUIntBE(bytes, static_cast<uint32_t>(block.size()), kLengthBytes);
    bytes.insert(bytes.end(), block.begin(), block.end());
    return true;
}

bool ReadUInt32BE(uint32_t& value, const unsigned char* bytes)
{
    value = 0;
    if (!bytes)
        return false;
    for (int i = 0; i < kLengthBytes; ++i)
        value = value << 8 | bytes[i];
    return true;
}

bool ReadBlock(const ByteVector& bytes, uint64_t offset, uint64_t length, ByteVector& block)
{
    if (offset > bytes.size() || length > bytes.size() - offset)
        return false;
    block.assign(bytes.begin() + static_cast<ptrdiff_t>(offset),
                 bytes.begin() + static_cast<ptrdiff_t>(offset + length));
    return true;
}

bool ReadLengthPrefixed(const ByteVector& bytes, uint64_t offset, ByteVector& block)
{
    ByteVector lengthBytes;
    uint32_t length = 0;
    return ReadBlock(bytes, offset, kLengthBytes, lengthBytes) &&
           ReadUInt32BE(length, lengthBytes.data()) &&
           ReadBlock(bytes, offset + kLengthBytes, length, block);
}
