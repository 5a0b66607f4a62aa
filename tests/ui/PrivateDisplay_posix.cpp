#include "tests/ui/PrivateDisplay.h"

#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// The server ends when its last client is gone, even if this process is killed.
PrivateDisplay::PrivateDisplay()
{
    int ready[2];
    if (pipe(ready) != 0)
        return;
    const std::string readyFd = std::to_string(ready[1]);
    const char* argv[] = {"Xvfb",         "-displayfd", readyFd.c_str(), "-screen",    "0",
                          "1280x1024x24", "-nolisten",  "tcp",           "-terminate", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, ready[0]);
    pid_t pid = -1;
    if (posix_spawnp(&pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) == 0)
        server = pid;
    posix_spawn_file_actions_destroy(&actions);
    close(ready[1]);
    std::string number;
    char digit = 0;
    while (server > 0 && read(ready[0], &digit, 1) == 1 && digit != '\n')
        number += digit;
    close(ready[0]);
    if (!number.empty())
        setenv("DISPLAY", (":" + number).c_str(), 1);
}

PrivateDisplay::~PrivateDisplay()
{
    if (server <= 0)
        return;
    kill(static_cast<pid_t>(server), SIGTERM);
    waitpid(static_cast<pid_t>(server), nullptr, 0);
}
