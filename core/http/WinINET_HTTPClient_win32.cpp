// The request object over WinINet: one synchronous exchange per SendRequest, with its own
// session, connection and request handles.

#include "core/http/RequestObject.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#ifdef _MSC_VER
#pragma comment(lib, "wininet.lib")
#endif

namespace LibHttp2::inner
{

void LogWinInetError(DWORD code);

namespace
{

struct InternetHandleCloser
{
    void operator()(void* handle) const { InternetCloseHandle(static_cast<HINTERNET>(handle)); }
};
using InternetHandle = std::unique_ptr<void, InternetHandleCloser>;

struct ErrorName
{
    DWORD code;
    const char* name;
};

#define NAMED(code)                                                                                \
    {                                                                                              \
        code, #code                                                                                \
    }
const ErrorName kErrorNames[] = {NAMED(ERROR_DISK_FULL),
                                 NAMED(ERROR_INSUFFICIENT_BUFFER),
                                 NAMED(ERROR_INTERNET_OUT_OF_HANDLES),
                                 NAMED(ERROR_INTERNET_TIMEOUT),
                                 NAMED(ERROR_INTERNET_EXTENDED_ERROR),
                                 NAMED(ERROR_INTERNET_INTERNAL_ERROR),
                                 NAMED(ERROR_INTERNET_INVALID_URL),
                                 NAMED(ERROR_INTERNET_UNRECOGNIZED_SCHEME),
                                 NAMED(ERROR_INTERNET_NAME_NOT_RESOLVED),
                                 NAMED(ERROR_INTERNET_PROTOCOL_NOT_FOUND),
                                 NAMED(ERROR_INTERNET_INVALID_OPTION),
                                 NAMED(ERROR_INTERNET_BAD_OPTION_LENGTH),
                                 NAMED(ERROR_INTERNET_OPTION_NOT_SETTABLE),
                                 NAMED(ERROR_INTERNET_SHUTDOWN),
                                 NAMED(ERROR_INTERNET_INCORRECT_USER_NAME),
                                 NAMED(ERROR_INTERNET_INCORRECT_PASSWORD),
                                 NAMED(ERROR_INTERNET_LOGIN_FAILURE),
                                 NAMED(ERROR_INTERNET_INVALID_OPERATION),
                                 NAMED(ERROR_INTERNET_OPERATION_CANCELLED),
                                 NAMED(ERROR_INTERNET_INCORRECT_HANDLE_TYPE),
                                 NAMED(ERROR_INTERNET_INCORRECT_HANDLE_STATE),
                                 NAMED(ERROR_INTERNET_NOT_PROXY_REQUEST),
                                 NAMED(ERROR_INTERNET_REGISTRY_VALUE_NOT_FOUND),
                                 NAMED(ERROR_INTERNET_BAD_REGISTRY_PARAMETER),
                                 NAMED(ERROR_INTERNET_NO_DIRECT_ACCESS),
                                 NAMED(ERROR_INTERNET_NO_CONTEXT),
                                 NAMED(ERROR_INTERNET_NO_CALLBACK),
                                 NAMED(ERROR_INTERNET_REQUEST_PENDING),
                                 NAMED(ERROR_INTERNET_INCORRECT_FORMAT),
                                 NAMED(ERROR_INTERNET_ITEM_NOT_FOUND),
                                 NAMED(ERROR_INTERNET_CANNOT_CONNECT),
                                 NAMED(ERROR_INTERNET_CONNECTION_ABORTED),
                                 NAMED(ERROR_INTERNET_CONNECTION_RESET),
                                 NAMED(ERROR_INTERNET_INVALID_PROXY_REQUEST),
                                 NAMED(ERROR_INTERNET_NEED_UI),
                                 NAMED(ERROR_INTERNET_HANDLE_EXISTS),
                                 NAMED(ERROR_INTERNET_SEC_CERT_DATE_INVALID),
                                 NAMED(ERROR_INTERNET_SEC_CERT_CN_INVALID),
                                 NAMED(ERROR_INTERNET_HTTP_TO_HTTPS_ON_REDIR),
                                 NAMED(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR),
                                 NAMED(ERROR_INTERNET_MIXED_SECURITY),
                                 NAMED(ERROR_INTERNET_CHG_POST_IS_NON_SECURE),
                                 NAMED(ERROR_INTERNET_POST_IS_NON_SECURE),
                                 NAMED(ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED),
                                 NAMED(ERROR_INTERNET_INVALID_CA),
                                 NAMED(ERROR_INTERNET_CLIENT_AUTH_NOT_SETUP),
                                 NAMED(ERROR_INTERNET_ASYNC_THREAD_FAILED),
                                 NAMED(ERROR_INTERNET_REDIRECT_SCHEME_CHANGE),
                                 NAMED(ERROR_INTERNET_DIALOG_PENDING),
                                 NAMED(ERROR_INTERNET_RETRY_DIALOG),
                                 NAMED(ERROR_INTERNET_HTTPS_HTTP_SUBMIT_REDIR),
                                 NAMED(ERROR_INTERNET_INSERT_CDROM),
                                 NAMED(ERROR_INTERNET_FORTEZZA_LOGIN_NEEDED),
                                 NAMED(ERROR_INTERNET_SEC_CERT_ERRORS),
                                 NAMED(ERROR_INTERNET_SEC_CERT_NO_REV),
                                 NAMED(ERROR_INTERNET_SEC_CERT_REV_FAILED),
                                 NAMED(ERROR_FTP_TRANSFER_IN_PROGRESS),
                                 NAMED(ERROR_FTP_DROPPED),
                                 NAMED(ERROR_FTP_NO_PASSIVE_MODE),
                                 NAMED(ERROR_GOPHER_PROTOCOL_ERROR),
                                 NAMED(ERROR_GOPHER_NOT_FILE),
                                 NAMED(ERROR_GOPHER_DATA_ERROR),
                                 NAMED(ERROR_GOPHER_END_OF_DATA),
                                 NAMED(ERROR_GOPHER_INVALID_LOCATOR),
                                 NAMED(ERROR_GOPHER_INCORRECT_LOCATOR_TYPE),
                                 NAMED(ERROR_GOPHER_NOT_GOPHER_PLUS),
                                 NAMED(ERROR_GOPHER_ATTRIBUTE_NOT_FOUND),
                                 NAMED(ERROR_GOPHER_UNKNOWN_LOCATOR),
                                 NAMED(ERROR_HTTP_HEADER_NOT_FOUND),
                                 NAMED(ERROR_HTTP_DOWNLEVEL_SERVER),
                                 NAMED(ERROR_HTTP_INVALID_SERVER_RESPONSE),
                                 NAMED(ERROR_HTTP_INVALID_HEADER),
                                 NAMED(ERROR_HTTP_INVALID_QUERY_REQUEST),
                                 NAMED(ERROR_HTTP_HEADER_ALREADY_EXISTS),
                                 NAMED(ERROR_HTTP_REDIRECT_FAILED),
                                 NAMED(ERROR_INTERNET_SECURITY_CHANNEL_ERROR),
                                 NAMED(ERROR_INTERNET_UNABLE_TO_CACHE_FILE),
                                 NAMED(ERROR_INTERNET_TCPIP_NOT_INSTALLED),
                                 NAMED(ERROR_HTTP_NOT_REDIRECTED),
                                 NAMED(ERROR_HTTP_COOKIE_NEEDS_CONFIRMATION),
                                 NAMED(ERROR_HTTP_COOKIE_DECLINED),
                                 NAMED(ERROR_INTERNET_DISCONNECTED),
                                 NAMED(ERROR_INTERNET_SERVER_UNREACHABLE),
                                 NAMED(ERROR_INTERNET_PROXY_SERVER_UNREACHABLE),
                                 NAMED(ERROR_INTERNET_BAD_AUTO_PROXY_SCRIPT),
                                 NAMED(ERROR_INTERNET_UNABLE_TO_DOWNLOAD_SCRIPT),
                                 NAMED(ERROR_HTTP_REDIRECT_NEEDS_CONFIRMATION),
                                 NAMED(ERROR_INTERNET_SEC_INVALID_CERT),
                                 NAMED(ERROR_INTERNET_SEC_CERT_REVOKED),
                                 NAMED(ERROR_INTERNET_FAILED_DUETOSECURITYCHECK),
                                 NAMED(ERROR_INTERNET_NOT_INITIALIZED),
                                 NAMED(ERROR_INTERNET_NEED_MSN_SSPI_PKG),
                                 NAMED(ERROR_INTERNET_LOGIN_FAILURE_DISPLAY_ENTITY_BODY)};
#undef NAMED

void ReportWithLastError(const char* text)
{
    const DWORD code = GetLastError();
    LogError(text);
    LogWinInetError(code);
}

// The pieces of a URL that the request needs, copied out of InternetCrackUrlA's answer.
struct CrackedUrl
{
    std::string scheme;
    std::string host;
    std::string path;
    INTERNET_PORT port = 0;
};

bool CrackUrl(const std::string& url, CrackedUrl& cracked)
{
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = 1;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts))
        return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        return false;
    cracked.scheme.assign(parts.lpszScheme, parts.dwSchemeLength);
    cracked.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    // The extra part ("?" and what follows) is not sent.
    cracked.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (cracked.path.empty())
        cracked.path = "/";
    cracked.port = parts.nPort;
    return !cracked.host.empty();
}

