#include "sim/cardmodule/module/ProblemReport.h"

#include <cstdio>

namespace QuendrySim
{
void ReportProblem(const std::string&, const std::string& text)
{
    std::fprintf(stderr, "quendry sim card module: %s\n", text.c_str());
}
} // namespace QuendrySim
