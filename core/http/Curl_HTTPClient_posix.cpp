// The request object over libcurl, with the behaviour of the WinINet one: HTTP/1.1, only the
// path sent, no redirects, cookies or cache, the system's proxy, the same limits and texts.

#include "core/http/RequestObject.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace LibHttp2::inner
{
namespace
{

struct EasyDeleter
{
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SlistDeleter
{
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlDeleter
{
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlStringDeleter
{
    void operator()(char* text) const { curl_free(text); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using HeaderList = std::unique_ptr<curl_slist, SlistDeleter>;
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;
using CurlString = std::unique_ptr<char, CurlStringDeleter>;
using Clock = std::chrono::steady_clock;

void InitCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool GetUrlPart(CURLU* url, CURLUPart part, unsigned flags, std::string& text)
{
    char* raw = nullptr;
    if (curl_url_get(url, part, &raw, flags) != CURLUE_OK)
        return false;
    CurlString owned(raw);
    text = raw;
    return true;
}

// The URL as it is sent: scheme chosen by the TLS rule, no credentials, no query, no fragment.
bool PrepareUrl(const std::string& given, std::string& prepared)
{
    UrlHandle url(curl_url());
    std::string scheme;
    std::string port;
    if (!url ||
        curl_url_set(url.get(), CURLUPART_URL, given.c_str(), CURLU_PATH_AS_IS) != CURLUE_OK ||
        !GetUrlPart(url.get(), CURLUPART_SCHEME, 0, scheme) ||
        !GetUrlPart(url.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT, port))
        return false;
    if (!SameHeaderName(scheme, "http") && !SameHeaderName(scheme, "https"))
        return false;
    const char* sentScheme =
        UsesTls(scheme, std::strtoul(port.c_str(), nullptr, 10)) ? "https" : "http";
    for (CURLUPart dropped :
         {CURLUPART_USER, CURLUPART_PASSWORD, CURLUPART_QUERY, CURLUPART_FRAGMENT})
        curl_url_set(url.get(), dropped, nullptr, 0);
    if (curl_url_set(url.get(), CURLUPART_SCHEME, sentScheme, 0) != CURLUE_OK)
        return false;
    return GetUrlPart(url.get(), CURLUPART_URL, 0, prepared);
}

std::string NoProxyList()
{
    std::string list = "localhost,127.0.0.1,::1";
    for (const char* name : {"no_proxy", "NO_PROXY"})
    {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return list + "," + value;
    }
    return list;
}

enum class Abort
{
    None,
    HeadersTooLarge,
    BodyTooLarge,
    Stalled
};

// State of one exchange, shared with libcurl's callbacks.
struct Exchange
{
    CURL* handle = nullptr;
    TransportSettings settings;
    ByteVector headers;
    ByteVector body;
    bool finalHeadersSeen = false;
    Abort abort = Abort::None;
    Clock::time_point lastProgress{};
    curl_off_t lastDown = -1;
    curl_off_t lastUp = -1;
};

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

size_t OnHeaderLine(char* data, size_t size, size_t count, void* context)
{
    auto& exchange = *static_cast<Exchange*>(context);
    const size_t length = size * count;
    const std::string line(data, length);
    if (StartsWith(line, "HTTP/"))
        exchange.headers.clear(); // an interim answer (1xx) is followed by the real one
    if (exchange.headers.size() + length > kMaxRawHeaderSize)
    {
        exchange.abort = Abort::HeadersTooLarge;
        return 0;
    }
    exchange.headers.insert(exchange.headers.end(), data, data + length);
    std::string name;
    std::string value;
    if (SplitHeaderLine(line, name, value) && SameHeaderName(name, "Content-Length") &&
        !ContentLengthAcceptable(value))
    {
        exchange.abort = Abort::BodyTooLarge;
        return 0;
    }
    if (line == "\r\n" || line == "\n")
    {
        long status = 0;
        curl_easy_getinfo(exchange.handle, CURLINFO_RESPONSE_CODE, &status);
        exchange.finalHeadersSeen = status >= 200;
    }
    return length;
}

size_t OnBodyData(char* data, size_t size, size_t count, void* context)
{
    auto& exchange = *static_cast<Exchange*>(context);
    const size_t length = size * count;
    if (exchange.body.size() + length > kMaxBodySize)
    {
        exchange.abort = Abort::BodyTooLarge;
        return 0;
    }
    LogDebug("data read: " + std::to_string(length));
    ByteVector& body = exchange.body;
    if (body.size() + length > body.capacity())
    {
        // Grow as a vector does, but never past the limit.
        const size_t doubled = std::max(body.capacity() * 2, body.size() + length);
        body.reserve(std::min<size_t>(doubled, kMaxBodySize));
    }
    body.insert(body.end(), data, data + length);
    return length;
}

// The send and receive time-outs: no byte moved for longer than the limit of the direction
// the exchange is in. Connecting (with the TLS handshake) has libcurl's own connect time-out.
int OnProgress(void* context, curl_off_t downTotal, curl_off_t downNow, curl_off_t upTotal,
               curl_off_t upNow)
{
    (void)downTotal;
    auto& exchange = *static_cast<Exchange*>(context);
    curl_off_t connected = 0;
    curl_easy_getinfo(exchange.handle, CURLINFO_PRETRANSFER_TIME_T, &connected);
    if (connected == 0)
        return 0;
    const auto now = Clock::now();
    if (downNow != exchange.lastDown || upNow != exchange.lastUp)
    {
        exchange.lastDown = downNow;
        exchange.lastUp = upNow;
        exchange.lastProgress = now;
        return 0;
    }
    const bool sending = upNow < upTotal;
    const uint32_t limitMs =
        sending ? exchange.settings.sendTimeoutMs : exchange.settings.receiveTimeoutMs;
    if (now - exchange.lastProgress <= std::chrono::milliseconds(limitMs))
        return 0;
    exchange.abort = Abort::Stalled;
    return 1;
}

using NamedValues = std::vector<std::pair<std::string, std::string>>;

// Lines of the same name replace the earlier value in its place, as WinINet's add-or-replace
// does; "Expect" and "Cache-Control" are dropped. False when a line had to be refused.
bool MergeHeaderLines(const std::vector<std::string>& headerLines, NamedValues& merged)
{
    bool allSafe = true;
    for (const auto& line : headerLines)
    {
        std::string name;
        std::string value;
        if (!SplitHeaderLine(line, name, value))
        {
            LogError("error HttpAddRequestHeaders");
            LogError("header line holds CR or LF or no name");
            allSafe = false;
            continue;
        }
        if (IsSuppressedHeader(name))
            continue;
        auto same =
            std::find_if(merged.begin(), merged.end(),
                         [&](const auto& entry) { return SameHeaderName(entry.first, name); });
        if (same == merged.end())
            merged.emplace_back(name, value);
        else
            same->second = value;
    }
    return allSafe;
}

// The caller's headers in libcurl's spelling, then the fixed ones; libcurl's own "Expect" and
// "Cache-Control" are switched off, and so are its accept types and its form type where the
// caller names none (the request carries no accept types).
std::vector<std::string> CurlHeaderLines(const NamedValues& merged)
{
    std::vector<std::string> lines;
    bool hasContentType = false;
    bool hasAccept = false;
    for (const auto& [name, value] : merged)
    {
        lines.push_back(value.empty() ? name + ";" : name + ": " + value);
        hasContentType = hasContentType || SameHeaderName(name, "Content-Type");
        hasAccept = hasAccept || SameHeaderName(name, "Accept");
    }
    lines.insert(lines.end(), {"Pragma: no-cache", "Expect:", "Cache-Control:"});
    if (!hasAccept)
        lines.push_back("Accept:");
    if (!hasContentType)
        lines.push_back("Content-Type:");
    return lines;
}

} // namespace

class Curl_HTTPClient : public RequestObject
{
public:
    bool SendRequest() override;

private:
    bool BuildHeaderList(HeaderList& list) const;
    void SetTimeouts(CURL* handle, const TransportSettings& settings) const;
    void SetRequestOptions(CURL* handle, const std::string& sentUrl, curl_slist* headers,
                           const TransportSettings& settings) const;
    void SetCallbacks(CURL* handle, Exchange& exchange) const;
    bool Finish(CURLcode code, Exchange& exchange);
};

bool Curl_HTTPClient::BuildHeaderList(HeaderList& list) const
{
    NamedValues merged;
    const bool allSafe = MergeHeaderLines(headerLines, merged);
    for (const auto& line : CurlHeaderLines(merged))
    {
        curl_slist* grown = curl_slist_append(list.get(), line.c_str());
        if (grown == nullptr)
            return false;
        list.release();
        list.reset(grown);
    }
    return allSafe;
}

void Curl_HTTPClient::SetTimeouts(CURL* handle, const TransportSettings& settings) const
{
    if (curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, long(settings.connectTimeoutMs)) !=
        CURLE_OK)
        LogError("error setting connect timeout");
    // The receive and send limits are watched by the progress callback.
    if (curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L) != CURLE_OK)
    {
        LogError("error setting receive timeout");
        LogError("error setting send timeout");
    }
}

void Curl_HTTPClient::SetRequestOptions(CURL* handle, const std::string& sentUrl,
                                        curl_slist* headers,
                                        const TransportSettings& settings) const
{
    curl_easy_setopt(handle, CURLOPT_URL, sentUrl.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(handle, CURLOPT_USERAGENT, "Corvane LibHttp2");
    curl_easy_setopt(handle, CURLOPT_NOPROXY, NoProxyList().c_str());
    curl_easy_setopt(handle, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!settings.trustedCaFile.empty())
        curl_easy_setopt(handle, CURLOPT_CAINFO, settings.trustedCaFile.c_str());
    curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(kMaxBodySize));
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    if (method != METHOD_POST)
        curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, VerbOf(method));
    if (method == METHOD_POST || !body.empty())
    {
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.empty() ? "" : (const char*)body.data());
    }
}

void Curl_HTTPClient::SetCallbacks(CURL* handle, Exchange& exchange) const
{
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, OnHeaderLine);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &exchange);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnBodyData);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &exchange);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &exchange);
}

