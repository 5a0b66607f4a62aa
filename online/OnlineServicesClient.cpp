#include "online/OnlineServicesClient.h"

#include "core/codec/ByteCodec.h"
#include "core/logging/Logger.h"

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <algorithm>
#include <iterator>
#include <mutex>

namespace
{
constexpr int kStatusOk = 200;

// The new private key, the PIN/PUK data and the key script of a renewal.
const char* const kSecretMembers[] = {"persoData", "persoDataPinPuk", "persoDataKey"};

std::mutex baseAddressMutex;
std::string& BaseAddressOverride()
{
    static std::string baseAddress;
    return baseAddress;
}

std::string CurrentBaseAddress()
{
    std::lock_guard<std::mutex> lock(baseAddressMutex);
    const std::string& override = BaseAddressOverride();
    return override.empty() ? "https://" QUENDRY_ONLINE_SERVICES_HOST "/OnlineServicesTNG/v1/"
                            : override;
}

std::string Text(const rapidjson::Value& value)
{
    return std::string(value.GetString(), value.GetStringLength());
}

const char* TypeName(rapidjson::Type type)
{
    static const char* const names[] = {"Null",  "False",  "True",  "Object",
                                        "Array", "String", "Number"};
    return names[type];
}

std::string Serialised(const rapidjson::Document& request)
{
    rapidjson::StringBuffer buffer;
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
    writer.SetIndent(' ', 4);
    request.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

// Sends the document as the body of a JSON POST; false when no complete answer came.
bool SendDocument(LibHttp2::HTTPClient& http, const rapidjson::Document& request, int& status,
                  std::string& body)
{
    http.SetBody(Serialised(request));
    http.AddHeader("Content-Type", "application/json");
    if (!http.Request().SendRequest())
        return false;
    status = http.Request().GetStatusCode();
    const ByteVector bytes = http.Request().GetResponseBody();
    body.assign(bytes.begin(), bytes.end());
    return true;
}

// Iterative parsing: a deeply nested answer fails like any other bad answer.
bool ParseAnswer(const std::string& body, rapidjson::Document& answer)
{
    answer.Parse<rapidjson::kParseIterativeFlag>(body.data(), body.size());
    if (answer.HasParseError())
    {
        GetAppLogger()->Error("error parsing json");
        return false;
    }
    if (!answer.IsObject())
    {
        GetAppLogger()->Error("error json root is not an object");
        return false;
    }
    return true;
}
} // namespace

OnlineServicesClient::OnlineServicesClient() : baseAddress(CurrentBaseAddress())
{
    GetAppLogger()->Message("BaseUrl: " + baseAddress);
}

void OnlineServicesClient::SetBaseAddressForTesting(const std::string& newBaseAddress)
{
    std::lock_guard<std::mutex> lock(baseAddressMutex);
    BaseAddressOverride() = newBaseAddress;
}

std::string OnlineServicesClient::BuildUrl(const std::string& relativePath) const
{
    return baseAddress + relativePath;
}

std::string OnlineServicesClient::BuildStepUrl(const std::string& resource,
                                               const std::string& step) const
{
    return baseAddress + resource + "/" + UrlEncode(sessionId) + "/" + step;
}

bool OnlineServicesClient::PrepareStepRequest(const std::string& resource, const std::string& step,
                                              LibHttp2::HTTPClient& http,
                                              rapidjson::Document& request)
{
    http.SetUrl(BuildStepUrl(resource, step));
    http.Request().SetMethod(LibHttp2::METHOD_POST);
    return CreateRequestDocument(request);
}

bool OnlineServicesClient::PostStepRequest(LibHttp2::HTTPClient& http, rapidjson::Document& request,
                                           StepAnswer& answer)
{
    answer.clear();
    int status = 0;
    std::string body;
    if (!SendDocument(http, request, status, body))
    {
        GetAppLogger()->Error("error in webcall");
        return false;
    }
    if (status != kStatusOk)
    {
        GetAppLogger()->Error("error in webcall: invalid statuscode=" + std::to_string(status));
        return false;
    }
    if (body.empty())
        return true;
    rapidjson::Document parsed;
    if (!ParseAnswer(body, parsed))
        return false;
    for (const auto& member : parsed.GetObject())
    {
        const std::string name = Text(member.name);
        if (member.value.IsString())
        {
            answer[name] = Text(member.value);
            GetAppLogger()->Debug("Added string: " + name);
        }
        else
            GetAppLogger()->Debug("Ignoring member: " + name +
                                  ", Type: " + TypeName(member.value.GetType()));
    }
    return true;
}

bool OnlineServicesClient::GetResponseValue(const StepAnswer& answer, const std::string& name,
                                            std::string& value)
{
    value.clear();
    const auto found = answer.find(name);
    if (found == answer.end())
        return false;
    value = found->second;
    GetAppLogger()->Debug(name + "=" + (CarriesSecret(name) ? LengthInLog(value) : value));
    return true;
}

bool OnlineServicesClient::CarriesSecret(const std::string& member)
{
    return std::find(std::begin(kSecretMembers), std::end(kSecretMembers), member) !=
           std::end(kSecretMembers);
}

std::string OnlineServicesClient::LengthInLog(const std::string& value)
{
    return "<" + std::to_string(value.size()) + " characters>";
}

bool OnlineServicesClient::CreateRequestDocument(rapidjson::Document& request)
{
    request.Parse("{ }");
    if (request.HasParseError() || !request.IsObject())
    {
        GetAppLogger()->Error("error create json");
        return false;
    }
    return true;
}

void OnlineServicesClient::AddString(rapidjson::Document& request, const char* name,
                                     const std::string& value)
{
    auto& allocator = request.GetAllocator();
    request.AddMember(
        rapidjson::Value(name, allocator),
        rapidjson::Value(value.data(), static_cast<rapidjson::SizeType>(value.size()), allocator),
        allocator);
}

bool OnlineServicesClient::PostWrittenOut(LibHttp2::HTTPClient& http,
                                          const rapidjson::Document& request,
                                          const std::string& callName, rapidjson::Document& answer)
{
    int status = 0;
    std::string body;
    if (!SendDocument(http, request, status, body))
    {
        GetAppLogger()->Error("error in webcall " + callName);
        return false;
    }
    if (status != kStatusOk)
    {
        GetAppLogger()->Error("error in webcall " + callName +
                              " invalid statuscode=" + std::to_string(status));
        return false;
    }
    return ParseAnswer(body, answer);
}

bool OnlineServicesClient::GetString(const rapidjson::Value& root, const char* name,
                                     std::string& value)
{
    const auto member = root.FindMember(name);
    if (member == root.MemberEnd() || !member->value.IsString())
        return false;
    value = Text(member->value);
    return true;
}

bool OnlineServicesClient::StoreSessionId(const rapidjson::Value& root)
{
    std::string id;
    if (!GetString(root, "sessionid", id) || id.empty() || id == "." || id == "..")
    {
        GetAppLogger()->Error("error json object has no sessionid");
        return false;
    }
    sessionId = id;
    return true;
}
