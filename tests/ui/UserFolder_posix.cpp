#include "tests/ui/UserFolder.h"

#include <sys/stat.h>
#include <unistd.h>

namespace GuiTest
{
std::string DesktopFilesFolderIn(const std::string& temp)
{
    return temp + "/quendrycards-" + std::to_string(getuid());
}

bool FolderOfThisUserOnly(const std::string& path)
{
    struct stat folder;
    return lstat(path.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode) &&
           (folder.st_mode & 0777) == 0700 && folder.st_uid == getuid();
}
} // namespace GuiTest
