#pragma once

// The server program in a child process with its standard output on a pipe; the test target
// names the program in SIM_EXECUTABLE.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class SimProcess
{
public:
    explicit SimProcess(const std::vector<std::string>& arguments)
    {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0)
            return;
        child = fork();
        if (child == 0)
        {
            dup2(pipeEnds[1], STDOUT_FILENO);
            close(pipeEnds[0]);
            std::vector<char*> argv = {const_cast<char*>(SIM_EXECUTABLE)};
            for (const auto& argument : arguments)
                argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            execv(SIM_EXECUTABLE, argv.data());
            _exit(127);
        }
        close(pipeEnds[1]);
        output = fdopen(pipeEnds[0], "r");
    }
    ~SimProcess()
    {
        Stop();
        if (output != nullptr)
            fclose(output);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    std::string ReadLine()
    {
        char line[512];
        return output != nullptr && fgets(line, sizeof(line), output) ? line : "";
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
    pid_t child = -1;
    FILE* output = nullptr;
    int exitStatus = -1;
};

inline uint16_t PortOf(const std::string& line)
{
    const std::string prefix = "listening on 127.0.0.1:";
    EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
    return static_cast<uint16_t>(std::stoul(line.substr(prefix.size())));
}
