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
} // namespace

bool ReadWholeFile(const std::string& path, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad())
        return false;
    out = content.str();
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& content)
{
    const std::string temporary = TemporaryNameBeside(path);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out)
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
