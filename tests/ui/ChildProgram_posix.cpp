#include "tests/ui/ChildProgram.h"

#include <csignal>
#include <fstream>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace GuiTest
{
namespace
{
// The single-instance check's lock file, which holds its owner's process id.
std::filesystem::path InstanceFile(const std::filesystem::path& home)
{
    return home / ("QuendryCards-" + std::string(getpwuid(getuid())->pw_name));
}
} // namespace

struct ChildProgram::Process
{
    pid_t pid = -1;
    std::optional<int> status;
};

ChildProgram::ChildProgram(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& folder)
    : process(std::make_unique<Process>())
{
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0)
        process->pid = pid;
    posix_spawn_file_actions_destroy(&actions);
}

ChildProgram::~ChildProgram()
{
    if (Started() && !Status())
    {
        Stop();
        waitpid(process->pid, nullptr, 0);
    }
}

bool ChildProgram::Started() const
{
    return process->pid > 0;
}

std::optional<int> ChildProgram::Status()
{
    int status = 0;
    if (Started() && !process->status && waitpid(process->pid, &status, WNOHANG) == process->pid)
        process->status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return process->status;
}

void ChildProgram::Stop()
{
    if (Started())
        kill(process->pid, SIGTERM);
}

// The lock file is created first and then given its owner's process id: only the id shows the
// check complete.
bool ChildProgram::HoldsInstanceClaim(const std::filesystem::path& home) const
{
    std::ifstream file(InstanceFile(home));
    pid_t owner = 0;
    return Started() && file >> owner && owner == process->pid;
}

bool InstanceClaimed(const std::filesystem::path& home)
{
    return std::filesystem::exists(InstanceFile(home));
}

std::string ProgramPath()
{
    return std::string(QUENDRY_BINARY_DIR) + "/bin/quendrycards";
}
} // namespace GuiTest
