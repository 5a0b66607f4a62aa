#pragma once

// The benchmark families of the suite, each with the ratios it reports.

#include "bench/BenchCards.h"
#include "bench/RatioReport.h"

#include <ostream>
#include <vector>

namespace QuendryBench
{
using Registered = std::vector<benchmark::internal::Benchmark*>;

Registered RegisterCardListBenchmarks(BenchCards& cards);
std::vector<Ratio> CardListRatios();
// The module calls of one card-list read of 8 cards, for the wrapper and for the bare client.
void PrintCardListCalls(BenchCards& cards, std::ostream& out);

Registered RegisterPkcs7Benchmarks();
std::vector<Ratio> Pkcs7Ratios();

// Process start and idle memory of the program against a bare frame; need a display.
Registered RegisterProgramBenchmarks(BenchCards& cards);
std::vector<Ratio> ProgramRatios();
} // namespace QuendryBench
