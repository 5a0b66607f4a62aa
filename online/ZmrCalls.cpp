// The identity-link service "ZmrSession" of the online services: session, register search and
// download of the identity link.

#include "online/OnlineServicesClient.h"

#include "core/logging/Logger.h"
#include "online/ZmrSearchResult.h"
#include "platform/Cp1252.h"
#include "platform/Utf8.h"

namespace
{
// A text the conversion cannot decode becomes empty.
std::wstring FromUtf8(const std::string& text)
{
    std::wstring wide;
    return platform::Utf8ToWide(text, wide) ? wide : std::wstring();
}

std::wstring FromAnsi(const std::string& text)
{
    std::wstring wide;
    return platform::Cp1252ToWide(text, wide) ? wide : std::wstring();
}

struct SearchField
{
    const char* member;
    std::wstring ZmrSearchResult::*field;
    std::wstring (*convert)(const std::string&);
};

// In the order the members are tested and stored.
const SearchField kSearchFields[] = {
    {"ZmrSearchResp", &ZmrSearchResult::ZmrSearchResp, FromAnsi},
    {"GivenName", &ZmrSearchResult::GivenName, FromUtf8},
    {"FamilyName", &ZmrSearchResult::FamilyName, FromUtf8},
    {"DateOfBirth", &ZmrSearchResult::DateOfBirth, FromUtf8},
    {"PlaceOfBirth", &ZmrSearchResult::PlaceOfBirth, FromUtf8},
    {"StreetName", &ZmrSearchResult::StreetName, FromUtf8},
    {"BuildingNumber", &ZmrSearchResult::BuildingNumber, FromUtf8},
    {"sUnit", &ZmrSearchResult::sUnit, FromUtf8},
    {"PostalCode", &ZmrSearchResult::PostalCode, FromUtf8},
    {"Municipality", &ZmrSearchResult::Municipality, FromUtf8},
    {"DoorNumber", &ZmrSearchResult::DoorNumber, FromUtf8},
    {"Locality", &ZmrSearchResult::Locality, FromUtf8},
};
} // namespace

bool OnlineServicesClient::PostZmrCall(const std::string& url, const RequestMembers& members,
                                       const std::string& callName, rapidjson::Document& answer)
{
    LibHttp2::HTTPClient http;
    http.SetUrl(url);
    http.Request().SetMethod(LibHttp2::METHOD_POST);
    rapidjson::Document request;
    if (!CreateRequestDocument(request))
        return false;
    for (const auto& [name, value] : members)
        AddString(request, name, value);
    return PostWrittenOut(http, request, callName, answer);
}

bool OnlineServicesClient::HasZmrSession(const std::string& operation) const
{
    if (!sessionId.empty())
        return true;
    GetAppLogger()->Debug(operation + ": no open session");
    GetAppLogger()->Error(operation + ": no open session, nothing sent");
    return false;
}

bool OnlineServicesClient::CreateSession(const std::string& languageCode, std::string& toBeSigned)
{
    rapidjson::Document answer;
    if (!PostZmrCall(BuildUrl("ZmrSession"), {{"lang", languageCode}}, "create session", answer) ||
        !StoreSessionId(answer))
        return false;
    if (!GetString(answer, "toBeSigned", toBeSigned))
    {
        GetAppLogger()->Error("error json object has no toBeSigned data");
        return false;
    }
    GetAppLogger()->Message("CreateSession: " + sessionId);
    return true;
}

bool OnlineServicesClient::ZmrSearchRequest(const std::string& signedRequest,
                                            ZmrSearchResult& result)
{
    if (!HasZmrSession("ZmrSearchRequest"))
        return false;
    rapidjson::Document answer;
    if (!PostZmrCall(BuildStepUrl("ZmrSession", "ZmrSearch"), {{"ZmrSearchReq", signedRequest}},
                     "ZmrSearch", answer))
        return false;
    std::string text;
    for (const SearchField& entry : kSearchFields)
    {
        if (!GetString(answer, entry.member, text))
        {
            GetAppLogger()->Error(std::string("error json object has no ") + entry.member);
            return false;
        }
        result.*entry.field = entry.convert(text);
    }
    // The holder signs this text: one that cannot be decoded counts as missing.
    std::wstring toBeSigned;
    if (!GetString(answer, "toBeSigned", text) || !platform::Utf8ToWide(text, toBeSigned))
    {
        GetAppLogger()->Error("error json object has no ToBeSigned data");
        return false;
    }
    result.toBeSigned = toBeSigned;
    return true;
}

bool OnlineServicesClient::ZmrGetInfoboxRequest(const std::string& toBeSignedData,
                                                const std::string& signedData,
                                                std::string& infoboxData, std::string& cin)
{
    if (!HasZmrSession("ZmrGetInfoboxRequest"))
        return false;
    rapidjson::Document answer;
    if (!PostZmrCall(BuildStepUrl("ZmrSession", "ZmrGetInfobox"),
                     {{"ToBeSignedData", toBeSignedData}, {"SignedData", signedData}},
                     "ZmrGetInfobox", answer))
        return false;
    if (!GetString(answer, "InfoboxData", infoboxData))
    {
        GetAppLogger()->Error("error json object has no InfoboxData");
        return false;
    }
    if (!GetString(answer, "cin", cin))
    {
        GetAppLogger()->Error("error json object has no cin");
        return false;
    }
    return true;
}
