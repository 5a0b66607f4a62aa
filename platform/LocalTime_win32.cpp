#include "platform/LocalTime.h"

namespace platform
{
bool ToLocalTime(std::time_t when, std::tm& out)
{
    return localtime_s(&out, &when) == 0;
}
} // namespace platform
