#pragma once

#include "core/http/HTTPClient.h"
#include "core/http/RequestRules.h"

#include <string>
#include <utility>
#include <vector>

namespace LibHttp2::inner
{

// What a request object records and answers; the platform's class adds SendRequest.
class RequestObject : public iHTTPClient
{
public:
    bool SetUrl(std::string newUrl) override
    {
        url = std::move(newUrl);
        return true;
    }
    void SetMethod(int newMethod) override { method = newMethod; }
    void AddHeader(std::string name, std::string value) override
    {
        headerLines.push_back(HeaderLine(name, value));
    }
    void SetBody(ByteVector newBody) override { body = std::move(newBody); }
    int GetStatusCode() override { return statusCode; }
    ByteVector GetResponseHeaders() override { return responseHeaders; }
    ByteVector GetResponseBody() override { return responseBody; }

protected:
    std::string url;
    int method = METHOD_GET;
    std::vector<std::string> headerLines; // each complete with its CR LF
    ByteVector body;
    ByteVector responseHeaders;
    ByteVector responseBody;
    int statusCode = 0;
};

} // namespace LibHttp2::inner
