#include "core/folders/LocalTime.h"

#include "platform/LocalTime.h"

std::string FormatLocalTime(std::time_t when, const char* format)
{
    std::tm local{};
    if (!platform::ToLocalTime(when, local))
        return {};
    char buffer[128];
    const size_t length = std::strftime(buffer, sizeof(buffer), format, &local);
    return std::string(buffer, length);
}
