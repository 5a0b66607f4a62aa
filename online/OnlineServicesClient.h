#pragma once

#include "core/http/HTTPClient.h"

#include <rapidjson/document.h>

#include <map>
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

    // The identity-link service "ZmrSession" (ZmrCalls.cpp).
public:
    bool CreateSession(const std::string& languageCode, std::string& toBeSigned);
    // Both need the session CreateSession opened; without one they fail and send nothing.
    bool ZmrSearchRequest(const std::string& signedRequest, ZmrSearchResult& result);
    bool ZmrGetInfoboxRequest(const std::string& toBeSignedData, const std::string& signedData,
                              std::string& infoboxData, std::string& cin);

private:
    using RequestMembers = std::vector<std::pair<const char*, std::string>>;
    // The written-out frame up to an answer object: address, POST, members in order.
    bool PostZmrCall(const std::string& url, const RequestMembers& members,
                     const std::string& callName, rapidjson::Document& answer);
    bool HasZmrSession(const std::string& operation) const;
};
