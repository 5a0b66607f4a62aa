// Signing and verifying with the card's keys.

#include "sim/cardmodule/module/KeyCrypto.h"
#include "sim/cardmodule/module/Module.h"
#include "sim/cardmodule/module/Pkcs11Extra.h"

#include <cstring>

namespace QuendrySim
{
namespace
{
bool UsableFor(const CardObject& key, bool forSigning)
{
    if (forSigning)
        return key.objectClass == ObjectClass::PrivateKey;
    return key.objectClass == ObjectClass::PublicKey || key.objectClass == ObjectClass::PrivateKey;
}

ByteVector BytesOf(const CK_BYTE* data, CK_ULONG length)
{
    return data ? ByteVector(data, data + length) : ByteVector{};
}
} // namespace

CK_RV Module::CryptoInit(CK_SESSION_HANDLE handle, const CK_MECHANISM* mechanism,
                         CK_OBJECT_HANDLE keyHandle, bool forSigning, CallLogLine& line)
{
    line.AddNumber("key", keyHandle);
    auto [rv, session, card, key] = ObjectOf(handle, keyHandle);
    if (rv == CKR_OBJECT_HANDLE_INVALID)
        return CKR_KEY_HANDLE_INVALID;
    if (rv != CKR_OK)
        return rv;
    line.Add("label", key->label);
    if (!mechanism)
        return CKR_ARGUMENTS_BAD;
    line.AddCode("mechanism", mechanism->mechanism);
    CryptoOperation& operation = forSigning ? session->sign : session->verify;
    if (operation.active)
        return CKR_OPERATION_ACTIVE;
    if (!UsableFor(*key, forSigning))
        return CKR_KEY_TYPE_INCONSISTENT;
    rv = CheckMechanism(*key, mechanism->mechanism);
    if (rv != CKR_OK)
        return rv;
    operation = CryptoOperation{true, keyHandle, mechanism->mechanism};
    return CKR_OK;
}

CK_RV Module::SignInit(CK_SESSION_HANDLE handle, const CK_MECHANISM* mechanism,
                       CK_OBJECT_HANDLE key, CallLogLine& line)
{
    return CryptoInit(handle, mechanism, key, true, line);
}

CK_RV Module::VerifyInit(CK_SESSION_HANDLE handle, const CK_MECHANISM* mechanism,
                         CK_OBJECT_HANDLE key, CallLogLine& line)
{
    return CryptoInit(handle, mechanism, key, false, line);
}

CK_RV Module::Sign(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG length,
                   CK_BYTE* signature, CK_ULONG* signatureLength)
{
    auto [rv, session, card] = SessionOf(handle);
    if (rv != CKR_OK)
        return rv;
    if (!session->sign.active)
        return CKR_OPERATION_NOT_INITIALIZED;
    if (!signatureLength || (!data && length > 0))
        return CKR_ARGUMENTS_BAD;
    const CardObject* key = ObjectOfHandle(*card, session->sign.key);
    const size_t needed = key ? SignatureLength(*key) : 0;
    if (!signature || *signatureLength < needed)
    {
        *signatureLength = static_cast<CK_ULONG>(needed);
        return signature ? CKR_BUFFER_TOO_SMALL : CKR_OK;
    }
    // Any answer but a length query ends the operation.
    session->sign = CryptoOperation{};
    if (!key)
        return CKR_KEY_HANDLE_INVALID;
    rv = Authorize(session->slot, *card, key->pin);
    if (rv != CKR_OK)
        return rv;
    ByteVector output;
    rv = SignRaw(*key, BytesOf(data, length), output);
    if (rv != CKR_OK)
        return rv;
    std::memcpy(signature, output.data(), output.size());
    *signatureLength = static_cast<CK_ULONG>(output.size());
    return CKR_OK;
}

CK_RV Module::Verify(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG length,
                     const CK_BYTE* signature, CK_ULONG signatureLength)
{
    auto [rv, session, card] = SessionOf(handle);
    if (rv != CKR_OK)
        return rv;
    if (!session->verify.active)
        return CKR_OPERATION_NOT_INITIALIZED;
    const CardObject* key = ObjectOfHandle(*card, session->verify.key);
    session->verify = CryptoOperation{};
    if (!key)
        return CKR_KEY_HANDLE_INVALID;
    if ((!data && length > 0) || (!signature && signatureLength > 0))
        return CKR_ARGUMENTS_BAD;
    return VerifyRaw(*key, BytesOf(data, length), BytesOf(signature, signatureLength));
}

CK_RV Module::EndWithUnsupportedPart(CK_SESSION_HANDLE handle, bool forSigning)
{
    auto [rv, session, card] = SessionOf(handle);
    if (rv != CKR_OK)
        return rv;
    CryptoOperation& operation = forSigning ? session->sign : session->verify;
    if (!operation.active)
        return CKR_OPERATION_NOT_INITIALIZED;
    // A failed update or final call ends the operation, so that the next init works.
    operation = CryptoOperation{};
    return CKR_FUNCTION_NOT_SUPPORTED;
}

CK_RV Module::Random(CK_SESSION_HANDLE handle)
{
    auto [rv, session, card] = SessionOf(handle);
    return rv != CKR_OK ? rv : kRvRandomNoRng;
}
} // namespace QuendrySim
