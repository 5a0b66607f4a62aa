#pragma once

#include "ui/DocumentLauncher.h"

#include <string>

// Opens the file with the desktop's viewer; one implementation per system.
void OpenWithDesktop(const std::string& path, const LaunchFailed& failed);
// Logs that no desktop program takes the file and tells the caller.
void ReportNoViewer(const std::string& path, const LaunchFailed& failed);
