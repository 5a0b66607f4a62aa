#pragma once

#include <string>

bool EndsWithNoCase(const std::string& text, const std::string& suffix);
std::string ReplaceAll(std::string text, const std::string& search, const std::string& replacement);
std::string JoinPath(const std::string& folder, const std::string& name);
std::string ParentFolder(const std::string& path);
std::string TimestampedFileName(const std::string& stem, const std::string& extension);
std::string GetTempFolder();
std::string GetAppDataFolder();
std::string GetCommonAppDataFolder();
