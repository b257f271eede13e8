// A console reporter that also prints how much longer a corrected
// 1920x1080 frame takes than a plain full-screen copy of the same scene
// (benchmarks named CorrectedFrame1080p and PlainCopy1080p), one ratio for
// each CorrectedFrame1080p variant (its arguments after the name).
#pragma once

#include <cstdio>
#include <string>
#include <utility>
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
                add(correctedVariant(name.substr(0, name.find("/repeats"))), run);
            else if (name.rfind("PlainCopy1080p", 0) == 0)
                add(plain, run);
        }
    }
    void printRatio() const
    {
        if (plain.runs == 0)
            return;
        const double plainMs = plain.mean() * 1e3;
        std::printf("\n");
        for (const auto& [name, corrected] : corrected_) {
            const double correctedMs = corrected.mean() * 1e3;
            std::printf("1920x1080 frame %s: corrected %.2f ms, plain copy %.2f ms, ratio %.2f\n",
                        name.c_str(), correctedMs, plainMs, correctedMs / plainMs);
        }
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
    Sum& correctedVariant(const std::string& name)
    {
        for (auto& entry : corrected_) {
            if (entry.first == name)
                return entry.second;
        }
        corrected_.emplace_back(name, Sum{});
        return corrected_.back().second;
    }
    std::vector<std::pair<std::string, Sum>> corrected_;
    Sum plain;
};

}  // namespace dovav::bench
