#pragma once

#include <fstream>
#include <memory>
#include <string>

namespace SimTest
{
// Takes the right to make files in a folder away until the guard ends, also from a process that
// could override the folder's own rights (root on Linux).
class UnwritableFolder
{
public:
    explicit UnwritableFolder(std::string folder);
    ~UnwritableFolder();
    UnwritableFolder(const UnwritableFolder&) = delete;
    UnwritableFolder& operator=(const UnwritableFolder&) = delete;

    // No file can be made in the folder now.
    bool Holds() const { return m_ready && !std::ofstream(m_folder + "/probe"); }

private:
    struct Kept; // what the system had before, to be given back
    std::string m_folder;
    std::unique_ptr<Kept> m_kept;
    bool m_ready = false;
};
} // namespace SimTest
