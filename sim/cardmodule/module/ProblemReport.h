#pragma once

#include <string>

namespace QuendrySim
{
// Tells whoever set the card set up what keeps the module from working: a line on standard
// error, and on Windows, where a GUI program has no console, also on the debugger output and in
// the log file kProblemLogName beside the card set. The text never holds the card set's content.
void ReportProblem(const std::string& cardSetPath, const std::string& text);

constexpr const char* kProblemLogName = "quendryp11-errors.log";
} // namespace QuendrySim
