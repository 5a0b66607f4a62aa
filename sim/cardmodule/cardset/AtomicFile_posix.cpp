#include "sim/cardmodule/cardset/AtomicFile.h"

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace QuendrySim
{
bool IdentityOf(const std::string& path, FileIdentity& out)
{
    struct stat status = {};
    if (stat(path.c_str(), &status) != 0)
        return false;
    out.device = static_cast<uint64_t>(status.st_dev);
    out.inode = static_cast<uint64_t>(status.st_ino);
    out.size = static_cast<int64_t>(status.st_size);
    out.modifiedNs = static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 +
                     static_cast<int64_t>(status.st_mtim.tv_nsec);
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& out)
{
    // A folder opens as a stream of no sensible size.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return false;
    const std::streamoff size = in.tellg();
    if (size < 0 || !in.seekg(0))
        return false;
    std::string content(static_cast<size_t>(size), '\0');
    if (!in.read(content.data(), size))
        return false;
    out = std::move(content);
    return true;
}

bool ReplaceWith(const std::string& source, const std::string& target)
{
    std::error_code error;
    std::filesystem::rename(source, target, error);
    return !error;
}
} // namespace QuendrySim
