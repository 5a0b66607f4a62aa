// Answers every identity-link and renewal call of the online-services client with the input.
// The first input octet picks the call, the rest is the answer body. The request objects come
// from the stand-in below, which this program links in place of the platform's transport.

#include "core/http/RequestObject.h"
#include "fuzz/FuzzCheck.h"
#include "online/OnlineServicesClient.h"
#include "online/ZmrSearchResult.h"

#include <rapidjson/document.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{
// What the client sent and what it is answered.
struct Exchange
{
    std::string answer;
    std::vector<std::string> urls;
    std::vector<std::string> bodies;
};

Exchange& CurrentExchange()
{
    static Exchange exchange;
    return exchange;
}

class AnswerStandIn : public LibHttp2::inner::RequestObject
{
public:
    bool SendRequest() override
    {
        Exchange& exchange = CurrentExchange();
        exchange.urls.push_back(url);
        exchange.bodies.emplace_back(body.begin(), body.end());
        statusCode = 200;
        responseBody.assign(exchange.answer.begin(), exchange.answer.end());
        return true;
    }
};
} // namespace

namespace LibHttp2::inner
{
std::unique_ptr<iHTTPClient> CreatePlatformClient()
{
    return std::make_unique<AnswerStandIn>();
}
} // namespace LibHttp2::inner

