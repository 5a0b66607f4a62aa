#pragma once

#include <ctime>
#include <string>

// The local time of a moment, converted without the shared buffer of std::localtime so any
// thread may call it; false when the moment cannot be converted.
bool ToLocalTime(std::time_t when, std::tm& out);

// The local time of a moment in a strftime format; empty when it cannot be converted.
std::string FormatLocalTime(std::time_t when, const char* format);
