#include "ui/DocumentLauncher.h"

#include "core/logging/Logger.h"
#include "ui/DesktopOpener.h"

#include <utility>

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

void ReportNoViewer(const std::string& path, const LaunchFailed& failed)
{
    GetAppLogger()->Error("no desktop program can open " + path);
    if (failed)
        failed();
}
