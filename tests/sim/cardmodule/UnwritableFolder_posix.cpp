#include "UnwritableFolder.h"

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace SimTest
{
// Root is not stopped by the folder's mode, so the thread also gives up overriding modes.
struct UnwritableFolder::Kept
{
    mode_t mode = 0700;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct capabilities[2] = {};
};

UnwritableFolder::UnwritableFolder(std::string folder)
    : m_folder(std::move(folder)), m_kept(std::make_unique<Kept>())
{
    struct stat status = {};
    m_ready = stat(m_folder.c_str(), &status) == 0 &&
              syscall(SYS_capget, &m_kept->header, m_kept->capabilities) == 0;
    m_kept->mode = status.st_mode & 07777;
    __user_cap_data_struct lowered[2] = {m_kept->capabilities[0], m_kept->capabilities[1]};
    lowered[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
    m_ready = m_ready && syscall(SYS_capset, &m_kept->header, lowered) == 0 &&
              chmod(m_folder.c_str(), 0555) == 0;
}

UnwritableFolder::~UnwritableFolder()
{
    chmod(m_folder.c_str(), m_kept->mode);
    syscall(SYS_capset, &m_kept->header, m_kept->capabilities);
}
} // namespace SimTest
