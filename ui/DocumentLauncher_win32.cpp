#include "ui/DocumentLauncher.h"

#include <string>
#include <vector>

#include <windows.h>

#include <shellapi.h>

void OpenWithDesktop(const std::string& path, const LaunchFailed& failed)
{
    // The path was made in the system's ANSI code page; the shell's answer is not waited for.
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (length <= 0)
    {
        if (failed)
            failed();
        return;
    }
    std::vector<wchar_t> widePath(static_cast<size_t>(length));
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath.data(), length);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.lpVerb = L"open";
    info.lpFile = widePath.data();
    info.lpParameters = L"";
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExW(&info);
}