void SetTimeout(HINTERNET session, DWORD option, DWORD milliseconds, const char* failure)
{
    if (!InternetSetOptionW(session, option, &milliseconds, sizeof(milliseconds)))
        ReportWithLastError(failure);
}

// Windows hands the session's time-outs down to its requests; Wine does not, so the request
// gets them too.
void SetRequestTimeouts(HINTERNET request, const TransportSettings& settings)
{
    const std::pair<DWORD, DWORD> timeouts[] = {
        {INTERNET_OPTION_CONNECT_TIMEOUT, settings.connectTimeoutMs},
        {INTERNET_OPTION_RECEIVE_TIMEOUT, settings.receiveTimeoutMs},
        {INTERNET_OPTION_SEND_TIMEOUT, settings.sendTimeoutMs}};
    for (auto [option, milliseconds] : timeouts)
        InternetSetOptionW(request, option, &milliseconds, sizeof(milliseconds));
}

// "HTTP/1.x NNN ...": WinINet takes an answer without a status line for HTTP/0.9 and passes a
// status line without a code; neither is an answer.
bool HasStatusLine(const ByteVector& rawHeaders)
{
    const std::string start(rawHeaders.begin(),
                            rawHeaders.begin() + std::min<size_t>(rawHeaders.size(), 13));
    if (start.size() < 13 || start.compare(0, 7, "HTTP/1.") != 0 || start[8] != ' ' ||
        (start[12] != ' ' && start[12] != '\r'))
        return false;
    for (size_t i = 9; i < 12; ++i)
        if (start[i] < '0' || start[i] > '9')
            return false;
    return start[9] != '0';
}

