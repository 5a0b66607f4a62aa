#include "sim/cardmodule/testsupport/EnvironmentValue.h"

#include <cstdlib>

namespace QuendrySim
{
// The runtime's copy, which getenv in the module reads, and the process's, which children inherit.
bool SetEnvironmentValue(const std::string& name, const std::string& value)
{
    return _putenv_s(name.c_str(), value.c_str()) == 0;
}
} // namespace QuendrySim
