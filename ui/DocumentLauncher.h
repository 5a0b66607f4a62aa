#pragma once

#include <functional>
#include <string>

// Hands a file to the desktop for display (the shell's "open" verb). Tests replace the launcher
// to record what would be opened; an empty function restores the desktop's.
using DocumentLauncher = std::function<bool(const std::string& path)>;
void SetDocumentLauncher(DocumentLauncher launcher);
bool LaunchDocument(const std::string& path);
