#pragma once

#include <string>

namespace platform
{
// Full path of the running executable; false when it cannot be found.
bool ExecutablePath(std::string& path);
// Per-user application-data folder (CSIDL_APPDATA; XDG_CONFIG_HOME or ~/.config); false when
// unknown.
bool UserAppDataFolder(std::string& folder);
// All-users application-data folder (CSIDL_COMMON_APPDATA; /etc/xdg); false when unknown.
bool CommonAppDataFolder(std::string& folder);
// Temporary folder: TEMP, then TMPDIR, then /tmp (Windows: TEMP, then GetTempPath).
std::string TempFolder();
// The path separator of the system: '\\' on Windows, '/' elsewhere.
char PathSeparator();
} // namespace platform
