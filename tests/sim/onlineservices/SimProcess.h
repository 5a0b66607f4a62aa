#pragma once

// The server program in a child process with its standard output on a pipe; the test target
// names the program in SIM_EXECUTABLE.

#include "platform/FileDescriptor_posix.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

class SimProcess
{
public:
    // program: another program in place of the server, for the tests of this helper itself.
    // lineLimit: how long ReadLine waits for output before it fails the test.
    explicit SimProcess(const std::vector<std::string>& arguments,
                        const std::string& program = SIM_EXECUTABLE,
                        std::chrono::milliseconds lineLimit = std::chrono::seconds(30))
        : lineLimit(lineLimit)
    {
        // Made before the fork: the child of a process with threads may only exec.
        std::vector<char*> argv = {const_cast<char*>(program.c_str())};
        for (const auto& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        int pipeEnds[2];
        // Close-on-exec, so that no other child keeps the pipe open.
        if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        {
            ADD_FAILURE() << "no pipe for " << program << ": " << std::strerror(errno);
            return;
        }
        platform::FileDescriptor readEnd(pipeEnds[0]);
        const platform::FileDescriptor writeEnd(pipeEnds[1]);
        child = fork();
        if (child == 0)
        {
            dup2(writeEnd.Get(), STDOUT_FILENO);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        if (child < 0)
            ADD_FAILURE() << "cannot start " << program << ": " << std::strerror(errno);
        else
            output = std::move(readEnd);
    }
    ~SimProcess() { Stop(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The next line with its newline; at the output's end what is left of it. Empty when the
    // program wrote nothing more, or nothing within the limit, which fails the test.
    std::string ReadLine()
    {
        size_t end = pending.find('\n');
        while (end == std::string::npos && ReadMore())
            end = pending.find('\n');
        const size_t length = end == std::string::npos ? pending.size() : end + 1;
        std::string line = pending.substr(0, length);
        pending.erase(0, length);
        return line;
    }
    int Stop()
    {
        if (child <= 0)
            return exitStatus;
        kill(child, SIGTERM);
        int status = 0;
        waitpid(child, &status, 0);
        child = -1;
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return exitStatus;
    }

private:
    // Appends what the program writes next; false at the output's end or when the limit passes.
    bool ReadMore()
    {
        if (output.Get() < 0)
            return false;
        pollfd readable{output.Get(), POLLIN, 0};
        int ready = 0;
        do
            ready = poll(&readable, 1, static_cast<int>(lineLimit.count()));
        while (ready < 0 && errno == EINTR);
        if (ready == 0)
        {
            ADD_FAILURE() << "the program wrote no line within " << lineLimit.count() << " ms";
            return false;
        }
        char chunk[512];
        const ssize_t got = ready < 0 ? -1 : read(output.Get(), chunk, sizeof(chunk));
        if (got <= 0)
            return false;
        pending.append(chunk, static_cast<size_t>(got));
        return true;
    }

    pid_t child = -1;
    platform::FileDescriptor output;
    std::string pending; // read from the pipe, not yet returned as a line
    std::chrono::milliseconds lineLimit;
    int exitStatus = -1;
};

inline uint16_t PortOf(const std::string& line)
{
    const std::string prefix = "listening on 127.0.0.1:";
    EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
    return static_cast<uint16_t>(std::stoul(line.substr(prefix.size())));
}
