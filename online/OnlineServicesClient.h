#pragma once

#include "core/http/HTTPClient.h"

#include <rapidjson/document.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct ZmrSearchResult;

// The string members of a generic step's answer, by name.
using StepAnswer = std::map<std::string, std::string>;

// The client of the online services for one workflow run: it keeps the base address and the
// session id that the run's first call opened.
class OnlineServicesClient
{
public:
    OnlineServicesClient();
    OnlineServicesClient(const OnlineServicesClient&) = delete;
    OnlineServicesClient& operator=(const OnlineServicesClient&) = delete;

    // Seam for tests and the demo: the base address of every client made afterwards
    // (scheme, host, port and "/OnlineServicesTNG/v1/"); empty restores the built-in one.
    static void SetBaseAddressForTesting(const std::string& baseAddress);

    std::string BuildUrl(const std::string& relativePath) const;
    std::string BuildStepUrl(const std::string& resource, const std::string& step) const;
    const std::string& GetSessionId() const { return sessionId; }

    // The generic step style.
    bool PrepareStepRequest(const std::string& resource, const std::string& step,
                            LibHttp2::HTTPClient& http, rapidjson::Document& request);
    bool PostStepRequest(LibHttp2::HTTPClient& http, rapidjson::Document& request,
                         StepAnswer& answer);
    bool GetResponseValue(const StepAnswer& answer, const std::string& name, std::string& value);

    // Answer members whose values carry key, PIN or PUK material: the log never holds them.
    static bool CarriesSecret(const std::string& member);
    // How the log shows such a value: by its length alone, "<1624 characters>".
    static std::string LengthInLog(const std::string& value);

private:
    // Pieces of the written-out style, which every such operation runs through.
    static bool CreateRequestDocument(rapidjson::Document& request);
    static void AddString(rapidjson::Document& request, const char* name, const std::string& value);
    // Sends; status 200 and an object as root, else the call's failure texts.
    bool PostWrittenOut(LibHttp2::HTTPClient& http, const rapidjson::Document& request,
                        const std::string& callName, rapidjson::Document& answer);
    static bool GetString(const rapidjson::Value& root, const char* name, std::string& value);
    // An empty, "." or ".." id would break the path it travels in: counted as missing.
    bool StoreSessionId(const rapidjson::Value& root);

    std::string baseAddress;
    std::string sessionId;
    bool updateCheckFailed = false;

    // Certificate renewal (RenewalCalls.cpp).
public:
    // Opens the renewal session; true when the server has an update for the card.
    // UpdateCheckFailed tells a check sent and not answered in full from an answer without one.
    bool UpdateCheckFailed() const { return updateCheckFailed; }
    bool CertUpdateCheck(int cardType, const std::string& cin, const std::string& csn,
                         const std::string& encSerial, const std::string& sigSerial,
                         bool& newEncCertFound, bool& newSigCertFound);
    bool CertUpdateCardos0(const std::string& idicc, const std::string& efVersion,
                           const std::string& chDs, const std::string& caCs,
                           const std::string& rndIcc, const std::string& rndIfd,
                           std::string& authIfd);
    bool CertUpdateCardos0a(const std::string& idicc, const std::string& efVersion);
    bool CertUpdateCardos1(const std::string& authIccSig, std::string& macRequest);
    bool CertUpdateCardos2(const std::string& smPubkeySs, std::string& persoDataCert);
    bool CertUpdateCardos3(const std::string& idicc, const std::string& efVersion,
                           const std::string& chAut, const std::string& caCsAut,
                           const std::string& rndIcc, const std::string& rndIfd,
                           std::string& authIfd);
    bool CertUpdateCardos4(const std::string& authIccEnc, std::string& persoDataCert,
                           std::string& persoDataKey);
    bool CertUpdateCardos5(const std::string& idicc, const std::string& rndIcc,
                           const std::string& rndIfd, std::string& authIfd);
    bool CertUpdateCardos6(const std::string& authIccMf, std::string& macRequest);
    bool CertUpdateCardos7();
    bool CertUpdateAcos1a(const std::string& idicc, const std::string& epaCardnr,
                          const std::string& epaBlz);
    bool CertUpdateAcos1(const std::string& idicc, const std::string& epaCardnr,
                         const std::string& epaBlz, const std::string& rndIcc,
                         const std::string& rndIfd, const std::string& idIfd,
                         const std::string& authIccSig, const std::string& pkIccAuth,
                         std::string& authIfd, std::string& macCp, std::string& macRb,
                         std::string& pkCgaAuth);
    bool CertUpdateAcos2(const std::string& responseRb, const std::string& responseCp,
                         std::string& persoDataCert, std::string& persoDataPinPuk);
    bool CertUpdateAcos3(const std::string& rndIcc, const std::string& vkDecSm,
                         const std::string& rndIfd, std::string& authIfd);
    bool CertUpdateAcos4(const std::string& authIcc, std::string& persoDataCert,
                         std::string& persoDataPinPuk, std::string& persoData);
    bool CertUpdateAcosNoSM(std::string& cinCsn, std::string& encCert);
    bool CertUpdateDone();

private:
    using RequestMembers = std::vector<std::pair<const char*, std::string>>;
    // An answer member the written-out style requires, copied out when present.
    struct RequiredMember
    {
        const char* name;
        std::string* value;
        const char* emptyText; // logged when the value is empty; null: an empty value passes
    };
    bool RunRenewalStep(const char* step, const char* callName, const RequestMembers& members,
                        const std::vector<RequiredMember>& required);
    // The generic style; genSigSession, when set, goes first as a boolean.
    bool RunGenericRenewalStep(const char* step, const char* callName,
                               std::optional<bool> genSigSession, const RequestMembers& members,
                               const std::vector<std::pair<const char*, std::string*>>& outputs);
    static void AddMembers(rapidjson::Document& request, const RequestMembers& members);

    // The identity-link service "ZmrSession" (ZmrCalls.cpp).
public:
    bool CreateSession(const std::string& languageCode, std::string& toBeSigned);
    // Both need the session CreateSession opened; without one they fail and send nothing.
    bool ZmrSearchRequest(const std::string& signedRequest, ZmrSearchResult& result);
    bool ZmrGetInfoboxRequest(const std::string& toBeSignedData, const std::string& signedData,
                              std::string& infoboxData, std::string& cin);

private:
    // The written-out frame up to an answer object: address, POST, members in order.
    bool PostZmrCall(const std::string& url, const RequestMembers& members,
                     const std::string& callName, rapidjson::Document& answer);
    bool HasZmrSession(const std::string& operation) const;
};
