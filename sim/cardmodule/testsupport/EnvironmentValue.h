#pragma once

#include <string>

namespace QuendrySim
{
// Sets a variable of this process's environment, where the module loaded into it reads it.
bool SetEnvironmentValue(const std::string& name, const std::string& value);
} // namespace QuendrySim
