#pragma once

#include "core/Bytes.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Base64 text, optionally broken into lines of 64 (mode 1) or 76 (other non-zero modes)
// characters, each line ended by CR LF.
class Base64LineEncoder
{
public:
    explicit Base64LineEncoder(int32_t lineMode = 0) : lineMode(lineMode) {}
    std::string Encode(const ByteVector& bytes) const;

private:
    static void EncodeGroup(const unsigned char* group, size_t count, std::string& out);
    size_t GroupsPerLine() const;

    int32_t lineMode;
};