bool QueryHeaderText(HINTERNET request, DWORD info, std::string& text)
{
    char buffer[1024] = {};
    DWORD length = sizeof(buffer) - 1;
    if (!HttpQueryInfoA(request, info, buffer, &length, nullptr))
        return false;
    text.assign(buffer, length);
    return true;
}

// Removes "Expect" and "Cache-Control" where WinINet has put them. Only headers that are there
// are removed: asked to remove an absent header, Wine adds it empty.
void RemoveSuppressedHeaders(HINTERNET request)
{
    for (const char* name : {"Expect", "Cache-Control"})
    {
        char buffer[1024] = {};
        std::string(name).copy(buffer, sizeof(buffer) - 1);
        DWORD length = sizeof(buffer);
        if (HttpQueryInfoA(request, HTTP_QUERY_CUSTOM | HTTP_QUERY_FLAG_REQUEST_HEADERS, buffer,
                           &length, nullptr))
        {
            const std::string removal = std::string(name) + ":";
            HttpAddRequestHeadersA(request, removal.c_str(), static_cast<DWORD>(removal.size()),
                                   HTTP_ADDREQ_FLAG_REPLACE);
        }
    }
}

} // namespace

class WinINET_HTTPClient : public RequestObject
{
public:
    bool SendRequest() override;

private:
    // The announced body size, when the answer announced one.
    bool lengthAnnounced = false;
    uint64_t announcedLength = 0;

