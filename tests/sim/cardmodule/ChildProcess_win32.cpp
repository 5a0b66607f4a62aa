#include "ChildProcess.h"

#include <algorithm>
#include <memory>
#include <windows.h>

namespace SimTest
{
namespace
{
struct HandleCloser
{
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// Each argument quoted; the tests pass none with quotes or a trailing backslash.
std::string CommandLine(const std::string& program, const std::vector<std::string>& arguments)
{
    std::string line = "\"" + program + "\"";
    for (const std::string& argument : arguments)
        line += " \"" + argument + "\"";
    return line;
}
} // namespace

int RunProgram(const std::string& path, const std::vector<std::string>& arguments)
{
    std::string program = path;
    std::replace(program.begin(), program.end(), '/', '\\');
    std::string line = CommandLine(program, arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    const Handle child(process.hProcess);
    const Handle thread(process.hThread);
    DWORD code = 0;
    if (WaitForSingleObject(child.get(), INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(child.get(), &code))
        return -1;
    return static_cast<int>(code);
}

// Not ExitProcess: that would still detach the module and run its destructors.
void EndAtOnce(int code)
{
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    for (;;)
        Sleep(INFINITE);
}
} // namespace SimTest
