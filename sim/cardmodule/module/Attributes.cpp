#include "sim/cardmodule/module/Attributes.h"

#include "sim/cardmodule/module/KeyCrypto.h"
#include "sim/cardmodule/module/Pkcs11Extra.h"

#include <cstdlib>
#include <cstring>

namespace QuendrySim
{
namespace
{
CK_OBJECT_CLASS ClassCode(ObjectClass objectClass)
{
    switch (objectClass)
    {
    case ObjectClass::Certificate:
        return CKO_CERTIFICATE;
    case ObjectClass::PublicKey:
        return CKO_PUBLIC_KEY;
    case ObjectClass::PrivateKey:
        return CKO_PRIVATE_KEY;
    case ObjectClass::Data:
        break;
    }
    return CKO_DATA;
}

CK_KEY_TYPE KeyTypeCode(KeyType type)
{
    constexpr CK_KEY_TYPE kDsa = 1;
    return type == KeyType::Rsa ? CKK_RSA : type == KeyType::Ec ? CKK_EC : kDsa;
}

ByteVector BoolBytes(bool value)
{
    return {static_cast<unsigned char>(value ? 1 : 0)};
}

ByteVector TextBytes(const std::string& text)
{
    return ByteVector(text.begin(), text.end());
}

std::optional<ByteVector> CommonAttribute(const CardObject& object, CK_ATTRIBUTE_TYPE type)
{
    switch (type)
    {
    case CKA_CLASS:
        return UlongBytes(ClassCode(object.objectClass));
    case CKA_TOKEN:
    case kAttrModifiable:
        return BoolBytes(true);
    case CKA_PRIVATE:
        return BoolBytes(object.isPrivate);
    case CKA_LABEL:
        return TextBytes(object.label);
    }
    return std::nullopt;
}

std::optional<ByteVector> CertificateAttribute(const CardObject& object, CK_ATTRIBUTE_TYPE type)
{
    if (type == CKA_CERTIFICATE_TYPE)
        return UlongBytes(CKC_X_509);
    if (type == CKA_ID)
        return object.id;
    CertificateParts parts;
    const bool parsed = DescribeCertificate(object.value, parts);
    if (type == CKA_SUBJECT && parsed)
        return parts.subject;
    if (type == CKA_ISSUER && parsed)
        return parts.issuer;
    if (type == CKA_SERIAL_NUMBER && parsed)
        return parts.serial;
    return std::nullopt;
}

std::optional<ByteVector> KeyAttribute(const CardObject& object, CK_ATTRIBUTE_TYPE type)
{
    const bool isPrivate = object.objectClass == ObjectClass::PrivateKey;
    const bool rsa = object.keyType == KeyType::Rsa;
    switch (type)
    {
    case CKA_KEY_TYPE:
        return UlongBytes(KeyTypeCode(object.keyType));
    case CKA_ID:
        return object.id;
    case CKA_SIGN:
        return BoolBytes(isPrivate);
    case CKA_VERIFY:
        return BoolBytes(!isPrivate);
    case CKA_SENSITIVE:
    case kAttrAlwaysSensitive:
    case kAttrNeverExtractable:
        return BoolBytes(isPrivate);
    // Only signing and verifying are performed; clients choose their tests by these flags.
    case CKA_DECRYPT:
    case CKA_ENCRYPT:
    case kAttrSignRecover:
    case kAttrVerifyRecover:
    case CKA_EXTRACTABLE:
    case CKA_ALWAYS_AUTHENTICATE:
    case kAttrWrap:
    case kAttrUnwrap:
    case kAttrDerive:
        return BoolBytes(false);
    case kAttrLocal:
        return BoolBytes(true);
    }
    KeyParts parts;
    if (!DescribeKey(object, parts))
        return std::nullopt;
    if (rsa && type == CKA_MODULUS)
        return parts.modulus;
    if (rsa && type == CKA_PUBLIC_EXPONENT)
        return parts.exponent;
    if (rsa && type == CKA_MODULUS_BITS)
        return UlongBytes(static_cast<CK_ULONG>(parts.bits));
    if (!rsa && type == CKA_EC_PARAMS)
        return parts.ecParams;
    if (!rsa && !isPrivate && type == CKA_EC_POINT)
        return parts.ecPoint;
    return std::nullopt;
}

std::optional<ByteVector> DerivedAttribute(const CardObject& object, CK_ATTRIBUTE_TYPE type)
{
    if (auto common = CommonAttribute(object, type))
        return common;
    switch (object.objectClass)
    {
    case ObjectClass::Data:
        if (type == CKA_VALUE)
            return object.value;
        if (type == CKA_APPLICATION)
            return ByteVector{};
        return std::nullopt;
    case ObjectClass::Certificate:
        if (type == CKA_VALUE)
            return object.value;
        return CertificateAttribute(object, type);
    case ObjectClass::PrivateKey:
    case ObjectClass::PublicKey:
        break;
    }
    return KeyAttribute(object, type);
}

// "0x" and two hexadecimal digits; -1 for any other label.
int ContainerTagOf(const std::string& label)
{
    if (label.size() != 4 || label.compare(0, 2, "0x") != 0)
        return -1;
    char* end = nullptr;
    long tag = std::strtol(label.c_str() + 2, &end, 16);
    return *end == '\0' ? static_cast<int>(tag) : -1;
}
} // namespace

ByteVector UlongBytes(CK_ULONG value)
{
    ByteVector bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

AttributeState AttributeValue(const CardObject& object, CK_ATTRIBUTE_TYPE type, ByteVector& out)
{
    auto raw = object.attributes.find(type);
    if (raw != object.attributes.end())
    {
        if (!raw->second)
            return AttributeState::Unavailable;
        out = *raw->second;
        return AttributeState::Available;
    }
    if (object.objectClass == ObjectClass::PrivateKey && type == CKA_VALUE)
        return AttributeState::Sensitive;
    std::optional<ByteVector> derived = DerivedAttribute(object, type);
    if (!derived)
        return AttributeState::Unavailable;
    out = std::move(*derived);
    return AttributeState::Available;
}

bool MatchesTemplate(const CardObject& object, const CK_ATTRIBUTE* tmpl, CK_ULONG count)
{
    for (CK_ULONG i = 0; i < count; ++i)
    {
        ByteVector value;
        if (AttributeValue(object, tmpl[i].type, value) != AttributeState::Available)
            return false;
        if (value.size() != tmpl[i].ulValueLen)
            return false;
        if (!value.empty() && std::memcmp(value.data(), tmpl[i].pValue, value.size()) != 0)
            return false;
    }
    return true;
}

void SyncContainerEntry(Card& card, const CardObject& entryObject)
{
    const int tag = ContainerTagOf(entryObject.label);
    CardObject* container = card.FindObject("INFOBOX");
    if (tag <= 0 || !container)
        return;
    ByteVector& value = container->value;
    const auto flags = [&](unsigned char old)
    { return static_cast<unsigned char>(entryObject.isPrivate ? old | 1 : old & ~1); };
    size_t entry = 4;
    while (entry + 4 <= value.size() && value[entry] != 0)
    {
        if (value[entry] == tag)
        {
            value[entry + 1] = flags(value[entry + 1]);
            return;
        }
        entry += 4 + (value[entry + 2] | value[entry + 3] << 8);
    }
    // An entry written for the first time is listed where the list ends; the object keeps its data.
    const bool listEnds = entry == value.size() || (entry < value.size() && value[entry] == 0);
    if (listEnds && !entryObject.value.empty())
        value.insert(value.begin() + static_cast<std::ptrdiff_t>(entry),
                     {static_cast<unsigned char>(tag), flags(0), 0, 0});
}
} // namespace QuendrySim
