#include "core/logging/Logger.h"

#include "core/folders/LocalTime.h"
#include "core/folders/PathUtil.h"
#include "core/logging/LogFileNames.h"
#include "platform/DebugOutput.h"
#include "platform/Thread.h"

#include <iomanip>
#include <memory>
#include <sstream>
#include <vector>

namespace LibLogging
{
namespace
{
using Lock = std::lock_guard<std::recursive_mutex>;
using RegistryLock = std::lock_guard<std::mutex>;

// Constant-initialised, so it exists before any static constructor can log.
std::mutex registryMutex;
int32_t appLoggerIndex = -1;

// Never freed, so loggers stay usable from static destructors at exit.
std::vector<std::unique_ptr<Logger>>& Registry()
{
    static auto* registry = new std::vector<std::unique_ptr<Logger>>();
    return *registry;
}

// Opened in binary mode so every system gets the same CR LF line ends.
constexpr std::ios::openmode kEmptied = std::ios::out | std::ios::binary | std::ios::trunc;
constexpr std::ios::openmode kAppended = std::ios::out | std::ios::binary | std::ios::app;
constexpr char kLineEnd[] = "\r\n";
} // namespace

const char* LogLevelName(int32_t type)
{
    switch (type)
    {
    case LOG_ERROR:
        return "ERROR";
    case LOG_DEBUG:
        return "DEBUG";
    case LOG_IN_FUNCTION:
        return "IN FUNCTION";
    case LOG_OUT_FUNCTION:
        return "OUT FUNCTION";
    case LOG_STACKTRACE:
        return "STACKTRACE";
    case LOG_WARNING:
        return "WARNING";
    default:
        return "MESSAGE";
    }
}

Logger::Logger(int32_t index) : index_(index) {}

Logger::~Logger() = default;

Logger* Logger::GetInstance(unsigned index)
{
    RegistryLock lock(registryMutex);
    auto& registry = Registry();
    if (registry.empty())
        registry.push_back(std::make_unique<Logger>(0));
    if (index >= registry.size())
        return nullptr;
    if (!registry[index])
        registry[index] = std::make_unique<Logger>(static_cast<int32_t>(index));
    return registry[index].get();
}

void Logger::Init(const std::string& path)
{
    Lock lock(mutex_);
    level_ = 5;
    maxLines_ = 10000;
    lines_ = 0;
    bytes_ = 0;
    rotationCounter_ = 0;
    copyToDebugOutput_ = true;
    showThreadId = false;
    const std::string threadId = std::to_string(platform::CurrentThreadId());
    path_ = AddLogExtension(ReplaceAll(path, "#a", threadId));
    Open(path_);
}

std::string Logger::LogPath() const
{
    Lock lock(mutex_);
    return path_;
}

void Logger::Open(const std::string& path)
{
    Lock lock(mutex_);
    // An earlier file that cannot be copied aside keeps its lines; the new ones follow them.
    const bool copiedAside =
        !LogFileExists(path) || CopyLogFile(path, NextFreeLogName(TimestampedLogName(path)), false);
    for (int32_t number = 0;; ++number)
    {
        const std::string copy = NumberedLogName(path, number);
        if (!LogFileExists(copy))
            break;
        CopyLogFile(copy, TimestampedLogName(copy), true);
    }
    file_.close();
    file_.clear();
    file_.open(path, copiedAside ? kEmptied : kAppended);
}

void Logger::Rotate()
{
    Lock lock(mutex_);
    const std::string copy = NumberedLogName(path_, rotationCounter_);
    ++rotationCounter_;
    lines_ = 0;
    bytes_ = 0;
    file_.close();
    file_.clear();
    // When the copy fails the lines stay in the log file, which then grows past the limit.
    file_.open(path_, CopyLogFile(path_, copy, false) ? kEmptied : kAppended);
}

std::string Logger::FormatLine(const std::string& context, LogType type,
                               const std::string& text) const
{
    std::ostringstream line;
    if (type != LOG_PLAIN)
    {
        line << FormatLocalTime(std::time(nullptr), "%Y-%m-%d %H:%M:%S") << std::setw(13)
             << LogLevelName(type);
        if (showThreadId)
            line << " (" << platform::CurrentThreadId() << ")";
        if (context.size() > 1)
            line << ": " << context;
    }
    line << ": " << text << kLineEnd;
    return line.str();
}

void Logger::AddHistory(LogType type, const std::string& text)
{
    if (static_cast<int32_t>(history_.size()) >= historyCapacity_)
        history_.pop_back();
    history_.push_front(LogHistoryEntry{static_cast<int64_t>(std::time(nullptr)), type, text});
}

void Logger::Write(const std::string& context, const std::string& text, LogType type)
{
    if (!enabled)
        return;
    const std::string line = FormatLine(context, type, text);
    // Sent after the logger's lock is released, so a slow debugger holds up no other writer.
    if (WriteToFile(type, text, line) && copyToDebugOutput_)
        platform::OutputDebugText(line);
}

bool Logger::WriteToFile(LogType type, const std::string& text, const std::string& line)
{
    // The rotation test, the write and the count form one step, so concurrent writers can
    // neither lose a rotation nor overfill a file.
    Lock lock(mutex_);
    if (!file_.is_open())
        return false;
    if ((rotateByLines_ && lines_ >= maxLines_) || (rotateByBytes_ && bytes_ >= maxBytes_))
        Rotate();
    if (historyMode_ != 0)
        AddHistory(type, text);
    if (historyMode_ == 1)
        return true;
    file_ << line;
    file_.flush();
    if (rotateByLines_)
        ++lines_;
    if (rotateByBytes_)
        bytes_ += static_cast<uint32_t>(line.size() - 1); // the line end counts as one
    return true;
}

void Logger::WriteLevelled(int32_t minimumLevel, LogType type, const std::string& text)
{
    if (level_ >= minimumLevel)
        Write("", text, type);
}

void Logger::Error(const std::string& text)
{
    WriteLevelled(1, LOG_ERROR, text);
}

void Logger::Warning(const std::string& text)
{
    WriteLevelled(2, LOG_WARNING, text);
}

void Logger::Message(const std::string& text)
{
    WriteLevelled(3, LOG_MESSAGE, text);
}

void Logger::Debug(const std::string& text)
{
    WriteLevelled(4, LOG_DEBUG, text);
}

void Logger::Destroy()
{
    RegistryLock lock(registryMutex);
    auto& registry = Registry();
    const bool registered = index_ > 0 && static_cast<size_t>(index_) < registry.size() &&
                            registry[static_cast<size_t>(index_)].get() == this;
    if (!registered)
        return;
    Debug("Destroy()");
    Write("", "close LibLogging", LOG_DEBUG);
    {
        Lock fileLock(mutex_);
        file_.close();
    }
    const size_t slot = static_cast<size_t>(index_);
    index_ = -1;
    registry[slot].reset(); // deletes this logger; nothing of it may be touched afterwards
}

} // namespace LibLogging

LibLogging::Logger* GetAppLogger()
{
    int32_t index;
    {
        // Taken before the index is read, so the first call may come from any thread.
        std::lock_guard<std::mutex> lock(LibLogging::registryMutex);
        if (LibLogging::appLoggerIndex < 0)
        {
            auto& registry = LibLogging::Registry();
            if (registry.empty())
                registry.emplace_back(); // slot 0 stays free for GetInstance(0)
            LibLogging::appLoggerIndex = static_cast<int32_t>(registry.size());
            registry.push_back(std::make_unique<LibLogging::Logger>(LibLogging::appLoggerIndex));
        }
        index = LibLogging::appLoggerIndex;
    }
    return LibLogging::Logger::GetInstance(static_cast<unsigned>(index));
}
