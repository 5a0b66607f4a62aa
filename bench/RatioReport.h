#pragma once

// Collects every repetition of every benchmark while the console reporter prints it, and turns the
// medians into the ratio lines that follow the benchmark output.

#include <benchmark/benchmark.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace QuendryBench
{
// What a ratio compares of each repetition: the time per iteration on the wall clock or on the
// process's CPU, or a counter by its name.
inline const std::string RealTime = "real time";
inline const std::string CpuTime = "cpu time";

// One line "<name>: ratio <median ratio> (target <target>)": the median of measured over the
// median of baseline.
struct Ratio
{
    std::string name;
    std::string measured;
    std::string baseline;
    double target;
    std::string value;
};

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override;

    // The median of a benchmark's repetitions; 0 when it did not run.
    double Median(const std::string& benchmark, const std::string& value) const;
    void PrintRatios(const std::vector<Ratio>& ratios, std::ostream& out) const;
    // Whether a benchmark stopped with an error (a read that lost rows, a program that did not
    // start).
    bool AnyFailed() const { return m_failed; }

private:
    // By benchmark name, then by what was measured (times in seconds).
    std::map<std::string, std::map<std::string, std::vector<double>>> m_values;
    bool m_failed = false;
};
} // namespace QuendryBench
