#include "ui/DesktopOpener.h"

#include <string>
#include <vector>

#include <windows.h>

#include <shellapi.h>

void OpenWithDesktop(const std::string& path, const LaunchFailed& failed)
{
    // The path was made in the system's ANSI code page.
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (length <= 0)
    {
        ReportNoViewer(path, failed);
        return;
    }
    std::vector<wchar_t> widePath(static_cast<size_t>(length));
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath.data(), length);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    // The shell's own message box would stop the window until answered; the status line says it.
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = widePath.data();
    info.lpParameters = L"";
    info.nShow = SW_SHOWNORMAL;
    // The started viewer's own answer is not waited for.
    if (!ShellExecuteExW(&info))
        ReportNoViewer(path, failed);
}
