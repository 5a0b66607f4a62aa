#include "online/ZmrRequester.h"

#include "asn1/ASN1Object.h"
#include "asn1/Base64LineEncoder.h"
#include "asn1/OID.h"
#include "asn1/PKCS7.h"
#include "core/codec/Base64.h"
#include "core/logging/Logger.h"
#include "platform/Cp1252.h"
#include "slcertificate/slcertificate.h"
#include "token/acPKCS11.h"

namespace
{
constexpr const char* kEncryptionKey = "SK.CH.EKEY";
constexpr size_t kCinLength = 12;

// A card identification number of 12 characters names the card whose identifier begins with
// it; a longer one must be the whole identifier.
bool CinNamesSerial(const std::string& cin, std::string serial)
{
    serial.erase(serial.find_last_not_of(' ') + 1);
    if (cin.size() < kCinLength)
        return false;
    return cin.size() == kCinLength ? serial.compare(0, kCinLength, cin) == 0 : serial == cin;
}
} // namespace

ZmrRequester::ZmrRequester(const std::string& languageCode) : languageCode(languageCode) {}

ZmrRequester::~ZmrRequester() = default;

bool ZmrRequester::Search(ZmrSearchResult& result)
{
    client = std::make_unique<OnlineServicesClient>();
    LibLogging::Logger* log = GetAppLogger();
    log->Message("*** Begin server createsession ***");
    std::string toBeSigned;
    if (!client->CreateSession(languageCode, toBeSigned))
    {
        log->Error("error create session on server");
        return false;
    }
    log->Message("*** End server createsession ***");
    log->Message("*** Sign ZMR request ***");
    const ByteVector bytes(toBeSigned.begin(), toBeSigned.end());
    std::string encoded;
    Base64Encode(bytes, encoded);
    log->Debug("tbs data");
    log->Debug(encoded);
    std::string signedRequest;
    const bool signedOk = Sign(bytes, signedRequest);
    log->Debug("signature");
    log->Debug(signedRequest);
    if (!signedOk)
        return false;
    log->Message("*** Send ZMR search request ***");
    return client->ZmrSearchRequest(signedRequest, result);
}

bool ZmrRequester::GetInfobox(const std::wstring& shownText, std::string& cin,
                              std::string& identityLink)
{
    LibLogging::Logger* log = GetAppLogger();
    log->Message("*** Sign GetInfobox request ***");
    if (!client)
    {
        log->Error("No server session");
        return false;
    }
    // One conversion gives the signed bytes and the sent text, so the two cannot differ.
    std::string text;
    bool done = false;
    if (!platform::WideToCp1252(shownText, text))
        log->Error("GetInfobox: the text holds a character Windows-1252 lacks");
    else
    {
        std::string signedData;
        done = Sign(ByteVector(text.begin(), text.end()), signedData) &&
               client->ZmrGetInfoboxRequest(text, signedData, identityLink, cin);
    }
    if (done)
        log->Message("GetInfobox successful");
    else
        log->Error("GetInfobox FAILED");
    log->Message("*** End GetInfobox request ***");
    return done;
}

bool ZmrRequester::DoWriteInfobox(const std::string& cin, const std::string& identityLink)
{
    LibLogging::Logger* log = GetAppLogger();
    log->Message("*** DoWriteInfobox ***");
    const bool written = writeInfobox(cin, identityLink);
    if (written)
        log->Message("writeInfobox successful");
    else
        log->Error("writeInfobox FAILED");
    log->Message("*** End DoWriteInfobox ***");
    return written;
}

bool ZmrRequester::writeInfobox(const std::string& cin, const std::string& identityLink)
{
    if (!token)
        return false;
    if (!IsCardOfThisRun(cin))
    {
        GetAppLogger()->Error("writeInfobox: the identity link is for another card, CIN=" + cin);
        return false;
    }
    // A cut text can still decode to a record of the announced length with its last byte changed.
    if (!IsWholeBase64(identityLink))
    {
        GetAppLogger()->Error("writeInfobox: the identity link is no whole Base64 text");
        return false;
    }
    ByteVector bytes;
    Base64Decode(identityLink, bytes);
    GetAppLogger()->Message("writeInfobox: Writing Personenbindung to Smartcard");
    std::string message;
    if (!token->WritePersonenbindung(cin, bytes, message))
        return false;
    ResetCard(cin);
    return true;
}

