#pragma once

// A second process on the test's card set: it inherits the environment that names it.

#include <string>
#include <vector>

namespace SimTest
{
// Runs the program with the arguments and answers its exit code; -1 when it could not be started
// or did not end by itself.
int RunProgram(const std::string& program, const std::vector<std::string>& arguments);

// Ends this process at once, without C_Finalize, unloading or destructors, as a crash does.
[[noreturn]] void EndAtOnce(int code);
} // namespace SimTest
