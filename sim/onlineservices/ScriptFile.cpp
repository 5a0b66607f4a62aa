#include "sim/onlineservices/ScriptFile.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <map>

namespace OnlineServicesSim
{
namespace
{
using Value = rapidjson::Value;

std::string Text(const Value& value)
{
    return std::string(value.GetString(), value.GetStringLength());
}

std::string Written(const Value& value)
{
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

template <typename Enum>
bool ReadChoice(const Value& value, const std::map<std::string, Enum>& names, Enum& out)
{
    const auto found = value.IsString() ? names.find(Text(value)) : names.end();
    if (found == names.end())
        return false;
    out = found->second;
    return true;
}

bool ReadHeaders(const Value& value, HeaderList& headers)
{
    if (!value.IsArray())
        return false;
    for (const auto& pair : value.GetArray())
    {
        if (!pair.IsArray() || pair.Size() != 2 || !pair[0].IsString() || !pair[1].IsString())
            return false;
        headers.emplace_back(Text(pair[0]), Text(pair[1]));
    }
    return true;
}

bool ReadReplyMember(const std::string& name, const Value& value, Reply& reply)
{
    static const std::map<std::string, Framing> framings = {{"length", Framing::ContentLength},
                                                            {"close", Framing::CloseDelimited},
                                                            {"chunked", Framing::Chunked}};
    static const std::map<std::string, Drop> drops = {{"never", Drop::Never},
                                                      {"before-answer", Drop::BeforeAnswer},
                                                      {"after-headers", Drop::AfterHeaders},
                                                      {"inside-body", Drop::InsideBody}};
    if (name == "status" && value.IsInt())
        reply.status = value.GetInt();
    else if (name == "reason" && value.IsString())
        reply.reason = Text(value);
    else if (name == "body" && value.IsString())
        reply.body = Text(value);
    else if (name == "json")
        reply.body = Written(value);
    else if (name == "deepArrays" && value.IsUint())
        reply.body = DeepArrays(value.GetUint());
    else if (name == "fillerBytes" && value.IsUint64())
        reply.fillerBytes = value.GetUint64();
    else if (name == "headers")
        return ReadHeaders(value, reply.headers);
    else if (name == "framing")
        return ReadChoice(value, framings, reply.framing);
    else if (name == "contentLength" && value.IsString())
        reply.contentLength = Text(value);
    else if (name == "raw" && value.IsString())
        reply.raw = Text(value);
    else if (name == "drop")
        return ReadChoice(value, drops, reply.drop);
    else if (name == "dropAfterBodyBytes" && value.IsUint64())
        reply.dropAfterBodyBytes = value.GetUint64();
    else if (name == "delayMs" && value.IsUint())
        reply.delayMs = value.GetUint();
    else if (name == "openSession" && value.IsBool())
        reply.openSession = value.GetBool();
    else
        return false;
    return true;
}

bool ReadReply(const Value& value, Reply& reply, std::string& error)
{
    if (!value.IsObject())
    {
        error = "a reply must be an object";
        return false;
    }
    for (const auto& member : value.GetObject())
    {
        const std::string name = Text(member.name);
        if (!ReadReplyMember(name, member.value, reply))
        {
            error = "bad reply member \"" + name + "\"";
            return false;
        }
    }
    return true;
}

bool ReadCalls(const Value& value, EndpointScript& entry, std::string& error)
{
    if (!value.IsObject())
    {
        error = "\"calls\" must be an object";
        return false;
    }
    for (const auto& member : value.GetObject())
    {
        uint64_t call = 0;
        if (!ParseDecimal(Text(member.name), UINT32_MAX, call) || call == 0 ||
            !ReadReply(member.value, entry.calls[unsigned(call)], error))
        {
            error = error.empty() ? "call numbers count from 1" : error;
            return false;
        }
    }
    return true;
}

bool ReadEndpoint(const Value& value, EndpointScript& entry, std::string& error)
{
    if (!value.IsObject())
    {
        error = "an endpoint must be an object";
        return false;
    }
    for (const auto& member : value.GetObject())
    {
        const std::string name = Text(member.name);
        if (name == "every")
        {
            entry.everyCall.emplace();
            if (!ReadReply(member.value, *entry.everyCall, error))
                return false;
        }
        else if (name != "calls" || !ReadCalls(member.value, entry, error))
        {
            error = error.empty() ? "unknown endpoint member \"" + name + "\"" : error;
            return false;
        }
    }
    return true;
}
} // namespace

bool ParseDecimal(const std::string& text, uint64_t max, uint64_t& value)
{
    value = 0;
    if (text.empty())
        return false;
    for (char digit : text)
    {
        if (digit < '0' || digit > '9' || value > (max - uint64_t(digit - '0')) / 10)
            return false;
        value = value * 10 + uint64_t(digit - '0');
    }
    return true;
}

bool ParseScript(const std::string& jsonText, Script& script, std::string& error)
{
    rapidjson::Document document;
    document.Parse<rapidjson::kParseIterativeFlag>(jsonText.data(), jsonText.size());
    if (document.HasParseError())
    {
        error = std::string("script is no JSON: ") +
                rapidjson::GetParseError_En(document.GetParseError());
        return false;
    }
    if (!document.IsObject())
    {
        error = "a script must be an object of endpoints";
        return false;
    }
    for (const auto& member : document.GetObject())
    {
        const std::string endpoint = Text(member.name);
        if (!ReadEndpoint(member.value, script[endpoint], error))
        {
            error = endpoint + ": " + error;
            return false;
        }
    }
    return true;
}

} // namespace OnlineServicesSim

namespace OnlineServicesSim
{

bool Server::LoadScript(const std::string& jsonText, std::string& error)
{
    Script loaded;
    if (!ParseScript(jsonText, loaded, error))
        return false;
    AddScript(loaded);
    return true;
}

} // namespace OnlineServicesSim
