#include "platform/DebugOutput.h"

#include <mutex>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform
{
namespace
{
struct DebugSink
{
    std::mutex mutex;
    std::function<void(const std::string&)> function;
};

// Never destroyed: loggers may still write while static objects are torn down at exit.
DebugSink& Sink()
{
    static DebugSink* const sink = new DebugSink;
    return *sink;
}
} // namespace

void OutputDebugText(const std::string& text)
{
#ifdef _WIN32
    OutputDebugStringA(text.c_str());
#endif
    // Called under the lock so that once a sink is removed it is never called again.
    DebugSink& sink = Sink();
    std::lock_guard<std::mutex> lock(sink.mutex);
    if (sink.function)
        sink.function(text);
}

void SetDebugOutputSink(std::function<void(const std::string&)> function)
{
    DebugSink& sink = Sink();
    std::lock_guard<std::mutex> lock(sink.mutex);
    sink.function = std::move(function);
}
} // namespace platform
