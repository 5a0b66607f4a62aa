#pragma once

#include <cstdint>

namespace platform
{
// The calling thread's id as the system numbers it (32 bits, as on Windows).
uint32_t CurrentThreadId();
} // namespace platform