bool Curl_HTTPClient::SendRequest()
{
    responseHeaders.clear();
    responseBody.clear();
    InitCurlOnce();
    std::string sentUrl;
    if (!PrepareUrl(url, sentUrl))
    {
        LogError("error crack url (winINET)");
        return false;
    }
    EasyHandle handle(curl_easy_init());
    if (!handle)
    {
        LogError("hInitialize handle is invalid");
        return false;
    }
    Exchange exchange;
    exchange.handle = handle.get();
    exchange.settings = GetTransportSettings();
    SetTimeouts(handle.get(), exchange.settings);
    HeaderList headers;
    if (!BuildHeaderList(headers))
        return false;
    SetRequestOptions(handle.get(), sentUrl, headers.get(), exchange.settings);
    SetCallbacks(handle.get(), exchange);
    return Finish(curl_easy_perform(handle.get()), exchange);
}

bool Curl_HTTPClient::Finish(CURLcode code, Exchange& exchange)
{
    long status = 0;
    curl_easy_getinfo(exchange.handle, CURLINFO_RESPONSE_CODE, &status);
    if (status > 0)
        statusCode = int(status);
    if (exchange.abort == Abort::BodyTooLarge || code == CURLE_FILESIZE_EXCEEDED)
    {
        LogError(kSizeLimitText);
        return false;
    }
    if (exchange.abort == Abort::HeadersTooLarge)
    {
        LogError("HttpQueryInfo HTTP_QUERY_RAW_HEADERS_CRLF error");
        LogError("ERROR_INSUFFICIENT_BUFFER");
        return false;
    }
    if (code != CURLE_OK)
    {
        LogError(exchange.finalHeadersSeen ? "InternetReadFile failed" : "HttpSendRequest failed");
        LogError(exchange.abort == Abort::Stalled ? "ERROR_INTERNET_TIMEOUT"
                                                  : curl_easy_strerror(code));
        return false;
    }
    if (!exchange.finalHeadersSeen)
    {
        LogError("HttpQueryInfo HTTP_QUERY_STATUS_CODE error");
        return false;
    }
    responseHeaders = std::move(exchange.headers);
    responseBody = std::move(exchange.body);
    return true;
}

std::unique_ptr<iHTTPClient> CreatePlatformClient()
{
    return std::make_unique<Curl_HTTPClient>();
}

} // namespace LibHttp2::inner
