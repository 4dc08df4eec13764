// Whole conversions of songs made here with the KV song builder:
//  - Sine: one libm sin() call as the spectral synthesis makes them, the floor
//    of the spectral resampler;
//  - AllSpectralSong: a 64 KiB sample whose notes need all three variants,
//    all resampled spectrally, in a fresh workspace per conversion (as a
//    process converting it would), with the sin() calls it makes and its CPU
//    time as a multiple of their floor: of the same calls on the same
//    arguments in a bare loop (x_sin), and of the synthetic loop (x_synth);
//  - Process: the command line converting nothing, a small song, a typical
//    song and the all-spectral song, each as a process of its own: its CPU
//    time, page faults and peak resident set;
//  - NodeProcess: the WebAssembly command line under node, converting
//    nothing and the all-spectral song, against the native one;
//  - LongSong: the passes over long songs (channels / frames), one workspace
//    reused as in a batch;
//  - Batch200: 200 small songs in one process.
// CPU times are process CPU (every thread, system time included), which other
// work on the machine disturbs far less than wall time.
// Arguments of AllSpectralSong: the resampler's helper threads (0 or 1).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/batch.h"
#include "app/convert_file.h"
#include "app/workspace.h"
#include "samples/sample_variants.h"
#include "harness/bench_songs.h"
#include "harness/measure.h"
#include "support/temp_dir.h"

namespace kvtram::bench {

namespace {

void BM_Sine(benchmark::State& state) {
  constexpr std::size_t kCalls = 1 << 20;
  const Usage before = processUsage();
  for (auto _ : state) benchmark::DoNotOptimize(sineWork(kCalls));
  const Usage after = processUsage();
  reportUsage(state, before, after);
  state.counters["ns_per_sin"] = state.counters["cpu_ms"].value * 1e6 / static_cast<double>(kCalls);
}

// The floors of converting the all-spectral song: the sin() calls its three
// variants make, on their own arguments (x_sin), and as many calls of the
// synthetic loop of BM_Sine (x_synth, which repeats the same phases and so
// runs a few percent faster than the song's own calls).
class SpectralFloor {
 public:
  SpectralFloor() {
    const std::vector<std::uint8_t> sample = shapedSample(65536);
    SpectralResampler resampler(0);
    for (double rate : kVariantSourceRate) {
      std::vector<std::uint8_t> out(SpectralResampler::outputLength(sample.size(), rate));
      resampler.resample(sample.data(), sample.size(), rate, 0, out);
      calls_ += resampler.sineCalls();
      const std::vector<SineRun> runs = spectralSineRuns(sample, rate);
      runs_.insert(runs_.end(), runs.begin(), runs.end());
    }
  }

  // Whether the reference's calls are the resampler's, one for one.
  bool matches() const { return sineCalls(runs_) == calls_; }

  // Times both floors once, right beside a conversion.
  void measure() {
    own_ += sineRunSeconds(runs_);
    synthetic_ += sineSeconds(calls_);
  }

  void report(benchmark::State& state, double cpuSeconds) const {
    state.counters["sin_calls"] = static_cast<double>(calls_);
    state.counters["floor_ms"] = own_ * 1e3 / static_cast<double>(state.iterations());
    state.counters["x_sin"] = cpuSeconds / own_;
    state.counters["x_synth"] = cpuSeconds / synthetic_;
  }

