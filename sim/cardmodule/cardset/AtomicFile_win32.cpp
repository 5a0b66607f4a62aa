#include "sim/cardmodule/cardset/AtomicFile.h"

#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>
#include <windows.h>

namespace QuendrySim
{
namespace
{
// The caller reports errno, as on POSIX.
void SetErrnoFrom(DWORD error)
{
    switch (error)
    {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        errno = ENOENT;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        errno = EACCES;
        break;
    default:
        errno = EIO;
    }
}

struct HandleCloser
{
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

// Every sharing is allowed, delete too, so that a writer can still rename a new version over
// the file while it is read; null (errno set) when it cannot be opened.
FileHandle OpenShared(const std::string& path, DWORD access, DWORD flags)
{
    HANDLE raw =
        CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, flags, nullptr);
    if (raw != INVALID_HANDLE_VALUE)
        return FileHandle(raw);
    SetErrnoFrom(GetLastError());
    return nullptr;
}
} // namespace

// The volume and file index take the place of device and inode: a rename keeps them, a new file
// gets new ones.
bool IdentityOf(const std::string& path, FileIdentity& out)
{
    const FileHandle file = OpenShared(path, FILE_READ_ATTRIBUTES, FILE_FLAG_BACKUP_SEMANTICS);
    if (!file)
        return false;
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!GetFileInformationByHandle(file.get(), &information))
    {
        SetErrnoFrom(GetLastError());
        return false;
    }
    out.device = information.dwVolumeSerialNumber;
    out.inode = (uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
    out.size = static_cast<int64_t>((uint64_t{information.nFileSizeHigh} << 32) |
                                    information.nFileSizeLow);
    const uint64_t ticks = (uint64_t{information.ftLastWriteTime.dwHighDateTime} << 32) |
                           information.ftLastWriteTime.dwLowDateTime;
    out.modifiedNs = static_cast<int64_t>(ticks) * 100;
    return true;
}

// Opened without the folder flag, so a folder fails here as on POSIX.
bool ReadWholeFile(const std::string& path, std::string& out)
{
    const FileHandle file = OpenShared(path, GENERIC_READ, FILE_ATTRIBUTE_NORMAL);
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > MAXDWORD)
        return false;
    std::string content(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!content.empty() &&
        !ReadFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &read, nullptr))
        return false;
    if (read != content.size())
        return false;
    out = std::move(content);
    return true;
}

// Windows refuses to replace a file while another handle has it open, even one that shares
// deleting; readers hold it only for one read, so the rename is tried again for a short while.
bool ReplaceWith(const std::string& source, const std::string& target)
{
    constexpr int kTries = 400;
    for (int tries = 1;; ++tries)
    {
        if (MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
            return true;
        const DWORD error = GetLastError();
        const bool inUse = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
        if (!inUse || tries == kTries)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}
} // namespace QuendrySim
