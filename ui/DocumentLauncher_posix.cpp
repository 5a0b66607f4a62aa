#include <string>
#include <wx/mimetype.h>
#include <wx/utils.h>

bool OpenWithDesktop(const std::string& path)
{
    // The path holds Windows-1252 bytes, as every narrow path of the program does.
    return wxLaunchDefaultApplication(wxString(path.c_str(), wxCSConv(wxFONTENCODING_CP1252)));
}
