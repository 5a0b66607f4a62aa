#include "token/AttributeRequest.h"

#include "token/acPKCS11.h"

#include <algorithm>
#include <cstring>

namespace Corvane
{
size_t AttributeRequest::Add(CK_ATTRIBUTE_TYPE type, size_t capacity)
{
    m_buffers.emplace_back(capacity);
    m_attributes.push_back(CK_ATTRIBUTE{type, nullptr, static_cast<CK_ULONG>(capacity)});
    return m_attributes.size() - 1;
}

CK_RV AttributeRequest::Read(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object)
{
    const auto getAttributes = acPKCS11::Functions().C_GetAttributeValue;
    if (!getAttributes)
        return CKR_FUNCTION_NOT_SUPPORTED;
    for (size_t i = 0; i < m_attributes.size(); ++i)
    {
        m_attributes[i].pValue = m_buffers[i].data();
        m_attributes[i].ulValueLen = static_cast<CK_ULONG>(m_buffers[i].size());
    }
    return getAttributes(session, object, m_attributes.data(),
                         static_cast<CK_ULONG>(m_attributes.size()));
}

CK_ULONG AttributeRequest::Length(size_t index) const
{
    return std::min<CK_ULONG>(m_attributes[index].ulValueLen,
                              static_cast<CK_ULONG>(m_buffers[index].size()));
}

ByteVector AttributeRequest::Bytes(size_t index) const
{
    const ByteVector& buffer = m_buffers[index];
    return ByteVector(buffer.begin(), buffer.begin() + Length(index));
}

std::string AttributeRequest::Text(size_t index) const
{
    const auto* begin = reinterpret_cast<const char*>(m_buffers[index].data());
    return std::string(begin, begin + Length(index));
}

CK_ULONG ULongValue(const ByteVector& bytes)
{
    CK_ULONG value = 0;
    std::memcpy(&value, bytes.data(), std::min(bytes.size(), sizeof value));
    return value;
}
} // namespace Corvane
