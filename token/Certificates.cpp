#include "slcertificate/slcertificate.h"
#include "token/acPKCS11.h"

namespace Corvane
{
namespace
{
constexpr CK_ULONG kMaxObjects = 10;
constexpr size_t kValueBuffer = 5012;
constexpr const char* kSignatureCertificate = "C.CH.SIG";
constexpr const char* kEncryptionCertificate = "C.CH.EKEY";

std::function<bool(const std::string&)> LabelContains(const char* wanted)
{
    return [wanted](const std::string& label) { return label.find(wanted) != std::string::npos; };
}

} // namespace

bool acPKCS11::ReadCertificate(bool signatureCertificate)
{
    slcertificate decoded;
    return ReadCertificate(signatureCertificate, decoded);
}

bool acPKCS11::ReadCertificate(bool signatureCertificate, slcertificate& decoded)
{
    decoded.SetHandle(nullptr);
    if (!HasSession())
        return false;
    const char* label = signatureCertificate ? kSignatureCertificate : kEncryptionCertificate;
    LogDebugValue("ReadCertificate", label);
    std::vector<CK_OBJECT_HANDLE> objects;
    if (!SearchObjects(CKO_CERTIFICATE, label, kMaxObjects, objects))
        return false;
    // A failed read (a value above the buffer among others) moves on to the next object.
    CK_OBJECT_HANDLE object = 0;
    if (!FirstObjectByLabel(objects, LabelContains(label), CKA_VALUE, kValueBuffer, object,
                            m_certificate))
        return false;
    return DecodeCertificate(m_certificate, decoded);
}

bool acPKCS11::FindEncCertObject(CK_OBJECT_HANDLE& target)
{
    std::vector<CK_OBJECT_HANDLE> objects;
    if (!SearchObjects(CKO_CERTIFICATE, nullptr, kMaxObjects, objects))
        return false;
    ByteVector unused;
    return FirstObjectByLabel(objects, LabelContains(kEncryptionCertificate), 0, 0, target, unused);
}

bool acPKCS11::UpdateEncCert(const ByteVector& certificate, std::string& message)
{
    slcertificate newCertificate;
    if (certificate.empty() || !DecodeCertificate(certificate, newCertificate))
    {
        message = "Zertifikat konnte nicht gelesen werden";
        return false;
    }
    if (!ReadCertificate(false))
    {
        message = "Zertifikat auf der Karte nicht gefunden";
        return false;
    }
    slcertificate cardCertificate;
    if (m_certificate.empty() || !DecodeCertificate(m_certificate, cardCertificate))
    {
        message = "Zertifikat auf der Karte nicht lesbar";
        return false;
    }
    if (cardCertificate.GetPublicKeyHashString() != newCertificate.GetPublicKeyHashString())
    {
        message = "Public Key Hashwerte stimmen nicht überein";
        return false;
    }
    CK_OBJECT_HANDLE target = 0;
    FindEncCertObject(target);
    const CK_RV rv = SetValue(target, certificate);
    if (rv != CKR_OK)
    {
        message = "Fehler beim Modifizieren des Kartenobjektes. Code = " + HexCode(rv);
        return false;
    }
    return true;
}

bool acPKCS11::WriteEncCert(const std::string& cin, const ByteVector& certificate,
                            std::string& message)
{
    const int index = FindCardForWrite(cin, message);
    if (index < 0 || !OpenWriteSession(index, message))
        return false;
    const bool written = UpdateEncCert(certificate, message);
    LogoutAndClose();
    return written;
}
} // namespace Corvane
