#include <string>
#include <wx/strconv.h>
#include <wx/utils.h>

bool OpenWithDesktop(const std::string& path)
{
    // The path holds the file system's own bytes, the ones the file was written under.
    return wxLaunchDefaultApplication(wxString(path.c_str(), *wxConvFileName));
}
