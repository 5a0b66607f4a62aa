#pragma once

#include "core/Bytes.h"

#include <cstdint>
#include <memory>
#include <string>

namespace LibHttp2
{

// Verb of a request; any other value sends GET. (Windows headers define DELETE as a macro,
// hence the prefix.)
enum RequestMethod : int
{
    METHOD_POST = 0,
    METHOD_GET = 1,
    METHOD_DELETE = 2,
    METHOD_PUT = 3
};

// Bodies larger than this are refused, announced or not.
constexpr uint32_t kMaxBodySize = 20971520;
// Raw response headers (status line included) larger than this fail the request.
constexpr uint32_t kMaxRawHeaderSize = 10240;
constexpr uint32_t kDefaultTimeoutMs = 200000;

// Process-wide text hooks; unset by default, so the texts are dropped.
using LogHook = void (*)(const char* text);
void SetErrorHook(LogHook hook);
void SetDebugHook(LogHook hook);

struct TransportSettings
{
    uint32_t connectTimeoutMs = kDefaultTimeoutMs;
    uint32_t sendTimeoutMs = kDefaultTimeoutMs;
    uint32_t receiveTimeoutMs = kDefaultTimeoutMs;
    // Extra CA certificates (PEM file) trusted besides the system's; empty for none. Only the
    // libcurl client has this seam: WinINet trusts the system's certificate store alone.
    std::string trustedCaFile;
};

// Seam for tests: shorter time-outs and a test CA. Every request reads the settings when it
// is sent.
void SetTransportSettingsForTesting(const TransportSettings& settings);
TransportSettings GetTransportSettings();

namespace inner
{

void LogError(const std::string& text);
void LogDebug(const std::string& text);

class iHTTPClient
{
public:
    virtual ~iHTTPClient() = default;

    virtual bool SetUrl(std::string url) = 0;
    virtual void SetMethod(int method) = 0;
    virtual void AddHeader(std::string name, std::string value) = 0;
    virtual void SetBody(ByteVector body) = 0;
    virtual bool SendRequest() = 0;
    virtual int GetStatusCode() = 0;
    virtual ByteVector GetResponseHeaders() = 0;
    virtual ByteVector GetResponseBody() = 0;
};

// The request object of this platform (WinINet on Windows, libcurl elsewhere).
std::unique_ptr<iHTTPClient> CreatePlatformClient();

} // namespace inner

class HTTPClient
{
public:
    HTTPClient();
    ~HTTPClient();
    HTTPClient(const HTTPClient&) = delete;
    HTTPClient& operator=(const HTTPClient&) = delete;

    bool SetUrl(const std::string& url);
    void AddHeader(const std::string& name, const std::string& value);
    void SetBody(const std::string& body);

    // Method, sending and results are reached through the request object itself.
    inner::iHTTPClient& Request() { return *request; }

private:
    std::unique_ptr<inner::iHTTPClient> request;
};

} // namespace LibHttp2
