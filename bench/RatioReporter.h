// A console reporter that keeps each benchmark's time per iteration, so a
// benchmark program can print its ratios against the peer libraries at the
// end, and the instruction counts that scripts/bench --callgrind measured.
//
// Instruction counts: the script runs a program under callgrind with
// collection off (--collect-atstart=no) and a fixed iteration count
// (KES_BENCH_ITERATIONS, see FixedIterations). Inside each benchmark loop a
// CountedWork object switches collection on for the work of one iteration
// only; after each benchmark the reporter writes the counts as one dump named
// "<benchmark> <iterations>". The script turns the dumps into a file of
// instructions per iteration and hands it to the timed run in KES_BENCH_COUNTS.
#pragma once

#include <benchmark/benchmark.h>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define RUNNING_ON_VALGRIND 0
#define CALLGRIND_TOGGLE_COLLECT
#define CALLGRIND_DUMP_STATS_AT(name) ((void)(name))
#endif

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

// Counts the instructions of its own lifetime under callgrind; a few
// instructions of nothing elsewhere.
struct CountedWork {
    CountedWork() { CALLGRIND_TOGGLE_COLLECT; }
    ~CountedWork() { CALLGRIND_TOGGLE_COLLECT; }
    CountedWork(const CountedWork&) = delete;
    CountedWork& operator=(const CountedWork&) = delete;
};

// A fixed iteration count for every benchmark when KES_BENCH_ITERATIONS is set
// (for counting; timing runs choose their own).
inline void FixedIterations(benchmark::internal::Benchmark* b) {
    if (const char* n = std::getenv("KES_BENCH_ITERATIONS"))
        if (const long count = std::strtol(n, nullptr, 10); count > 0) b->Iterations(count);
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            times[run.benchmark_name()] = run.GetAdjustedRealTime();
            if (RUNNING_ON_VALGRIND) {
                const std::string dump = run.benchmark_name() + " " + std::to_string(run.iterations);
                CALLGRIND_DUMP_STATS_AT(dump.c_str());
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

// Instructions per iteration by benchmark name, from the file named in
// KES_BENCH_COUNTS (lines "<instructions> <benchmark>"); empty without one.
inline std::map<std::string, double> LoadCounts() {
    std::map<std::string, double> counts;
    const char* path = std::getenv("KES_BENCH_COUNTS");
    if (path == nullptr) return counts;
    std::ifstream in(path);
    double n;
    std::string name;
    while (in >> n >> name) counts[name] = n;
    return counts;
}

// Prints the ratio lines of a program once for the times and, when counts
// were measured, once for the instructions.
template <class PrintRatios>
void PrintBothRatios(const RatioReporter& reporter, PrintRatios&& print) {
    std::printf("\nTime ratios:\n");
    print(reporter.times);
    const auto counts = LoadCounts();
    if (counts.empty()) return;
    std::printf("\nInstruction-count ratios (callgrind):\n");
    print(counts);
}

// Runs the benchmarks chosen on the command line (after
// benchmark::Initialize), then prints the program's ratio lines.
template <class PrintRatios>
void RunAndPrintRatios(PrintRatios&& print) {
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintBothRatios(reporter, print);
}

// A benchmark's figure by name; 0 when it did not run.
inline double Measured(const std::map<std::string, double>& v, const std::string& name) {
    const auto it = v.find(name);
    return it == v.end() ? 0.0 : it->second;
}

// The check made once before timing that the engine and its peer produced
// the same output: prints "<what>: outputs equal", or how far apart they are
// against the stated tolerance (with a note such as the share of values that
// differ), and ends the program when the difference is beyond it, so that no
// ratio of unequal work is ever printed.
inline void CheckOutputs(const std::string& what, const char* peer, int worst, int tolerance,
                         const std::string& note = {}) {
    if (worst == 0)
        std::printf("%s: outputs equal\n", what.c_str());
    else
        std::printf("%s: outputs within %d of %s (tolerance %d)%s%s\n", what.c_str(), worst, peer, tolerance,
                    note.empty() ? "" : ", ", note.c_str());
    if (worst > tolerance) {
        std::fprintf(stderr, "%s: outputs differ by %d, more than %d\n", what.c_str(), worst, tolerance);
        std::exit(1);
    }
}
