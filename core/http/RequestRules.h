#pragma once

// Rules both request implementations share, so they behave alike.

#include <cstdint>
#include <string>
#include <vector>

namespace LibHttp2::inner
{

// Windows-1252 text, as the library has always reported it.
extern const char* const kSizeLimitText;

const char* VerbOf(int method);

// "name: value\r\n"
std::string HeaderLine(const std::string& name, const std::string& value);
// A line whose name or value holds CR or LF would smuggle further headers: refused.
bool IsSafeHeaderLine(const std::string& line);
// Splits a recorded line back into name and value (without the trailing CR LF).
bool SplitHeaderLine(const std::string& line, std::string& name, std::string& value);
// "Expect" and "Cache-Control" are never sent.
bool IsSuppressedHeader(const std::string& name);
bool SameHeaderName(const std::string& a, const std::string& b);

// TLS is used for the https scheme and for port 443, whatever the scheme says.
bool UsesTls(const std::string& scheme, unsigned port);

// A Content-Length value as a plain decimal number, saturating instead of wrapping.
// False when the text is not a number at all.
bool ParseContentLength(const std::string& text, uint64_t& value);
// False for a value above the body limit and for anything that is not a plain number.
bool ContentLengthAcceptable(const std::string& text);

} // namespace LibHttp2::inner
