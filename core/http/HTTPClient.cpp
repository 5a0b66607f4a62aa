#include "core/http/HTTPClient.h"

#include "core/http/RequestRules.h"

#include <atomic>
#include <cctype>
#include <limits>
#include <mutex>

namespace LibHttp2
{
namespace
{
std::atomic<LogHook> errorHook{nullptr};
std::atomic<LogHook> debugHook{nullptr};

std::mutex settingsMutex;
TransportSettings BuiltInSettings()
{
    TransportSettings settings;
    settings.trustedCaFile = QUENDRY_TRUSTED_CA_FILE;
    return settings;
}

TransportSettings& Settings()
{
    static TransportSettings settings = BuiltInSettings();
    return settings;
}

void CallHook(const std::atomic<LogHook>& hook, const std::string& text)
{
    LogHook function = hook.load();
    if (function != nullptr)
        function(text.c_str());
}

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

char Lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}
} // namespace

void SetErrorHook(LogHook hook)
{
    errorHook = hook;
}

void SetDebugHook(LogHook hook)
{
    debugHook = hook;
}

void SetTransportSettingsForTesting(const TransportSettings& settings)
{
    std::lock_guard<std::mutex> lock(settingsMutex);
    Settings() = settings;
}

TransportSettings GetTransportSettings()
{
    std::lock_guard<std::mutex> lock(settingsMutex);
    return Settings();
}

namespace inner
{

const char* const kSizeLimitText = "Content-Size gr\xF6\xDF"
                                   "er als 20MB. Abbruch!";

void LogError(const std::string& text)
{
    CallHook(errorHook, text);
}

void LogDebug(const std::string& text)
{
    CallHook(debugHook, text);
}

const char* VerbOf(int method)
{
    switch (method)
    {
    case METHOD_POST:
        return "POST";
    case METHOD_DELETE:
        return "DELETE";
    case METHOD_PUT:
        return "PUT";
    default:
        return "GET";
    }
}

std::string HeaderLine(const std::string& name, const std::string& value)
{
    return name + ": " + value + "\r\n";
}

bool IsSafeHeaderLine(const std::string& line)
{
    if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0)
        return false;
    return line.find_first_of("\r\n") == line.size() - 2;
}

bool SplitHeaderLine(const std::string& line, std::string& name, std::string& value)
{
    const auto colon = line.find(':');
    if (colon == std::string::npos || !IsSafeHeaderLine(line))
        return false;
    name = Trimmed(line.substr(0, colon));
    value = Trimmed(line.substr(colon + 1, line.size() - 2 - (colon + 1)));
    return !name.empty();
}

bool SameHeaderName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
    {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

bool IsSuppressedHeader(const std::string& name)
{
    return SameHeaderName(name, "Expect") || SameHeaderName(name, "Cache-Control");
}

bool UsesTls(const std::string& scheme, unsigned port)
{
    return SameHeaderName(scheme, "https") || port == 443;
}

bool ParseContentLength(const std::string& text, uint64_t& value)
{
    const std::string digits = Trimmed(text);
    if (digits.empty())
        return false;
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    value = 0;
    for (char c : digits)
    {
        if (c < '0' || c > '9')
            return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return true;
}

bool ContentLengthAcceptable(const std::string& text)
{
    uint64_t value = 0;
    return ParseContentLength(text, value) && value <= kMaxBodySize;
}

} // namespace inner

HTTPClient::HTTPClient() : request(inner::CreatePlatformClient()) {}

HTTPClient::~HTTPClient() = default;

bool HTTPClient::SetUrl(const std::string& url)
{
    return request->SetUrl(url);
}

void HTTPClient::AddHeader(const std::string& name, const std::string& value)
{
    request->AddHeader(name, value);
}

void HTTPClient::SetBody(const std::string& body)
{
    request->SetBody(ByteVector(body.begin(), body.end()));
}

} // namespace LibHttp2