    bool AddHeaderLines(HINTERNET request) const;
    static bool AddHeaderLine(HINTERNET request, const std::string& line);
    bool Send(HINTERNET request) const;
    bool ReadAnswer(HINTERNET request);
    bool ReadStatusAndLength(HINTERNET request);
    bool ReadRawHeaders(HINTERNET request);
    bool ReadBody(HINTERNET request);
};

// "Expect" and "Cache-Control" lines of the caller are left out instead of being added and
// removed again.
bool WinINET_HTTPClient::AddHeaderLines(HINTERNET request) const
{
    bool allAdded = true;
    for (const auto& line : headerLines)
    {
        std::string name;
        std::string value;
        if (!IsSafeHeaderLine(line))
        {
            LogError("error HttpAddRequestHeaders");
            LogError("header line holds CR or LF");
            allAdded = false;
        }
        else if (!SplitHeaderLine(line, name, value) || !IsSuppressedHeader(name))
            allAdded = AddHeaderLine(request, line) && allAdded;
    }
    return allAdded;
}

bool WinINET_HTTPClient::AddHeaderLine(HINTERNET request, const std::string& line)
{
    if (HttpAddRequestHeadersA(request, line.c_str(), static_cast<DWORD>(line.size()),
                               HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE))
        return true;
    ReportWithLastError("error HttpAddRequestHeaders");
    return false;
}

bool WinINET_HTTPClient::Send(HINTERNET request) const
{
    RemoveSuppressedHeaders(request);
    if (body.size() > MAXDWORD)
        return false;
    void* data = body.empty() ? nullptr : const_cast<unsigned char*>(body.data());
    if (!HttpSendRequestW(request, nullptr, 0, data, static_cast<DWORD>(body.size())))
    {
        ReportWithLastError("HttpSendRequest failed");
        return false;
    }
    return true;
}

bool WinINET_HTTPClient::ReadStatusAndLength(HINTERNET request)
{
    bool ok = true;
    std::string text;
    if (QueryHeaderText(request, HTTP_QUERY_STATUS_CODE, text))
        statusCode = std::atoi(text.c_str());
    else
    {
        ReportWithLastError("HttpQueryInfo HTTP_QUERY_STATUS_CODE error");
        ok = false;
    }
    lengthAnnounced = QueryHeaderText(request, HTTP_QUERY_CONTENT_LENGTH, text);
    if (lengthAnnounced && !ContentLengthAcceptable(text))
    {
        LogError(kSizeLimitText);
        return false;
    }
    if (lengthAnnounced)
        ParseContentLength(text, announcedLength);
    return ok;
}

bool WinINET_HTTPClient::ReadRawHeaders(HINTERNET request)
{
    std::vector<char> buffer(kMaxRawHeaderSize);
    DWORD length = static_cast<DWORD>(buffer.size());
    if (!HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr))
    {
        ReportWithLastError("HttpQueryInfo HTTP_QUERY_RAW_HEADERS_CRLF error");
        return false;
    }
    responseHeaders.assign(buffer.begin(), buffer.begin() + length);
    if (!HasStatusLine(responseHeaders))
    {
        LogError("no HTTP/1.x status line in the answer");
        return false;
    }
    return true;
}

