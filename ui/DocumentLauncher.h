#pragma once

#include <functional>
#include <string>

// Runs on the GUI thread when no program takes the file.
using LaunchFailed = std::function<void()>;

// Hands a file to the desktop for display (the shell's "open" verb). Where the system tells,
// `failed` runs when no program takes the file: at once, or once the desktop's opener has
// ended. Tests replace the launcher to record what would be opened; an empty function restores
// the desktop's.
using DocumentLauncher = std::function<void(const std::string& path, const LaunchFailed& failed)>;
void SetDocumentLauncher(DocumentLauncher launcher);
void LaunchDocument(const std::string& path, const LaunchFailed& failed);
