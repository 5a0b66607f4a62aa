#include "ui/DocumentLauncher.h"

#include <utility>

// Opens the file with the desktop's viewer; one implementation per system.
void OpenWithDesktop(const std::string& path, const LaunchFailed& failed);

namespace
{
DocumentLauncher& ReplacedLauncher()
{
    static DocumentLauncher launcher;
    return launcher;
}
} // namespace

void SetDocumentLauncher(DocumentLauncher launcher)
{
    ReplacedLauncher() = std::move(launcher);
}

void LaunchDocument(const std::string& path, const LaunchFailed& failed)
{
    const DocumentLauncher& launcher = ReplacedLauncher();
    if (launcher)
        launcher(path, failed);
    else
        OpenWithDesktop(path, failed);
}
