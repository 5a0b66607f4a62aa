#pragma once

#include <string>

namespace LibLogging
{

struct LogName
{
    std::string stem;
    std::string extension; // "log" or empty
};

LogName SplitLogName(const std::string& path);
// The path with ".log" appended when it has no extension of its own.
std::string AddLogExtension(const std::string& path);
std::string TimestampedLogName(const std::string& path);
// The numbered sibling stem_number.extension of a log path.
std::string NumberedLogName(const std::string& path, int32_t number);
// The first of name, stem_0.extension, stem_1.extension, ... that does not exist.
std::string NextFreeLogName(const std::string& name);
// Copies every byte; the source is removed only when asked and the copy is complete.
bool CopyLogFile(const std::string& source, const std::string& destination, bool removeSource);
bool LogFileExists(const std::string& path);

} // namespace LibLogging
