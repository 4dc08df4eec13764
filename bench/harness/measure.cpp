#include "harness/measure.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <numeric>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "samples/spectral_resampler.h"
#include "support/spectral_reference.h"

extern char** environ;

namespace kvtram::bench {

namespace {

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; }

Usage usageOf(const rusage& ru) {
  Usage u;
  u.cpuSeconds = seconds(ru.ru_utime) + seconds(ru.ru_stime);
  u.minorFaults = ru.ru_minflt;
  u.majorFaults = ru.ru_majflt;
  u.maxRssKiB = ru.ru_maxrss;
  return u;
}

double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Collects every run while the console shows them, and prints the summary
// table at the end.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  SummaryReporter() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& reports) override {
    ConsoleReporter::ReportRuns(reports);
    for (const Run& run : reports) {
      if (run.error_occurred) continue;
      const std::string name = shortName(run.run_name.str());
      if (rows_.find(name) == rows_.end()) order_.push_back(name);
      Row& row = rows_[name];
      if (run.run_type == Run::RT_Iteration) {
        if (!row.haveMedian) row.median = run;
        if (!row.haveMin) row.min = run;
      } else if (run.aggregate_name == "median") {
        row.median = run;
        row.haveMedian = true;
      } else if (run.aggregate_name == "min") {
        row.min = run;
        row.haveMin = true;
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-44s %10s %10s %10s %9s %7s %8s\n", "benchmark", "cpu ms", "min ms", "faults",
                "rss MiB", "x sin", "x synth");
    for (const std::string& name : order_) {
      const Row& row = rows_[name];
      std::printf("%-44s %10.2f %10.2f %10s %9s %7s %8s\n", name.c_str(), cpuMilliseconds(row.median),
                  cpuMilliseconds(row.min), counter(row.median, "faults", "%.0f").c_str(),
                  counter(row.median, "rss_mib", "%.1f").c_str(),
                  counter(row.median, "x_sin", "%.3f").c_str(),
                counter(row.median, "x_synth", "%.3f").c_str());
    }
  }

 private:
  struct Row {
    Run median;
    Run min;
    bool haveMedian = false;
    bool haveMin = false;
  };

  // Without the "BM_" prefix and the name of the clock.
  static std::string shortName(std::string name) {
    if (name.rfind("BM_", 0) == 0) name.erase(0, 3);
    for (const char* clock : {"/process_time", "/manual_time", "/real_time"}) {
      const std::size_t at = name.find(clock);
      if (at != std::string::npos) name.erase(at, std::string(clock).size());
    }
    return name;
  }

  static double cpuMilliseconds(const Run& run) {
    auto it = run.counters.find("cpu_ms");
    if (it != run.counters.end()) return it->second.value;
    return run.GetAdjustedCPUTime() * 1e3 / benchmark::GetTimeUnitMultiplier(run.time_unit);
  }

  static std::string counter(const Run& run, const char* key, const char* format) {
    auto it = run.counters.find(key);
    if (it == run.counters.end()) return "-";
    char text[32];
    std::snprintf(text, sizeof text, format, it->second.value);
    return text;
  }

  std::map<std::string, Row> rows_;
  std::vector<std::string> order_;
};

}  // namespace

Usage processUsage() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return usageOf(ru);
}

Usage runProcess(const std::vector<std::string>& argv, int& status) {
  // Through child_usage, which starts the program from its own small
  // process and reports the program's usage alone (see there).
  status = -1;
  std::vector<char*> args = {const_cast<char*>(KVTRAM_CHILD_USAGE_PATH)};
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int report[2];
  if (pipe(report) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, report[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, report[0]);
  posix_spawn_file_actions_addclose(&actions, report[1]);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(report[1]);
  std::string line;
  char buffer[256];
  for (ssize_t got; spawned == 0 && (got = read(report[0], buffer, sizeof buffer)) > 0;) {
    line.append(buffer, static_cast<std::size_t>(got));
  }
  close(report[0]);
  if (spawned != 0) return {};
  int wstatus = 0;
  if (waitpid(pid, &wstatus, 0) != pid || !WIFEXITED(wstatus) || WEXITSTATUS(wstatus) != 0) return {};
  double user = 0;
  double system = 0;
  Usage u;
  if (std::sscanf(line.c_str(), "%lf %lf %ld %ld %ld %d", &user, &system, &u.minorFaults,
                  &u.majorFaults, &u.maxRssKiB, &status) != 6) {
    status = -1;
    return {};
  }
  u.cpuSeconds = user + system;
  return u;
}

double sineWork(std::size_t calls) {
  constexpr int kBins = 91;
  constexpr int kSamples = 182;
  double sum = 0;
  std::size_t done = 0;
  while (done < calls) {
    for (int k = 1; k <= kBins && done < calls; ++k) {
      const double step = static_cast<double>(k) * 6.2831853071796 / 256.0 / 11151.0 * 15700.0;
      double phase = 1.0 + 0.05 * k;
      for (int m = 0; m < kSamples; ++m) {
        sum = sum + std::sin(phase);
        phase = phase + step;
      }
      done += kSamples;
    }
  }
  return sum;
}

double sineSeconds(std::size_t calls) {
  const double start = threadCpuSeconds();
  benchmark::DoNotOptimize(sineWork(calls));
  return threadCpuSeconds() - start;
}

std::vector<SineRun> spectralSineRuns(const std::vector<unsigned char>& sample, double rate) {
  const std::size_t first = SpectralResampler::outputShift(rate);
  const std::size_t end = first + SpectralResampler::outputLength(sample.size(), rate);
  std::vector<SineRun> runs;
  std::size_t runFrame = 0;
  int runBin = -1;
  std::size_t nextEntry = 0;
  reference::spectralResample(
      sample.data(), sample.size(), rate, 0,
      [&](std::size_t frame, int k, std::size_t j, double p, double magnitude, double step) {
        if (magnitude == 0.0 || j < first || j >= end) return;
        const bool sameBin = frame == runFrame && k == runBin;
        if (sameBin && k == 0) return;  // one sine serves the frame's bin 0
        if (sameBin && j == nextEntry) {
          ++runs.back().count;
        } else {
          runs.push_back(SineRun{p, step, 1});
        }
        runFrame = frame;
        runBin = k;
        nextEntry = j + 1;
      });
  return runs;
}

std::size_t sineCalls(const std::vector<SineRun>& runs) {
  std::size_t calls = 0;
  for (const SineRun& run : runs) calls += run.count;
  return calls;
}

double sineRunSeconds(const std::vector<SineRun>& runs) {
  const double start = threadCpuSeconds();
  double sum = 0;
  for (const SineRun& run : runs) {
    double phase = run.phase;
    for (std::size_t m = 0; m < run.count; ++m) {
      sum = sum + std::sin(phase);
      phase = phase + run.step;
    }
  }
  benchmark::DoNotOptimize(sum);
  return threadCpuSeconds() - start;
}

void reportUsage(benchmark::State& state, const Usage& before, const Usage& after) {
  const double n = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
  state.counters["cpu_ms"] = (after.cpuSeconds - before.cpuSeconds) * 1e3 / n;
  state.counters["faults"] = static_cast<double>(after.minorFaults - before.minorFaults) / n;
}

benchmark::internal::Benchmark* withMin(benchmark::internal::Benchmark* b) {
  return b->ComputeStatistics("min", [](const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
  });
}

int runBenchmarks(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace kvtram::bench
