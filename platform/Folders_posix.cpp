#include "platform/Folders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace platform
{
namespace
{
// An empty variable counts as unset: it would make every path relative.
bool ReadEnvironment(const char* name, std::string& value)
{
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0')
        return false;
    value = text;
    return true;
}

bool HomeFolder(std::string& folder)
{
    if (ReadEnvironment("HOME", folder))
        return true;
    const passwd* user = getpwuid(getuid());
    if (user == nullptr || user->pw_dir == nullptr || *user->pw_dir == '\0')
        return false;
    folder = user->pw_dir;
    return true;
}
} // namespace

bool ExecutablePath(std::string& path)
{
    std::vector<char> buffer(256);
    for (;;)
    {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return false;
        if (static_cast<size_t>(length) < buffer.size())
        {
            path.assign(buffer.data(), static_cast<size_t>(length));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool UserAppDataFolder(std::string& folder)
{
    if (ReadEnvironment("XDG_CONFIG_HOME", folder))
        return true;
    std::string home;
    if (!HomeFolder(home))
        return false;
    folder = home + "/.config";
    return true;
}

bool CommonAppDataFolder(std::string& folder)
{
    folder = "/etc/xdg";
    return true;
}

std::string TempFolder()
{
    std::string folder;
    if (ReadEnvironment("TEMP", folder) || ReadEnvironment("TMPDIR", folder))
        return folder;
    return "/tmp";
}

char PathSeparator()
{
    return '/';
}
} // namespace platform
