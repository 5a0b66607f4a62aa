#pragma once

// Reading the simulated module's call log (format in sim/cardmodule/README.md).

#include <map>
#include <string>
#include <vector>

namespace QuendrySim
{
struct CallRecord
{
    std::string function;
    std::map<std::string, std::string> fields; // unescaped values
    unsigned long rv = 0;

    // The field's value, empty when the line has none.
    std::string Field(const std::string& name) const;
};

std::vector<CallRecord> ReadCallLog(const std::string& path);
CallRecord ParseCallLine(const std::string& line);
// Session handles that a successful C_OpenSession gave and no successful C_CloseSession (or
// C_CloseAllSessions of the slot, or C_Finalize) ended.
std::vector<std::string> UnclosedSessions(const std::vector<CallRecord>& records);
} // namespace QuendrySim