bool ZmrRequester::IsCardOfThisRun(const std::string& cin)
{
    Corvane::CardInfo info;
    return token->GetCardInfo(slotIndex, info) && CinNamesSerial(cin, info.serial);
}

void ZmrRequester::ResetCard(const std::string& cin)
{
    // The write closed its session; the reset needs one of its own.
    const int index = token->FindSlotByCIN(cin);
    if (!token->OpenSession(index))
        return;
    token->Reset();
    token->CloseSession();
}

bool ZmrRequester::Sign(const ByteVector& data, std::string& signedRequest)
{
    signedRequest.clear();
    if (!token)
        return false;
    if (!token->OpenSession(slotIndex))
    {
        GetAppLogger()->Error("ZmrRequester: Fehler beim Aufbau der Verbindung zur Karte");
        return false;
    }
    const bool done = SignInSession(data, signedRequest);
    token->CloseSession();
    return done;
}

bool ZmrRequester::SignInSession(const ByteVector& data, std::string& signedRequest)
{
    slcertificate decoded;
    if (!token->ReadCertificate(false) || token->CertificateBytes().empty() ||
        !DecodeCertificate(token->CertificateBytes(), decoded))
    {
        GetAppLogger()->Error("ZmrRequester: Fehler beim Laden des Zertifikats");
        return false;
    }
    const Corvane::Certificate certificate(decoded);
    switch (decoded.GetSignatureAlgorithm())
    {
    case SHA1_WITH_RSA_ENCRYPTION:
        return SignSha1WithRsa(data, certificate, signedRequest);
    case SHA256_WITH_RSA_ENCRYPTION:
        return SignSha256WithRsa(data, certificate, signedRequest);
    default:
        GetAppLogger()->Error("ZmrRequester: Digest algorithm not supported");
        return false;
    }
}

bool ZmrRequester::SignSha1WithRsa(const ByteVector& data, const Corvane::Certificate& certificate,
                                   std::string& signedRequest)
{
    static const DigestChoice sha1 = {"ZmrRequester: SHA1_WITH_RSA_ENCRYPTION", Corvane::HASH_SHA1,
                                      OID_SHA1};
    return SignWithDigest(sha1, data, certificate, signedRequest);
}

bool ZmrRequester::SignSha256WithRsa(const ByteVector& data,
                                     const Corvane::Certificate& certificate,
                                     std::string& signedRequest)
{
    static const DigestChoice sha256 = {"ZmrRequester: SHA256_WITH_RSA_ENCRYPTION",
                                        Corvane::HASH_SHA256, OID_SHA256};
    return SignWithDigest(sha256, data, certificate, signedRequest);
}

bool ZmrRequester::SignWithDigest(const DigestChoice& digest, const ByteVector& data,
                                  const Corvane::Certificate& certificate,
                                  std::string& signedRequest)
{
    LibLogging::Logger* log = GetAppLogger();
    log->Message(digest.logLine);
    ByteVector hash;
    if (!ComputeDigest(data, hash, digest.hashAlgorithm))
    {
        log->Error("ZmrRequester: Fehler beim Hashen des Textes");
        return false;
    }
    ByteVector signature;
    // The session stays open here: Sign closes it once, whatever happened.
    if (!token->Sign(kEncryptionKey, Corvane::DigestInfo(digest.oid, hash), signature))
    {
        log->Error("ZmrRequester: Fehler beim Signieren");
        return false;
    }
    Corvane::ASN1OctetString signatureValue;
    signatureValue.SetContent(signature);
    Corvane::PKCS7encoder encoder(data);
    const Corvane::SignerInfo signer(certificate, signatureValue);
    if (!encoder.AddSigner(signer) || !encoder.AddCertificate(certificate))
        return false;
    signedRequest = Base64LineEncoder(0).Encode(encoder.GetASN1Object().Encode());
    log->Message("ZmrRequester: Signatur erfolgreich!");
    return true;
}
