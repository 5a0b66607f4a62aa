#include "sim/onlineservices/Messages.h"

namespace OnlineServicesSim
{

Reply JsonReply(std::string body, int status)
{
    Reply reply;
    reply.status = status;
    reply.body = std::move(body);
    reply.headers.emplace_back("Content-Type", "application/json");
    return reply;
}

std::string DeepArrays(size_t depth)
{
    return std::string(depth, '[') + std::string(depth, ']');
}

const char* ReasonPhrase(int status)
{
    switch (status)
    {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

} // namespace OnlineServicesSim
