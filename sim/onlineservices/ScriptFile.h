#pragma once

#include "sim/onlineservices/Server.h"

#include <cstdint>
#include <string>

namespace OnlineServicesSim
{

// A script names endpoints, each with a reply for every call and replies for single calls:
//   { "ZmrSession": { "every": REPLY, "calls": { "2": REPLY } } }
// REPLY: { "status": 200, "reason": "OK", "body": "text", "json": <any value, written as the
//   body>, "deepArrays": N, "fillerBytes": N, "headers": [["Name", "value"], ...],
//   "framing": "length" | "close" | "chunked", "contentLength": "text", "raw": "bytes",
//   "drop": "never" | "before-answer" | "after-headers" | "inside-body",
//   "dropAfterBodyBytes": N, "delayMs": N, "openSession": true }
bool ParseScript(const std::string& jsonText, Script& script, std::string& error);

// A number written in decimal digits alone, at most max: no sign, blank or wrap-around.
bool ParseDecimal(const std::string& text, uint64_t max, uint64_t& value);

} // namespace OnlineServicesSim
