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

    // The completed path of the log file; empty before Init.
    std::string LogPath() const;

private:
    void Open(const std::string& path);
    void Rotate();
    std::string FormatLine(const std::string& context, LogType type, const std::string& text) const;
    void AddHistory(LogType type, const std::string& text);
    void WriteLevelled(int32_t minimumLevel, LogType type, const std::string& text);
    // The file's part of Write; false when the file is not open.
    bool WriteToFile(LogType type, const std::string& text, const std::string& line);

    int32_t index_;
    bool rotateByLines_ = true;
    bool rotateByBytes_ = false;
    bool copyToDebugOutput_ = false;
    uint32_t maxLines_ = 10000;
    uint32_t lines_ = 0;
    uint32_t maxBytes_ = 10000;
    uint32_t bytes_ = 0;
    std::ofstream file_;
    std::string path_;
    int32_t rotationCounter_ = 0;
    int32_t level_ = 4;
    std::list<LogHistoryEntry> history_;
    int32_t historyCapacity_ = 200;
    int32_t historyMode_ = 0; // 0 file only, 1 history only, else both
    // Re-entrant: the rotation locks again from inside a write.
    mutable std::recursive_mutex mutex_;
};

} // namespace LibLogging

LibLogging::Logger* GetAppLogger();