namespace
{
using Outputs = std::map<std::string, std::string>;

struct Call
{
    // Runs the call with the outputs named below in values; its result.
    std::function<bool(OnlineServicesClient& client, Outputs& values)> run;
    std::vector<const char*> outputs;
    bool emptyAnswerPasses; // generic steps without outputs
};

const std::string kArgument = "00";

Call Step(bool (OnlineServicesClient::*step)(), bool generic)
{
    return {
        [step](OnlineServicesClient& client, Outputs&) { return (client.*step)(); }, {}, generic};
}

const std::vector<Call>& Calls()
{
    const std::string& a = kArgument;
    static const std::vector<Call> calls = {
        {[](OnlineServicesClient& c, Outputs& v) { return c.CreateSession("DE", v["toBeSigned"]); },
         {"toBeSigned"},
         false},
        {[](OnlineServicesClient& c, Outputs&)
         {
             ZmrSearchResult result;
             return c.ZmrSearchRequest("request", result);
         },
         {"ZmrSearchResp", "GivenName", "FamilyName", "DateOfBirth", "PlaceOfBirth", "StreetName",
          "BuildingNumber", "sUnit", "PostalCode", "Municipality", "DoorNumber", "Locality",
          "toBeSigned"},
         false},
        {[](OnlineServicesClient& c, Outputs& v)
         { return c.ZmrGetInfoboxRequest("data", "signed", v["InfoboxData"], v["cin"]); },
         {"InfoboxData", "cin"},
         false},
        {[](OnlineServicesClient& c, Outputs&)
         {
             bool enc = false;
             bool sig = false;
             return c.CertUpdateCheck(7, "000000000001", "0001", "11", "22", enc, sig);
         },
         {},
         false},
        {[a](OnlineServicesClient& c, Outputs& v)
         { return c.CertUpdateCardos0(a, a, a, a, a, a, v["authIfd"]); },
         {"authIfd"},
         false},
        {[a](OnlineServicesClient& c, Outputs&) { return c.CertUpdateCardos0a(a, a); }, {}, true},
        {[a](OnlineServicesClient& c, Outputs& v)
         { return c.CertUpdateCardos1(a, v["mac_request"]); },
         {"mac_request"},
         false},
        {[a](OnlineServicesClient& c, Outputs& v)
         { return c.CertUpdateCardos2(a, v["persoDataCert"]); },
         {"persoDataCert"},
         false},
        {[a](OnlineServicesClient& c, Outputs& v)
         { return c.CertUpdateCardos3(a, a, a, a, a, a, v["authIfd"]); },
         {"authIfd"},
         false},
        {[a](OnlineServicesClient& c, Outputs& v)
         { return c.CertUpdateCardos4(a, v["persoDataCert"], v["persoDataKey"]); },
         {"persoDataCert", "persoDataKey"},
         false},
        {[a](OnlineServicesClient& c, Outputs& v)
         { return c.CertUpdateCardos5(a, a, a, v["authIfd"]); },
         {"authIfd"},
         false},
        {[a](OnlineServicesClient& c, Outputs& v)
         { return c.CertUpdateCardos6(a, v["mac_request"]); },
         {"mac_request"},
         false},
        Step(&OnlineServicesClient::CertUpdateCardos7, false),
        {[a](OnlineServicesClient& c, Outputs&) { return c.CertUpdateAcos1a(a, a, a); }, {}, true},
        {[a](OnlineServicesClient& c, Outputs& v)
         {
             return c.CertUpdateAcos1(a, a, a, a, a, a, a, a, v["authIfd"], v["macCp"], v["macRb"],
                                      v["pkCgaAuth"]);
         },
         {"authIfd", "macCp", "macRb", "pkCgaAuth"},
         false},
        {[a](OnlineServicesClient& c, Outputs& v)
         { return c.CertUpdateAcos2(a, a, v["persoDataCert"], v["persoDataPinPuk"]); },
         {"persoDataCert", "persoDataPinPuk"},
         false},
        {[a](OnlineServicesClient& c, Outputs& v)
         { return c.CertUpdateAcos3(a, a, a, v["authIfd"]); },
         {"authIfd"},
         false},
        {[a](OnlineServicesClient& c, Outputs& v)
         { return c.CertUpdateAcos4(a, v["persoDataCert"], v["persoDataPinPuk"], v["persoData"]); },
         {"persoDataCert", "persoDataPinPuk", "persoData"},
         false},
        {[](OnlineServicesClient& c, Outputs& v)
         { return c.CertUpdateAcosNoSM(v["cinCsn"], v["encCert"]); },
         {"cinCsn", "encCert"},
         false},
        Step(&OnlineServicesClient::CertUpdateDone, true),
    };
    return calls;
}

const char* const kOpenSession = R"({"sessionid":"open","toBeSigned":"text"})";

bool ParseObject(const std::string& body, rapidjson::Document& document)
{
    document.Parse<rapidjson::kParseIterativeFlag>(body.data(), body.size());
    return !document.HasParseError() && document.IsObject();
}

std::string Text(const rapidjson::Value& value)
{
    return std::string(value.GetString(), value.GetStringLength());
}

// A string member of that name, with the value when one is given.
bool HasString(const rapidjson::Value& root, const std::string& name, const std::string* value)
{
    for (const auto& member : root.GetObject())
    {
        if (Text(member.name) == name && member.value.IsString() &&
            (!value || Text(member.value) == *value))
            return true;
    }
    return false;
}

// A call passes only on an answer object that holds what it hands out (or, for a generic step
// without outputs, on an empty answer as well).
void CheckPassedAnswer(const Call& call, const Outputs& values, const std::string& sessionId)
{
    const std::string& answer = CurrentExchange().answer;
    rapidjson::Document document;
    if (call.emptyAnswerPasses && answer.empty())
        return;
    FUZZ_CHECK(ParseObject(answer, document));
    for (const char* name : call.outputs)
    {
        const auto value = values.find(name);
        FUZZ_CHECK(HasString(document, name, value == values.end() ? nullptr : &value->second));
    }
    // A session the answer opened is the answer's own, and usable in a path.
    if (sessionId != "open" && !sessionId.empty())
        FUZZ_CHECK(HasString(document, "sessionid", &sessionId) && sessionId != "." &&
                   sessionId != "..");
}

bool IsPathCharacter(const std::string& text, size_t i)
{
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '%')
        return i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
               std::isxdigit(static_cast<unsigned char>(text[i + 2]));
    return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

// Whatever the answers held, every request went below the base address, to a resource or to a
// step of a session, as a JSON object.
void CheckRequests(const std::string& base)
{
    const Exchange& exchange = CurrentExchange();
    for (const std::string& url : exchange.urls)
    {
        FUZZ_CHECK(url.compare(0, base.size(), base) == 0);
        size_t segments = 1;
        for (size_t i = base.size(); i < url.size(); ++i)
        {
            if (url[i] == '/')
                FUZZ_CHECK(++segments <= 3 && url[i - 1] != '/' && i + 1 < url.size());
            else
                FUZZ_CHECK(IsPathCharacter(url, i));
        }
        FUZZ_CHECK(segments == 1 || segments == 3);
    }
    for (const std::string& body : exchange.bodies)
    {
        rapidjson::Document document;
        FUZZ_CHECK(ParseObject(body, document));
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const Call& call = Calls()[data[0] % Calls().size()];
    Exchange& exchange = CurrentExchange();
    exchange = Exchange();
    // Every call runs in a session, as in a workflow; the openers may replace it.
    OnlineServicesClient client;
    exchange.answer = kOpenSession;
    std::string toBeSigned;
    FUZZ_CHECK(client.CreateSession("DE", toBeSigned) && client.GetSessionId() == "open");
    exchange.answer.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
    Outputs values;
    if (call.run(client, values))
        CheckPassedAnswer(call, values, client.GetSessionId());
    // The next step goes to whatever session the answer left.
    exchange.answer = "{}";
    FUZZ_CHECK(client.CertUpdateDone());
    CheckRequests(client.BuildUrl(""));
    return 0;
}
