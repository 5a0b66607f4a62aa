#include "sim/cardmodule/cardset/AtomicFile.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>

namespace QuendrySim
{
namespace
{
std::string TemporaryNameBeside(const std::string& path)
{
    std::random_device random;
    std::ostringstream name;
    name << path << ".tmp" << std::hex << random() << random();
    return name.str();
}
} // namespace

bool FileIdentity::operator==(const FileIdentity& other) const
{
    return device == other.device && inode == other.inode && size == other.size &&
           modifiedNs == other.modifiedNs;
}

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

bool WriteFileAtomically(const std::string& path, const std::string& content, FileIdentity* written)
{
    const std::string temporary = TemporaryNameBeside(path);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
        // Taken before the rename, so it is this file's identity even if another writer
        // replaces the target right after.
        if (!out || (written && !IdentityOf(temporary, *written)))
        {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (!error)
        return true;
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return false;
}
} // namespace QuendrySim
