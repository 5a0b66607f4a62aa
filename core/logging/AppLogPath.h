#pragma once

#include <string>

// The application's log file for a configured "Filename": the folder itself, or the folder of
// a name ending in ".log", holding QuendryCards_<local start time>.log.
std::string AppLogPath(const std::string& configuredFilename);
