// The benchmark suite: every measurement with its baseline in the same run, then the calls of one
// card-list read and the ratio lines. --once runs every benchmark for one iteration (CI). Fails
// when a benchmark stopped with an error; no time is judged.
#include "bench/Benchmarks.h"

#include <cstring>
#include <iostream>
#include <wx/init.h>

int main(int argc, char** argv)
{
    bool once = false;
    int kept = 1;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--once") == 0)
            once = true;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;

    // The card-list worker is a wx thread object, even when its read runs on this thread.
    wxInitializer wx;
    QuendryBench::BenchCards cards;
    QuendryBench::Registered all = QuendryBench::RegisterCardListBenchmarks(cards);
    for (const auto& family :
         {QuendryBench::RegisterPkcs7Benchmarks(), QuendryBench::RegisterProgramBenchmarks(cards)})
        all.insert(all.end(), family.begin(), family.end());
    if (once)
        for (benchmark::internal::Benchmark* registered : all)
            registered->Iterations(1);

    QuendryBench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::cout << "\n";
    QuendryBench::PrintCardListCalls(cards, std::cout);
    std::vector<QuendryBench::Ratio> ratios = QuendryBench::CardListRatios();
    for (const auto& family : {QuendryBench::Pkcs7Ratios(), QuendryBench::ProgramRatios()})
        ratios.insert(ratios.end(), family.begin(), family.end());
    reporter.PrintRatios(ratios, std::cout);
    benchmark::Shutdown();
    return reporter.AnyFailed() ? 1 : 0;
}
