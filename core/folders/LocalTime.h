#pragma once

#include <ctime>
#include <string>

// The local time of a moment in a strftime format; empty when it cannot be converted. Safe on
// any thread.
std::string FormatLocalTime(std::time_t when, const char* format);
