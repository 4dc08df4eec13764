// What the benchmarks measure besides Google Benchmark's clocks: the CPU
// time and page faults of this process (all its threads), a child process's
// CPU time, peak resident set and page faults, and the cost of one libm sin()
// call, the floor of the spectral resampler.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace kvtram::bench {

struct Usage {
  double cpuSeconds = 0;  // user + system, every thread
  long minorFaults = 0;
  long majorFaults = 0;
  long maxRssKiB = 0;
};

// This process so far.
Usage processUsage();

// Runs argv (argv[0] a path) with its output thrown away and waits for it.
// Returns its usage; `status` receives the exit status (-1 when it did not
// run or did not exit normally).
Usage runProcess(const std::vector<std::string>& argv, int& status);

// Runs `calls` std::sin() calls on phases like those the spectral synthesis
// feeds it (bins 1 .. 91 of the mid variant, 182 steps each, the same phases
// in every round); returns their sum so that the work is kept.
double sineWork(std::size_t calls);

// The CPU seconds of sineWork(calls) on this thread: the floor of a
// conversion that makes that many calls. Measured right beside the
// conversion it is compared with, so that both see the same machine load.
double sineSeconds(std::size_t calls);

// The sin() calls of a spectral resampling, argument for argument and in
// their order, as runs: `count` calls from `phase`, adding `step` after each.
struct SineRun {
  double phase;
  double step;
  std::size_t count;
};

// The runs of the calls SpectralResampler makes for `sample` at `rate`
// (no loop), taken from the step-by-step reference of the method: its
// sines of silent bins and of samples outside the output are left out, as
// the resampler leaves them out, and bin 0 takes one call per frame.
std::vector<SineRun> spectralSineRuns(const std::vector<unsigned char>& sample, double rate);
std::size_t sineCalls(const std::vector<SineRun>& runs);

// The CPU seconds, on this thread, of the sin() calls of `runs` in a bare
// loop: the floor of the conversion that makes them, on their own arguments.
double sineRunSeconds(const std::vector<SineRun>& runs);

// Adds the counters every conversion benchmark reports: CPU milliseconds and
// page faults per iteration, from the usage before and after the loop.
void reportUsage(benchmark::State& state, const Usage& before, const Usage& after);

// Registers "min" beside the mean, median and spread of repeated runs.
benchmark::internal::Benchmark* withMin(benchmark::internal::Benchmark* b);

// Runs the benchmarks named on the command line and prints, after Google
// Benchmark's own output, one line per benchmark: its CPU time, page faults,
// peak RSS and the ratio to the sin() floor where it has them.
int runBenchmarks(int argc, char** argv);

}  // namespace kvtram::bench

#define KVTRAM_BENCHMARK_MAIN() \
  int main(int argc, char** argv) { return kvtram::bench::runBenchmarks(argc, argv); }