 private:
  std::vector<SineRun> runs_;
  std::size_t calls_ = 0;
  double own_ = 0;
  double synthetic_ = 0;
};

// Each conversion is followed by the sin() calls it makes, timed alone:
// x_sin is the conversions' CPU time over theirs.
void BM_AllSpectralSong(benchmark::State& state) {
  TempDir dir;
  const std::string path = allSpectralSong().write(dir.path(), "spectral");
  const std::string image = dir.path() + "/spectral.trm";
  const ConversionOptions options = allSpectralOptions();
  const std::size_t helpers = static_cast<std::size_t>(state.range(0));
  SpectralFloor floor;
  if (!floor.matches()) state.SkipWithError("the reference's sin() calls are not the resampler's");
  Usage spent;
  for (auto _ : state) {
    const Usage before = processUsage();
    auto workspace = std::make_unique<Workspace>(helpers);
    const std::string failure = convertFile(*workspace, path, image, options);
    workspace.reset();
    const Usage after = processUsage();
    if (!failure.empty()) state.SkipWithError(failure.c_str());
    spent.cpuSeconds += after.cpuSeconds - before.cpuSeconds;
    spent.minorFaults += after.minorFaults - before.minorFaults;
    state.PauseTiming();
    floor.measure();
    state.ResumeTiming();
  }
  reportUsage(state, Usage{}, spent);
  floor.report(state, spent.cpuSeconds);
}

// Runs a child as one iteration, timed by its own CPU time, and adds its
// usage to `total`.
void timeChild(benchmark::State& state, const std::vector<std::string>& argv, int expectedStatus, Usage& total) {
  int status = -1;
  const Usage child = runProcess(argv, status);
  if (status != expectedStatus) state.SkipWithError("the command line failed");
  state.SetIterationTime(child.cpuSeconds);
  total.cpuSeconds += child.cpuSeconds;
  total.minorFaults += child.minorFaults;
  total.maxRssKiB = std::max(total.maxRssKiB, child.maxRssKiB);
}

void reportChildren(benchmark::State& state, const Usage& total) {
  reportUsage(state, Usage{}, total);
  state.counters["rss_mib"] = static_cast<double>(total.maxRssKiB) / 1024.0;
}

// The command line as a process of its own, on: 0 nothing (a file that is
// not a song), 1 a small song, 2 a typical song, 3 the all-spectral song
// (followed, as above, by its sin() calls timed alone), 4 the same with -j 1.
void BM_Process(benchmark::State& state) {
  TempDir dir;
  std::vector<std::string> argv = {KVTRAM_CLI_PATH, "convert", "-q"};
  std::unique_ptr<SpectralFloor> floor;
  int expectedStatus = 0;
  switch (state.range(0)) {
    case 0:
      argv.push_back(dir.write("nothing.txt", {}));  // a missing path would be a failure
      expectedStatus = 3;  // the exit status that says nothing was converted
      break;
    case 1:
      argv.push_back(smallSong().write(dir.path(), "small"));
      break;
    case 2:
      argv.push_back(typicalSong().write(dir.path(), "typical"));
      break;
    default:
      // 3 as the command line converts it by default (with a helper thread
      // for the resampler on a machine of two or more processors), 4 with
      // no helper (-j 1).
      if (state.range(0) == 4) argv.insert(argv.end(), {"-j", "1"});
      argv.insert(argv.end(), {"--strict-high", "--high-quality"});
      argv.push_back(allSpectralSong().write(dir.path(), "spectral"));
      floor = std::make_unique<SpectralFloor>();
      if (!floor->matches()) state.SkipWithError("the reference's sin() calls are not the resampler's");
      break;
  }
  Usage total;
  for (auto _ : state) {
    timeChild(state, argv, expectedStatus, total);
    if (floor) floor->measure();
  }
  reportChildren(state, total);
  if (floor) floor->report(state, total.cpuSeconds);
}

// The all-spectral song converted by the WebAssembly command line under node
// (-j 1: that build has no threads), each run followed by the native command
// line on the same song with -j 1; x_native is the first's CPU time over the
// second's. song:0 is node converting nothing: its start-up and the
// module's compilation, which the song's run includes.
void BM_NodeProcess(benchmark::State& state) {
  const char* webCli = std::getenv("KVTRAM_WEB_CLI");
  const std::string script = webCli != nullptr ? webCli : KVTRAM_WEB_CLI_PATH;
  if (std::string(KVTRAM_NODE_PATH).empty() || !std::filesystem::exists(script)) {
    state.SkipWithError("no node, or no WebAssembly command line (scripts/build-web, or KVTRAM_WEB_CLI)");
    return;
  }
  TempDir dir;
  std::vector<std::string> options = {"convert", "-q", "-j", "1"};
  int expectedStatus = 0;
  if (state.range(0) == 0) {
    options.push_back(dir.write("nothing.txt", {}));
    expectedStatus = 3;
  } else {
    options.insert(options.end(), {"--strict-high", "--high-quality"});
    options.push_back(allSpectralSong().write(dir.path(), "spectral"));
  }
  std::vector<std::string> node = {KVTRAM_NODE_PATH, script};
  node.insert(node.end(), options.begin(), options.end());
  std::vector<std::string> native = {KVTRAM_CLI_PATH};
  native.insert(native.end(), options.begin(), options.end());
  Usage total;
  double nativeSeconds = 0.0;
  for (auto _ : state) {
    timeChild(state, node, expectedStatus, total);
    int status = -1;
    nativeSeconds += runProcess(native, status).cpuSeconds;
  }
  reportChildren(state, total);
  state.counters["x_native"] = nativeSeconds > 0.0 ? total.cpuSeconds / nativeSeconds : 0.0;
}

void BM_LongSong(benchmark::State& state) {
  TempDir dir;
  const int channels = static_cast<int>(state.range(0));
  const int frames = static_cast<int>(state.range(1));
  const std::string path = longSong(channels, frames).write(dir.path(), "long");
  const std::string image = dir.path() + "/long.trm";
  auto workspace = std::make_unique<Workspace>();
  const ConversionOptions options;
  // The first conversion touches the workspace's memory; measured are the
  // conversions after it.
  if (!convertFile(*workspace, path, image, options).empty()) state.SkipWithError("conversion failed");
  const Usage before = processUsage();
  for (auto _ : state) {
    const std::string failure = convertFile(*workspace, path, image, options);
    if (!failure.empty()) state.SkipWithError(failure.c_str());
  }
  reportUsage(state, before, processUsage());
}

void BM_Batch200(benchmark::State& state) {
  TempDir dir;
  std::vector<std::string> paths;
  for (int i = 0; i < 200; ++i) paths.push_back(batchSong(i).write(dir.path(), "song" + std::to_string(i)));
  const Usage before = processUsage();
  for (auto _ : state) {
    auto workspace = std::make_unique<Workspace>();
    const BatchOutcome outcome = runBatch(*workspace, paths, ConversionOptions{});
    if (!outcome.failures.empty()) state.SkipWithError(outcome.failures.front().c_str());
  }
  reportUsage(state, before, processUsage());
}

}  // namespace

BENCHMARK(BM_Sine)->Unit(benchmark::kMillisecond)->Apply([](auto* b) { withMin(b); });
BENCHMARK(BM_AllSpectralSong)
    ->ArgName("helpers")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Apply([](auto* b) { withMin(b); });
BENCHMARK(BM_Process)
    ->ArgName("song")
    ->DenseRange(0, 4)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Apply([](auto* b) { withMin(b); });
BENCHMARK(BM_NodeProcess)
    ->ArgName("song")
    ->Arg(0)
    ->Arg(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Apply([](auto* b) { withMin(b); });
BENCHMARK(BM_LongSong)
    ->ArgNames({"channels", "frames"})
    ->ArgsProduct({{1, 4, 8}, {2250, 9000, 36000}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Apply([](auto* b) { withMin(b); });
BENCHMARK(BM_Batch200)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Apply([](auto* b) { withMin(b); });

}  // namespace kvtram::bench

KVTRAM_BENCHMARK_MAIN()
