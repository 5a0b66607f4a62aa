#include "core/logging/Logger.h"

#include <string>
#include <wx/process.h>
#include <wx/strconv.h>
#include <wx/utils.h>

namespace
{
void LogNoViewer(const std::string& path)
{
    GetAppLogger()->Error("no desktop program can open " + path);
}

// The desktop's opener ends with a failure when no program takes the file.
class DesktopOpener : public wxProcess
{
public:
    explicit DesktopOpener(std::string path) : path(std::move(path)) {}

    void OnTerminate(int, int status) override
    {
        if (status != 0)
            LogNoViewer(path);
        delete this;
    }

private:
    std::string path;
};
} // namespace

bool OpenWithDesktop(const std::string& path)
{
    wxString searchPath;
    wxString opener;
    if (!wxGetEnv("PATH", &searchPath) || !wxFindFileInPath(&opener, searchPath, "xdg-open"))
    {
        LogNoViewer(path);
        return false;
    }
    // The path holds the file system's own bytes, the ones the file was written under.
    const wxString document(path.c_str(), *wxConvFileName);
    const wchar_t* arguments[] = {opener.wc_str(), document.wc_str(), nullptr};
    auto* process = new DesktopOpener(path);
    if (wxExecute(arguments, wxEXEC_ASYNC, process) == 0)
    {
        delete process;
        LogNoViewer(path);
        return false;
    }
    return true; // the viewer's answer arrives later, if at all
}
