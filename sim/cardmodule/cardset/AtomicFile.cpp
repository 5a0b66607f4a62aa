#include "sim/cardmodule/cardset/AtomicFile.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

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

// A card set reached through a link is written where the link leads, and the link stays.
std::string FileBehind(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical(path, error);
    return error ? path : resolved.string();
}
} // namespace

bool FileIdentity::operator==(const FileIdentity& other) const
{
    return device == other.device && inode == other.inode && size == other.size &&
           modifiedNs == other.modifiedNs;
}

bool WriteFileAtomically(const std::string& path, const std::string& content, FileIdentity* written)
{
    const std::string target = FileBehind(path);
    const std::string temporary = TemporaryNameBeside(target);
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
    if (ReplaceWith(temporary, target))
        return true;
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return false;
}
} // namespace QuendrySim
