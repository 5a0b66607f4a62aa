#include "ui/DocumentLauncher.h"

#include <utility>

// Opens the file with the desktop's viewer; one implementation per system.
bool OpenWithDesktop(const std::string& path);

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

bool LaunchDocument(const std::string& path)
{
    const DocumentLauncher& launcher = ReplacedLauncher();
    return launcher ? launcher(path) : OpenWithDesktop(path);
}
