#pragma once

#include "core/Bytes.h"
#include "token/Pkcs11Types.h"

#include <string>
#include <vector>

namespace Corvane
{
// Attribute values read in one C_GetAttributeValue call into buffers of fixed capacity. Every
// length the module reports is bounded by its buffer before it is used.
class AttributeRequest
{
public:
    // Adds an attribute; returns its index for the getters.
    size_t Add(CK_ATTRIBUTE_TYPE type, size_t capacity);
    // CKR_FUNCTION_NOT_SUPPORTED when the module has no C_GetAttributeValue.
    CK_RV Read(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object);

    CK_ULONG Length(size_t index) const;
    ByteVector Bytes(size_t index) const;
    std::string Text(size_t index) const;

private:
    std::vector<ByteVector> m_buffers;
    std::vector<CK_ATTRIBUTE> m_attributes;
};
// A CK_ULONG value in native byte order, from at most sizeof(CK_ULONG) bytes.
CK_ULONG ULongValue(const ByteVector& bytes);
} // namespace Corvane
