#include "platform/Folders.h"

#include <cstdlib>
#include <vector>

// windows.h must come before the shell's header.
#include <windows.h>

#include <shlobj.h>

namespace platform
{
namespace
{
bool ShellFolder(int csidl, std::string& folder)
{
    char buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return false;
    folder = buffer;
    return true;
}
} // namespace

bool ExecutablePath(std::string& path)
{
    std::vector<char> buffer(MAX_PATH);
    for (;;)
    {
        const DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return false;
        if (length < buffer.size())
        {
            path.assign(buffer.data(), length);
            return true;
        }
        if (buffer.size() >= 32768)
            return false;
        buffer.resize(buffer.size() * 2);
    }
}

bool UserAppDataFolder(std::string& folder)
{
    return ShellFolder(CSIDL_APPDATA, folder);
}

bool CommonAppDataFolder(std::string& folder)
{
    return ShellFolder(CSIDL_COMMON_APPDATA, folder);
}

std::string TempFolder()
{
    const char* temp = std::getenv("TEMP");
    if (temp != nullptr && *temp != '\0')
        return temp;
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof(buffer), buffer);
    if (length == 0 || length > MAX_PATH)
        return std::string();
    return std::string(buffer, length);
}

char PathSeparator()
{
    return '\\';
}
} // namespace platform
