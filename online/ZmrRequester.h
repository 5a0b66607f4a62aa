#pragma once

#include "core/Bytes.h"
#include "online/OnlineServicesClient.h"
#include "online/ZmrSearchResult.h"

#include <memory>
#include <string>
#include <string_view>

namespace Corvane
{
class acPKCS11;
class Certificate;
} // namespace Corvane

// Writes an identity link onto a card: the signed register search, the signed download and the
// write. Every request is signed on the card with the encryption key and sent as PKCS#7 signed
// data in Base64.
class ZmrRequester
{
public:
    // languageCode: "DE" or "EN", sent with the session request.
    explicit ZmrRequester(const std::string& languageCode);
    ~ZmrRequester();
    ZmrRequester(const ZmrRequester&) = delete;
    ZmrRequester& operator=(const ZmrRequester&) = delete;

    // The borrowed wrapper and the card's slot-list index, set before each step.
    void SetToken(Corvane::acPKCS11* wrapper) { token = wrapper; }
    void SetSlotIndex(int index) { slotIndex = index; }

    // Opens the server session, signs its text and sends the register search.
    bool Search(ZmrSearchResult& result);
    // Signs the text the holder was shown and downloads the identity link (Base64) with the
    // number of the card it is for. Needs the session of Search.
    bool GetInfobox(const std::wstring& shownText, std::string& cin, std::string& identityLink);
    // Writes the identity link onto the card of this run, which the cin must name.
    bool DoWriteInfobox(const std::string& cin, const std::string& identityLink);
    bool writeInfobox(const std::string& cin, const std::string& identityLink);

    // The Base64 text of the PKCS#7 signed data over data, signed with the encryption key.
    bool Sign(const ByteVector& data, std::string& signedRequest);
    bool SignSha1WithRsa(const ByteVector& data, const Corvane::Certificate& certificate,
                         std::string& signedRequest);
    bool SignSha256WithRsa(const ByteVector& data, const Corvane::Certificate& certificate,
                           std::string& signedRequest);

private:
    struct DigestChoice
    {
        const char* logLine;
        int hashAlgorithm;
        std::string_view oid;
    };
    // Sign's work inside the card session it opened.
    bool SignInSession(const ByteVector& data, std::string& signedRequest);
    bool SignWithDigest(const DigestChoice& digest, const ByteVector& data,
                        const Corvane::Certificate& certificate, std::string& signedRequest);
    bool IsCardOfThisRun(const std::string& cin);
    void ResetCard(const std::string& cin);

    std::string languageCode;
    std::unique_ptr<OnlineServicesClient> client;
    Corvane::acPKCS11* token = nullptr;
    int slotIndex = 0;
};
