#pragma once

#include <functional>
#include <string>

namespace platform
{
// Sends a text to the debugger output (OutputDebugStringA on Windows; on Linux nothing unless a
// sink is installed).
void OutputDebugText(const std::string& text);

// Tests capture the debugger output through this; an empty function removes the sink.
void SetDebugOutputSink(std::function<void(const std::string&)> sink);
} // namespace platform
