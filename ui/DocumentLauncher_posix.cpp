#include "ui/DesktopOpener.h"

#include <string>
#include <wx/process.h>
#include <wx/strconv.h>
#include <wx/utils.h>

namespace
{
// The desktop's opener ends with a failure when no program takes the file, or when the viewer
// it started fails.
class DesktopOpener : public wxProcess
{
public:
    DesktopOpener(std::string path, LaunchFailed failed)
        : path(std::move(path)), failed(std::move(failed))
    {
    }

    void OnTerminate(int, int status) override
    {
        if (status != 0)
            ReportNoViewer(path, failed);
        delete this;
    }

private:
    std::string path;
    LaunchFailed failed;
};
} // namespace

void OpenWithDesktop(const std::string& path, const LaunchFailed& failed)
{
    wxString searchPath;
    wxString opener;
    if (!wxGetEnv("PATH", &searchPath) || !wxFindFileInPath(&opener, searchPath, "xdg-open"))
    {
        ReportNoViewer(path, failed);
        return;
    }
    // The path holds the file system's own bytes, the ones the file was written under.
    const wxString document(path.c_str(), *wxConvFileName);
    const wchar_t* arguments[] = {opener.wc_str(), document.wc_str(), nullptr};
    auto* process = new DesktopOpener(path, failed);
    if (wxExecute(arguments, wxEXEC_ASYNC, process) == 0)
    {
        delete process;
        ReportNoViewer(path, failed);
    }
    // Otherwise the opener's answer arrives later, if at all.
}
