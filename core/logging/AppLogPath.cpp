#include "core/logging/AppLogPath.h"

#include "core/folders/PathUtil.h"

std::string AppLogPath(const std::string& configuredFilename)
{
    const std::string folder = EndsWithNoCase(configuredFilename, ".log")
                                   ? ParentFolder(configuredFilename)
                                   : configuredFilename;
    return JoinPath(folder, TimestampedFileName("QuendryCards", "log"));
}
