#include "core/folders/PathUtil.h"

#include "core/folders/LocalTime.h"
#include "platform/Folders.h"

#include <cctype>
#include <cstdlib>

namespace
{
constexpr size_t kMaxPathBuffer = 260;

bool IsWindowsStyle()
{
    return platform::PathSeparator() == '\\';
}

// Windows knows only the backslash here; elsewhere the slash separates as well.
const char* Separators()
{
    return IsWindowsStyle() ? "\\" : "\\/";
}

char SeparatorToAppend(const std::string& folder)
{
    if (IsWindowsStyle())
        return '\\';
    const size_t last = folder.find_last_of("\\/");
    return last == std::string::npos ? platform::PathSeparator() : folder[last];
}

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

std::string EnvironmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}
} // namespace

bool EndsWithNoCase(const std::string& text, const std::string& suffix)
{
    if (text.size() < suffix.size())
        return false;
    const size_t start = text.size() - suffix.size();
    for (size_t i = 0; i < suffix.size(); ++i)
    {
        const int a = std::tolower(static_cast<unsigned char>(text[start + i]));
        const int b = std::tolower(static_cast<unsigned char>(suffix[i]));
        if (a != b)
            return false;
    }
    return true;
}

std::string ReplaceAll(std::string text, const std::string& search, const std::string& replacement)
{
    if (search.empty())
        return text;
    for (size_t at = text.find(search); at != std::string::npos;
         at = text.find(search, at + replacement.size()))
        text.replace(at, search.size(), replacement);
    return text;
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    std::string path = folder;
    if (!path.empty() && !IsSeparator(path.back()))
        path += SeparatorToAppend(folder);
    if (!name.empty() && IsSeparator(name.front()))
        path.append(name, 1, std::string::npos);
    else
        path += name;
    return path;
}

std::string ParentFolder(const std::string& path)
{
    size_t last = path.find_last_of(Separators());
    if (last != std::string::npos && last + 1 == path.size() && last > 0)
    {
        const size_t before = path.find_last_of(Separators(), last - 1);
        if (before != std::string::npos)
            last = before;
    }
    return last == std::string::npos ? path : path.substr(0, last + 1);
}

std::string TimestampedFileNameAt(const std::string& stem, const std::string& extension,
                                  std::time_t when)
{
    return stem + "_" + FormatLocalTime(when, "%Y-%m-%d-%H-%M-%S") + "." + extension;
}

std::string TimestampedFileName(const std::string& stem, const std::string& extension)
{
    return TimestampedFileNameAt(stem, extension, std::time(nullptr));
}

std::string GetTempFolder()
{
    return platform::TempFolder();
}

std::string GetAppDataFolder()
{
    std::string folder = EnvironmentValue("APPDATA");
    if (folder.empty() && !platform::UserAppDataFolder(folder))
        folder.clear();
    return folder;
}

std::string GetCommonAppDataFolder()
{
    std::string folder;
    if (!platform::CommonAppDataFolder(folder))
        folder.clear();
    return folder;
}

std::string ExecutableFolderFromPath(const std::string& programPath)
{
    if (programPath.size() >= kMaxPathBuffer)
        return {};
    return ParentFolder(programPath);
}
