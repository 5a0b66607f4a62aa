#include "core/logging/LogFileNames.h"

#include "core/folders/LocalTime.h"

#include <cstdio>
#include <fstream>
#include <memory>

namespace LibLogging
{
namespace
{
constexpr size_t kNoCut = std::string::npos;

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool CopyBytes(std::FILE* in, std::FILE* out)
{
    char buffer[64 * 1024];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof(buffer), in)) > 0)
    {
        if (std::fwrite(buffer, 1, count, out) != count)
            return false;
    }
    return !std::ferror(in);
}

size_t FindCut(const std::string& path)
{
    if (path.size() >= 4)
    {
        const size_t log = path.rfind(".log");
        if (log != std::string::npos)
            return log;
        const size_t txt = path.rfind(".txt");
        if (txt != std::string::npos)
            return txt;
    }
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && path.size() - dot - 1 <= 4)
        return dot;
    return kNoCut;
}
} // namespace

LogName SplitLogName(const std::string& path)
{
    const size_t cut = FindCut(path);
    if (cut == kNoCut)
        return {path, ""};
    return {path.substr(0, cut), "log"};
}

std::string AddLogExtension(const std::string& path)
{
    return SplitLogName(path).extension.empty() ? path + ".log" : path;
}

std::string TimestampedLogName(const std::string& path)
{
    const LogName name = SplitLogName(path);
    const std::time_t now = std::time(nullptr);
    return name.stem + "_" + FormatLocalTime(now, "%Y-%m-%d") + "_" +
           FormatLocalTime(now, "%H-%M-%S") + "." + name.extension;
}

std::string NumberedLogName(const std::string& path, int32_t number)
{
    const LogName name = SplitLogName(path);
    return name.stem + "_" + std::to_string(number) + "." + name.extension;
}

std::string NextFreeLogName(const std::string& name)
{
    std::string candidate = name;
    for (int32_t number = 0; LogFileExists(candidate); ++number)
        candidate = NumberedLogName(name, number);
    return candidate;
}

bool LogFileExists(const std::string& path)
{
    return std::ifstream(path, std::ios::binary).is_open();
}

bool CopyLogFile(const std::string& source, const std::string& destination, bool removeSource)
{
    bool copied = false;
    {
        // stdio rather than streams: a read error must not pass for the end of the file.
        const FilePtr in(std::fopen(source.c_str(), "rb"));
        FilePtr out(in ? std::fopen(destination.c_str(), "wb") : nullptr);
        if (in && out)
        {
            copied = CopyBytes(in.get(), out.get());
            copied = std::fclose(out.release()) == 0 && copied;
        }
    }
    // A failed copy keeps its source, so no log line is lost to a full disk.
    if (copied && removeSource)
        std::remove(source.c_str());
    return copied;
}

} // namespace LibLogging
