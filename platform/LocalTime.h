#pragma once

#include <ctime>

namespace platform
{
// The local time of a moment, converted without the shared buffer of std::localtime so any
// thread may call it; false when the moment cannot be converted.
bool ToLocalTime(std::time_t when, std::tm& out);
} // namespace platform
