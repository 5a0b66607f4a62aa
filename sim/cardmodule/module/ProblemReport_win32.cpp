#include "sim/cardmodule/module/ProblemReport.h"

#include "platform/DebugOutput.h"
#include "platform/LocalTime.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace QuendrySim
{
namespace
{
std::string LocalTimeText()
{
    std::tm local = {};
    char text[32] = "";
    if (platform::ToLocalTime(std::time(nullptr), local))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// Beside the card set, so the one who edited it finds the reason there; appended, so the log
// keeps every problem of every process.
void AppendToProblemLog(const std::string& cardSetPath, const std::string& line)
{
    const std::filesystem::path log =
        std::filesystem::path(cardSetPath).parent_path() / kProblemLogName;
    std::ofstream out(log, std::ios::app | std::ios::binary);
    out << LocalTimeText() << ' ' << line;
}
} // namespace

void ReportProblem(const std::string& cardSetPath, const std::string& text)
{
    const std::string line = "quendry sim card module: " + text + "\r\n";
    std::fputs(line.c_str(), stderr);
    platform::OutputDebugText(line);
    AppendToProblemLog(cardSetPath, line);
}
} // namespace QuendrySim
