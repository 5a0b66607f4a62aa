#pragma once

#include "core/logging/Logger.h"
#include "tests/platform/ScopedTempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

// The names of the files in a test's folder, sorted.
inline std::vector<std::string> FileNames(const ScopedTempFolder& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The lines of a log file; every line must end in CR LF.
inline std::vector<std::string> ReadLines(const std::string& path)
{
    const std::string content = ReadTextFile(path);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = content.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(content.substr(start, end - start));
    EXPECT_EQ(start, content.size()) << path << " ends without CR LF";
    for (const auto& line : lines)
        EXPECT_EQ(line.find('\n'), std::string::npos) << path << ": bare line feed";
    return lines;
}

inline void OpenLogger(LibLogging::Logger& logger, const std::string& path)
{
    logger.Init(path);
    logger.enabled = true;
    logger.showThreadId = true;
}
