#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace GuiTest
{
// A program the test started; one still running at the end is stopped and waited for.
class ChildProgram
{
public:
    // Starts the program with the arguments, in the folder when one is given; with the test
    // program's environment.
    ChildProgram(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& folder = "");
    ~ChildProgram();
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    bool Started() const;
    // The exit status once the program has ended (128 + the signal that ended it); nothing while
    // it runs.
    std::optional<int> Status();
    // Ends the program as the system ends it from outside.
    void Stop();
    // Whether this program holds the claim of the user's single running instance; `home` is the
    // user's home folder the program was started with.
    bool HoldsInstanceClaim(const std::filesystem::path& home) const;

private:
    struct Process;
    std::unique_ptr<Process> process;
};

// Whether some program holds the claim of the user's single running instance.
bool InstanceClaimed(const std::filesystem::path& home);

// The program's executable in the build.
std::string ProgramPath();
} // namespace GuiTest
