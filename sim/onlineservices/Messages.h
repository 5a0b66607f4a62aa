#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace OnlineServicesSim
{

using HeaderList = std::vector<std::pair<std::string, std::string>>;

enum class Framing
{
    ContentLength,  // "Content-Length" with the real size, or contentLength when set
    CloseDelimited, // no length at all: the body ends when the connection closes
    Chunked
};

enum class Drop
{
    Never,
    BeforeAnswer, // the request is read, nothing is answered
    AfterHeaders,
    InsideBody // after dropAfterBodyBytes bytes of the body
};

// One answer of the server, sound or deliberately broken.
struct Reply
{
    int status = 200;
    std::string reason; // empty: the usual phrase of the status
    std::string body;
    // Blanks appended to the body while it is sent, so huge bodies cost no memory here.
    uint64_t fillerBytes = 0;
    HeaderList headers;
    Framing framing = Framing::ContentLength;
    std::string contentLength; // sent instead of the real length when not empty
    std::string raw;           // when not empty, sent byte for byte instead of a built answer
    Drop drop = Drop::Never;
    uint64_t dropAfterBodyBytes = 0;
    unsigned delayMs = 0; // waited before anything is answered
    // Opens a session; "$SESSIONID" in the body stands for its id.
    bool openSession = false;
};

// One request exactly as it arrived, and what the server made of it.
struct RecordedRequest
{
    std::string raw;         // every byte received, head and body
    std::string head;        // request line and headers up to and with the empty line
    std::string requestLine; // without its CR LF
    std::string method;
    std::string target;
    std::string version;
    HeaderList headers; // in the order received, names as sent
    std::string body;
    bool tls = false;
    bool complete = false; // false: no well-formed request (the raw bytes tell what came)
    // Below the base path: "ZmrSession", or "CertUpdate/Cardos0" for
    // "CertUpdate/<session id>/Cardos0"; any other path as it is.
    std::string endpoint;
    std::string sessionId; // the decoded path segment of a step call
    bool knownSession = false;
};

Reply JsonReply(std::string body, int status = 200);
// "[[[...]]]" nested depth times: the deep-nesting attack on a recursive parser.
std::string DeepArrays(size_t depth);
const char* ReasonPhrase(int status);

} // namespace OnlineServicesSim