// Reads what WinINet offers, piece by piece. While nothing has arrived yet, an empty answer
// is waited on five times for 100 ms. A failed query or read, or a body above the limit,
// fails the request: a cut-off body is no answer.
bool WinINET_HTTPClient::ReadBody(HINTERNET request)
{
    int waitsLeft = 5;
    bool received = false;
    for (;;)
    {
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0))
        {
            ReportWithLastError("InternetQueryDataAvailable failed");
            return false;
        }
        LogDebug("data available: " + std::to_string(available));
        if (available > 0)
        {
            const size_t room = kMaxBodySize - responseBody.size() + 1;
            const DWORD wanted = static_cast<DWORD>(available < room ? available : room);
            std::vector<unsigned char> piece(size_t(wanted) + 2, 0);
            DWORD read = 0;
            if (!InternetReadFile(request, piece.data(), wanted, &read))
            {
                ReportWithLastError("InternetReadFile failed");
                return false;
            }
            LogDebug("data read: " + std::to_string(read));
            if (responseBody.size() + read > kMaxBodySize)
            {
                LogError(kSizeLimitText);
                return false;
            }
            responseBody.insert(responseBody.end(), piece.begin(), piece.begin() + read);
            received = received || read > 0;
        }
        else if (!received && waitsLeft > 0)
        {
            LogDebug("not inital data, retrycount=" + std::to_string(waitsLeft));
            Sleep(100);
            --waitsLeft;
        }
        else if (lengthAnnounced && responseBody.size() != announcedLength)
        {
            // The connection ended before the announced body was complete.
            LogError("body shorter than its Content-Length: " +
                     std::to_string(responseBody.size()));
            return false;
        }
        else
            return true;
    }
}

bool WinINET_HTTPClient::ReadAnswer(HINTERNET request)
{
    // The head is judged before its status code is taken, so a broken answer keeps the status
    // of the one before.
    if (ReadRawHeaders(request) && ReadStatusAndLength(request) && ReadBody(request))
        return true;
    // A cut-off answer is no answer: none of it stays readable, as with the libcurl client.
    responseHeaders.clear();
    responseBody.clear();
    return false;
}

bool WinINET_HTTPClient::SendRequest()
{
    responseHeaders.clear();
    responseBody.clear();
    CrackedUrl target;
    if (!CrackUrl(url, target))
    {
        LogError("error crack url (winINET)");
        return false;
    }
    InternetHandle session(
        InternetOpenA("Corvane LibHttp2", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session)
    {
        ReportWithLastError("hInitialize handle is invalid");
        return false;
    }
    const TransportSettings settings = GetTransportSettings();
    SetTimeout(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, settings.connectTimeoutMs,
               "error setting connect timeout");
    SetTimeout(session.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, settings.receiveTimeoutMs,
               "error setting receive timeout");
    SetTimeout(session.get(), INTERNET_OPTION_SEND_TIMEOUT, settings.sendTimeoutMs,
               "error setting send timeout");
    InternetHandle connection(InternetConnectA(session.get(), target.host.c_str(), target.port,
                                               nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection)
    {
        ReportWithLastError("hConnection handle is invalid");
        return false;
    }
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                  INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_COOKIES |
                  INTERNET_FLAG_PRAGMA_NOCACHE;
    if (UsesTls(target.scheme, target.port))
        flags |= INTERNET_FLAG_SECURE;
    InternetHandle request(HttpOpenRequestA(connection.get(), VerbOf(method), target.path.c_str(),
                                            "HTTP/1.1", nullptr, nullptr, flags, 0));
    if (!request)
    {
        ReportWithLastError("hRequest handle is invalid");
        return false;
    }
    SetRequestTimeouts(request.get(), settings);
    if (!AddHeaderLines(request.get()) || !Send(request.get()))
        return false;
    // Leaving closes the handles in reverse order: request, connection, session.
    return ReadAnswer(request.get());
}

void LogWinInetError(DWORD code)
{
    for (const auto& entry : kErrorNames)
    {
        if (entry.code == code)
        {
            LogError(entry.name);
            return;
        }
    }
    LogError("unknown error: " + std::to_string(code));
}

std::unique_ptr<iHTTPClient> CreatePlatformClient()
{
    return std::make_unique<WinINET_HTTPClient>();
}

} // namespace LibHttp2::inner
