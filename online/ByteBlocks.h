#pragma once

// Big-endian integers and length-prefixed blocks, the building stones of the ACOS operations'
// input and output blocks.

#include "core/Bytes.h"

#include <cstdint>
#include <string>

// Appends value as count bytes, most significant first; false, and nothing appended, when the
// value does not fit.
bool AppendUIntBE(ByteVector& bytes, uint32_t value, uint16_t count);
// The block's length in four bytes, then the block.
bool AppendLengthPrefixed(ByteVector& bytes, const ByteVector& block);
// Four bytes, most significant first; a null pointer sets 0 and fails.
bool ReadUInt32BE(uint32_t& value, const unsigned char* bytes);

// The length bytes of a block from offset, only when they lie wholly within bytes.
bool ReadBlock(const ByteVector& bytes, uint64_t offset, uint64_t length, ByteVector& block);
// A four-byte length at offset and the block after it, both within bytes.
bool ReadLengthPrefixed(const ByteVector& bytes, uint64_t offset, ByteVector& block);
