#pragma once

#include <ctime>
#include <string>

bool EndsWithNoCase(const std::string& text, const std::string& suffix);
std::string ReplaceAll(std::string text, const std::string& search, const std::string& replacement);
std::string JoinPath(const std::string& folder, const std::string& name);
std::string ParentFolder(const std::string& path);
std::string TimestampedFileName(const std::string& stem, const std::string& extension);
std::string GetTempFolder();
std::string GetAppDataFolder();
std::string GetCommonAppDataFolder();

// TimestampedFileName for a given moment instead of the current one.
std::string TimestampedFileNameAt(const std::string& stem, const std::string& extension,
                                  std::time_t when);
// The folder of the program file at this path, ending in a separator; empty when the path does
// not fit the system's 260-character path buffer with its terminating zero.
std::string ExecutableFolderFromPath(const std::string& programPath);
