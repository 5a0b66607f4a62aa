#include "platform/LocalTime.h"

namespace platform
{
bool ToLocalTime(std::time_t when, std::tm& out)
{
    return localtime_r(&when, &out) != nullptr;
}
} // namespace platform
