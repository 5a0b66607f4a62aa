#pragma once

#include "core/Bytes.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace Corvane
{

// One DER element: an identifier octet and its content octets. Structures are built from the
// inside out by appending complete child encodings.
class ASN1Object
{
public:
    ASN1Object(uint32_t tagClass, uint32_t constructed, uint8_t tagNumber);
    // Takes one complete DER element apart; too short input gives an empty NULL.
    explicit ASN1Object(const ByteVector& der);
    ASN1Object(const ASN1Object&) = default;
    ASN1Object& operator=(const ASN1Object&) = default;
    ASN1Object(ASN1Object&&) noexcept = default;
    ASN1Object& operator=(ASN1Object&&) noexcept = default;
    virtual ~ASN1Object() = default;

    void SetContent(const ByteVector& bytes);
    void AddChild(const ASN1Object& child);
    // Appends the content octets of a non-negative INTEGER.
    void SetInteger(uint32_t value);
    // An invalid text or arc list leaves the content empty.
    void SetOID(std::string_view text);
    void SetOIDArcs(const std::vector<uint32_t>& arcs);

    ByteVector EncodeLength() const;
    ByteVector Encode() const;

    uint32_t GetTagClass() const { return tagClass; }
    uint32_t GetConstructed() const { return constructed; }
    uint8_t GetTagNumber() const { return tagNumber; }
    uint8_t GetIdentifier() const { return identifier; }
    const ByteVector& GetContent() const { return content; }

private:
    uint32_t tagClass;
    uint32_t constructed;
    uint8_t tagNumber;
    ByteVector content;
    uint8_t identifier;
};

class ASN1Sequence : public ASN1Object
{
public:
    ASN1Sequence() : ASN1Object(0, 1, 16) {}
};

class ASN1Set : public ASN1Object
{
public:
    ASN1Set() : ASN1Object(0, 1, 17) {}
};

class ASN1Integer : public ASN1Object
{
public:
    ASN1Integer() : ASN1Object(0, 0, 2) {}
};

class ASN1OctetString : public ASN1Object
{
public:
    ASN1OctetString() : ASN1Object(0, 0, 4) {}
};

class ASN1Null : public ASN1Object
{
public:
    ASN1Null() : ASN1Object(0, 0, 5) {}
};

class ASN1ObjectIdentifier : public ASN1Object
{
public:
    ASN1ObjectIdentifier() : ASN1Object(0, 0, 6) {}
};

// The context-specific constructed tag [0], identifier 0xA0.
class ASN1ExplicitTag : public ASN1Object
{
public:
    ASN1ExplicitTag() : ASN1Object(2, 1, 0) {}
};

} // namespace Corvane

// The arcs of a dotted object identifier; empty when the text is not one.
std::vector<uint32_t> ParseOIDText(std::string_view text);
