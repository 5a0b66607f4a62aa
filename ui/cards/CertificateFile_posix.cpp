#include "ui/cards/CertificateFile.h"

#include "core/folders/PathUtil.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
bool IsPrivateFolder(const std::string& folder)
{
    struct stat info;
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid())
        return false;
    return (info.st_mode & 077) == 0 || chmod(folder.c_str(), 0700) == 0;
}

bool WriteAll(int fd, const ByteVector& bytes)
{
    size_t written = 0;
    while (written < bytes.size())
    {
        const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += static_cast<size_t>(n);
    }
    return true;
}
} // namespace

std::string PrivateTempFolder()
{
    const std::string folder =
        JoinPath(GetTempFolder(), "quendrycards-" + std::to_string(getuid()));
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return std::string();
    return IsPrivateFolder(folder) ? folder : std::string();
}

void RemoveFile(const std::string& path)
{
    unlink(path.c_str());
}

bool WriteNewFile(const std::string& path, const ByteVector& bytes)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, bytes);
    const bool closed = close(fd) == 0;
    if (written && closed)
        return true;
    unlink(path.c_str());
    return false;
}
