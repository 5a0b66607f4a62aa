#include "bench/RatioReport.h"

#include <algorithm>
#include <iomanip>

namespace QuendryBench
{
void RatioReporter::ReportRuns(const std::vector<Run>& runs)
{
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
    {
        m_failed = m_failed || run.error_occurred;
        if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0)
            continue;
        // The registered name, without the iteration and timing suffixes.
        auto& values = m_values[run.run_name.function_name];
        const auto iterations = static_cast<double>(run.iterations);
        values[RealTime].push_back(run.real_accumulated_time / iterations);
        values[CpuTime].push_back(run.cpu_accumulated_time / iterations);
        for (const auto& [name, counter] : run.counters)
            values[name].push_back(counter.value);
    }
}

double RatioReporter::Median(const std::string& benchmark, const std::string& value) const
{
    const auto byBenchmark = m_values.find(benchmark);
    if (byBenchmark == m_values.end())
        return 0;
    const auto byValue = byBenchmark->second.find(value);
    if (byValue == byBenchmark->second.end() || byValue->second.empty())
        return 0;
    std::vector<double> values = byValue->second;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void RatioReporter::PrintRatios(const std::vector<Ratio>& ratios, std::ostream& out) const
{
    for (const Ratio& ratio : ratios)
    {
        const double measured = Median(ratio.measured, ratio.value);
        const double baseline = Median(ratio.baseline, ratio.value);
        if (measured <= 0 || baseline <= 0)
            continue;
        out << ratio.name << ": ratio " << std::fixed << std::setprecision(2) << measured / baseline
            << " (target " << std::setprecision(1) << ratio.target << ")\n";
    }
}
} // namespace QuendryBench
