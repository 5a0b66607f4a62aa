#include "tests/ui/ChildProgram.h"

#include <wx/string.h>
#include <wx/utils.h>

#include <windows.h>

namespace GuiTest
{
namespace
{
struct HandleClose
{
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleClose>;

// One argument as the runtime's command-line parser reads it back: quoted, with the backslashes
// before a quote doubled.
std::wstring Quoted(const std::wstring& argument)
{
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument)
    {
        if (c == L'\\')
        {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

// The single-instance check's named mutex, which lives as long as a program holds it.
bool InstanceMutexExists()
{
    const wxString name = "QuendryCards-" + wxGetUserId();
    return OwnedHandle(OpenMutexW(SYNCHRONIZE, FALSE, name.wc_str())) != nullptr;
}
} // namespace

struct ChildProgram::Process
{
    OwnedHandle handle;
    std::optional<int> status;
};

ChildProgram::ChildProgram(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& folder)
    : process(std::make_unique<Process>())
{
    std::wstring commandLine = Quoted(wxString::FromUTF8(program).ToStdWstring());
    for (const std::string& argument : arguments)
        commandLine += L" " + Quoted(wxString::FromUTF8(argument).ToStdWstring());
    const std::wstring directory = wxString::FromUTF8(folder).ToStdWstring();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : directory.c_str(), &startup, &started))
        return;
    CloseHandle(started.hThread);
    process->handle.reset(started.hProcess);
}

ChildProgram::~ChildProgram()
{
    if (Started() && !Status())
    {
        Stop();
        WaitForSingleObject(process->handle.get(), INFINITE);
    }
}

bool ChildProgram::Started() const
{
    return process->handle != nullptr;
}

std::optional<int> ChildProgram::Status()
{
    DWORD code = 0;
    if (Started() && !process->status && WaitForSingleObject(process->handle.get(), 0) == 0 &&
        GetExitCodeProcess(process->handle.get(), &code))
        process->status = static_cast<int>(code);
    return process->status;
}

void ChildProgram::Stop()
{
    if (Started())
        TerminateProcess(process->handle.get(), 1);
}

// A mutex does not name its holder: the claim is this program's while it runs alone.
bool ChildProgram::HoldsInstanceClaim(const std::filesystem::path&) const
{
    return Started() && WaitForSingleObject(process->handle.get(), 0) == WAIT_TIMEOUT &&
           InstanceMutexExists();
}

bool InstanceClaimed(const std::filesystem::path&)
{
    return InstanceMutexExists();
}

std::string ProgramPath()
{
    return std::string(QUENDRY_BINARY_DIR) + "/bin/QuendryCards.exe";
}
} // namespace GuiTest
