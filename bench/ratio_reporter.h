// A console reporter that also prints how much longer a corrected
// 1920x1080 frame takes than a plain full-screen copy of the same scene
// (benchmarks named CorrectedFrame1080p and PlainCopy1080p).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include <benchmark/benchmark.h>

namespace dovav::bench {

// Keeps the mean wall time of the two full-frame benchmarks for the ratio.
// Colours only a terminal, as the library's own console output does.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter()
        : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular)
    {
    }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            const std::string name = run.benchmark_name();
            // Per-repetition runs: keep the sum for a mean.
            if (name.rfind("CorrectedFrame1080p", 0) == 0)
                add(corrected, run);
            else if (name.rfind("PlainCopy1080p", 0) == 0)
                add(plain, run);
        }
    }
    void printRatio() const
    {
        if (corrected.runs == 0 || plain.runs == 0)
            return;
        const double correctedMs = corrected.mean() * 1e3;
        const double plainMs = plain.mean() * 1e3;
        std::printf("\n1920x1080 frame: corrected %.2f ms, plain copy %.2f ms, ratio %.2f\n",
                    correctedMs, plainMs, correctedMs / plainMs);
    }

private:
    struct Sum {
        double seconds = 0.0;
        int runs = 0;
        double mean() const { return seconds / runs; }
    };
    static void add(Sum& sum, const Run& run)
    {
        sum.seconds += run.real_accumulated_time / double(run.iterations);
        ++sum.runs;
    }
    Sum corrected;
    Sum plain;
};

}  // namespace dovav::bench
