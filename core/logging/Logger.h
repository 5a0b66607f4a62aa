#pragma once

#include <cstdint>
#include <ctime>
#include <fstream>
#include <list>
#include <mutex>
#include <string>

namespace LibLogging
{

enum LogType : int32_t
{
    LOG_ERROR = 0,
    LOG_MESSAGE = 1,
    LOG_DEBUG = 2,
    LOG_IN_FUNCTION = 3,
    LOG_OUT_FUNCTION = 4,
    LOG_STACKTRACE = 5,
    LOG_WARNING = 6,
    LOG_PLAIN = 7 // ": " and the text only
};

const char* LogLevelName(int32_t type);

struct LogHistoryEntry
{
    int64_t time;
    LogType type;
    std::string text;
};

class Logger
{
public:
    explicit Logger(int32_t index);
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    static Logger* GetInstance(unsigned index);

    void Init(const std::string& path);
    void Destroy();

    void Error(const std::string& text);
    void Warning(const std::string& text);
    void Message(const std::string& text);
    void Debug(const std::string& text);
    void Write(const std::string& context, const std::string& text, LogType type);

    // Plain members: the application switches these on right after Init.
    bool enabled = false;
    bool showThreadId = true;

    // (the remaining members and internal operations are declared by the logging library)
};

} // namespace LibLogging

LibLogging::Logger* GetAppLogger();
