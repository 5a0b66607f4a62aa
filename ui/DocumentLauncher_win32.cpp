#include <string>
#include <wx/msw/wrapwin.h>
#include <wx/string.h>

#include <shellapi.h>

bool OpenWithDesktop(const std::string& path)
{
    // The path is in the system's ANSI code page; the shell's answer is not waited for.
    const wxString widePath(path.c_str(), wxConvLocal);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.lpVerb = L"open";
    info.lpFile = widePath.wc_str();
    info.lpParameters = L"";
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExW(&info);
    return true;
}
