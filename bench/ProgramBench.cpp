// Process start to the filled card list and idle memory of the program, each against a bare
// frame, on the display the suite runs under.
#include "bench/Benchmarks.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace QuendryBench
{
namespace
{
constexpr int kLineTimeoutMs = 60000;
constexpr auto kIdleDelay = std::chrono::seconds(3);

std::string BinaryFolder()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return ".";
    const std::string self(path, static_cast<size_t>(length));
    return self.substr(0, self.rfind('/'));
}

// A started program; its standard output is a pipe to this process when asked for. Ends the
// program when it goes out of scope.
class Child
{
public:
    Child(const std::string& program, const std::vector<std::string>& arguments, bool readOutput)
    {
        int pipeEnds[2] = {-1, -1};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (readOutput && pipe(pipeEnds) == 0)
        {
            posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
            posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        }
        std::vector<char*> argv = {const_cast<char*>(program.c_str())};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        if (pipeEnds[1] >= 0)
            close(pipeEnds[1]);
        m_output = pipeEnds[0];
    }
    ~Child()
    {
        if (m_output >= 0)
            close(m_output);
        if (m_pid > 0)
        {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return m_pid > 0; }

    // True when the program wrote a line before the time-out.
    bool WaitForLine()
    {
        char byte = 0;
        pollfd ready = {m_output, POLLIN, 0};
        while (m_output >= 0 && poll(&ready, 1, kLineTimeoutMs) == 1 &&
               read(m_output, &byte, 1) == 1)
            if (byte == '\n')
                return true;
        return false;
    }

    // Resident set size in kB, 0 when it cannot be read.
    double ResidentKb() const
    {
        std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("VmRSS:", 0) == 0)
                return std::atof(line.c_str() + 6);
        return 0;
    }

private:
    pid_t m_pid = -1;
    int m_output = -1;
};

// The program on 8 cards with an empty configuration and a home of its own.
void PrepareProgramEnvironment(BenchCards& cards)
{
    const std::string registry = cards.Folder() + "/registry";
    std::filesystem::create_directories(registry);
    std::ofstream(registry + "/HKEY_LOCAL_MACHINE.reg", std::ios::binary)
        << "Windows Registry Editor Version 5.00\r\n\r\n";
    setenv("QUENDRY_REGISTRY_DIR", registry.c_str(), 1);
    setenv("HOME", cards.Folder().c_str(), 1);
    setenv("QUENDRY_SIM_CARDS", cards.CardSet(8).c_str(), 1);
    unsetenv("QUENDRY_SIM_LOG");
}

// Time from the start of the process to its line "shown" or "filled".
void MeasureStart(benchmark::State& state, BenchCards& cards, const std::string& program,
                  const std::vector<std::string>& arguments)
{
    PrepareProgramEnvironment(cards);
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        Child child(program, arguments, true);
        if (!child.Started() || !child.WaitForLine())
        {
            state.SkipWithError("no line from the program");
            return;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}

void MeasureIdleMemory(benchmark::State& state, BenchCards& cards, const std::string& program)
{
    PrepareProgramEnvironment(cards);
    for (auto _ : state)
    {
        Child child(program, {}, false);
        std::this_thread::sleep_for(kIdleDelay);
        state.counters["rss_kb"] = child.ResidentKb();
        if (state.counters["rss_kb"] == 0)
            state.SkipWithError("program not running");
    }
}
} // namespace

Registered RegisterProgramBenchmarks(BenchCards& cards)
{
    const std::string folder = BinaryFolder();
    const std::string bare = folder + "/quendry-bench-bareframe";
    auto start = [&cards](const std::string& program, std::vector<std::string> arguments)
    {
        return [&cards, program, arguments](benchmark::State& state)
        { MeasureStart(state, cards, program, arguments); };
    };
    auto memory = [&cards](const std::string& program)
    {
        return [&cards, program](benchmark::State& state)
        { MeasureIdleMemory(state, cards, program); };
    };
    return {
        benchmark::RegisterBenchmark("start_list_filled", start(folder + "/quendry-bench-app", {}))
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond),
        benchmark::RegisterBenchmark("start_bare_frame", start(bare, {"--exit-when-shown"}))
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond),
        benchmark::RegisterBenchmark("idle_memory_program", memory(folder + "/quendrycards"))
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond),
        benchmark::RegisterBenchmark("idle_memory_bare_frame", memory(bare))
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond)};
}

std::vector<Ratio> ProgramRatios()
{
    // The programs' own CPU time is not this process's: start is timed on the wall clock.
    return {{"start to list filled", "start_list_filled", "start_bare_frame", 1.8, RealTime},
            {"idle memory", "idle_memory_program", "idle_memory_bare_frame", 1.2, "rss_kb"}};
}
} // namespace QuendryBench
