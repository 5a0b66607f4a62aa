// The PIN window on Linux: zenity's form dialog, started without a shell. The typed values come
// back only through a pipe, never on a command line or in the environment.

#include "sim/cardmodule/module/PinWindow.h"

#include "platform/FileDescriptor_posix.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace QuendrySim
{
namespace
{
constexpr const char* kDialogProgram = "zenity";

bool IsSet(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

bool HasDisplay()
{
    return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
}

// The form's text is Pango markup: a label such as "A & B" shows as written.
std::string MarkupEscaped(const std::string& text)
{
    std::string escaped;
    for (char c : text)
    {
        if (c == '&')
            escaped += "&amp;";
        else if (c == '<')
            escaped += "&lt;";
        else if (c == '>')
            escaped += "&gt;";
        else
            escaped += c;
    }
    return escaped;
}

// A line break separates the values: no entry field takes one.
std::vector<std::string> ArgumentsOf(const PinForm& form)
{
    std::vector<std::string> arguments{kDialogProgram, "--forms", "--title=" + form.title,
                                       "--text=" + MarkupEscaped(form.prompt), "--separator=\n"};
    for (const std::string& field : form.fields)
        arguments.push_back("--add-password=" + field);
    return arguments;
}

std::vector<std::string> LinesOf(std::string output)
{
    if (!output.empty() && output.back() == '\n')
        output.pop_back();
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = output.find('\n'); end != std::string::npos; end = output.find('\n', start))
    {
        lines.push_back(output.substr(start, end - start));
        start = end + 1;
    }
    lines.push_back(output.substr(start));
    return lines;
}

class SpawnActions
{
public:
    SpawnActions() { posix_spawn_file_actions_init(&m_actions); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&m_actions); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;

    posix_spawn_file_actions_t* Get() { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions;
};

std::string ReadToEnd(int descriptor)
{
    std::string text;
    char buffer[256];
    for (;;)
    {
        const ssize_t count = read(descriptor, buffer, sizeof buffer);
        if (count > 0)
            text.append(buffer, static_cast<size_t>(count));
        else if (count == 0 || errno != EINTR)
            return text;
    }
}

// The child's exit code; -1 when it did not end by itself.
int ExitCodeOf(pid_t child)
{
    int status = 0;
    while (waitpid(child, &status, 0) != child)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// What the program, found on PATH, wrote when it ended with 0 (OK); nothing when it could not be
// started or ended otherwise (1: Cancel or the window closed).
std::optional<std::string> RunForOutput(const std::vector<std::string>& arguments)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return std::nullopt;
    platform::FileDescriptor readEnd(ends[0]);
    platform::FileDescriptor writeEnd(ends[1]);
    SpawnActions actions;
    posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(actions.Get(), writeEnd.Get(), STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], actions.Get(), nullptr, argv.data(), environ) != 0)
        return std::nullopt;
    writeEnd.Close();
    std::string output = ReadToEnd(readEnd.Get());
    if (ExitCodeOf(child) != 0)
        return std::nullopt;
    return output;
}
} // namespace

std::optional<std::vector<std::string>> ShowPinForm(const PinForm& form)
{
    if (!HasDisplay())
        return std::nullopt;
    std::optional<std::string> output = RunForOutput(ArgumentsOf(form));
    if (!output)
        return std::nullopt;
    return LinesOf(std::move(*output));
}
} // namespace QuendrySim
