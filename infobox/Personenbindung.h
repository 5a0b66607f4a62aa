#pragma once

#include "core/Bytes.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The identity link as the card keeps it in compact DER form. The parser is lenient: it takes the
// elements it finds in their expected order and skips the missing ones. An element that runs past
// the end of the input ends the parse there; what was read before it is kept.
class Personenbindung
{
public:
    Personenbindung() = default;
    ~Personenbindung() = default;

    void clear();

    // False only when the input is no record or its length does not fit (nothing filled).
    bool parse(ByteVector bytes);

    // Fills the four person texts from personData.
    bool _doPersonData();

    int32_t version = 0;
    std::string issuerTemplate;
    std::string secondHeaderText;
    std::string issueInstant;
    std::string firstPersonText;
    std::string givenName;
    std::string familyName;
    std::string dateOfBirth;
    ByteVector personData;
    ByteVector sequenceData;
    ByteVector bitString;
    ByteVector taggedBits0;
    ByteVector taggedBits1;
    ByteVector taggedBits2;
};

// The readers know the short length form and the long forms 0x81 and 0x82 only. Each one that
// meets length octets or content running past the end of the input takes nothing and moves the
// position to the end, so that every later test there finds nothing.
uint16_t DerReadLength(const ByteVector& bytes, size_t& position);
std::string DerReadUtf8String(const ByteVector& bytes, size_t& position);
// True when the first content octet (the unused-bit count) is 0; bits then gets the rest.
bool DerReadBitString(const ByteVector& bytes, size_t& position, ByteVector& bits);
