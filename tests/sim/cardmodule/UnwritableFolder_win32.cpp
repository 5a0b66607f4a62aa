#include "UnwritableFolder.h"

#include <vector>
#include <windows.h>

#include <sddl.h>

namespace SimTest
{
namespace
{
// Everyone is denied adding files and folders; what else was allowed stays.
constexpr const char* kDenyAdding = "D:(D;;0x6;;;WD)(A;OICI;FA;;;WD)";

std::vector<BYTE> FolderRights(const std::string& folder)
{
    DWORD needed = 0;
    GetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    std::vector<BYTE> rights(needed);
    if (needed == 0 || !GetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, rights.data(),
                                         needed, &needed))
        rights.clear();
    return rights;
}
} // namespace

struct UnwritableFolder::Kept
{
    std::vector<BYTE> rights;
};

UnwritableFolder::UnwritableFolder(std::string folder)
    : m_folder(std::move(folder)), m_kept(std::make_unique<Kept>())
{
    m_kept->rights = FolderRights(m_folder);
    PSECURITY_DESCRIPTOR denying = nullptr;
    if (m_kept->rights.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorA(
                                      kDenyAdding, SDDL_REVISION_1, &denying, nullptr))
        return;
    m_ready = SetFileSecurityA(m_folder.c_str(), DACL_SECURITY_INFORMATION, denying) != FALSE;
    LocalFree(denying);
}

UnwritableFolder::~UnwritableFolder()
{
    if (!m_kept->rights.empty())
        SetFileSecurityA(m_folder.c_str(), DACL_SECURITY_INFORMATION, m_kept->rights.data());
}
} // namespace SimTest
