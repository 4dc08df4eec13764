// The spectral resampler against the step-by-step reference of the method,
// on a 64 KiB sample at each variant's source rate, with and without a loop:
// the resampler as built by default (with a worker thread on a machine with
// two or more hardware threads) and with no worker thread. Times are wall
// clock, since the worker's time is not the calling thread's.
// Arguments: variant index (0-2), loop (0 or 1).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "samples/sample_variants.h"
#include "samples/spectral_resampler.h"
#include "harness/bench_songs.h"
#include "harness/measure.h"
#include "support/spectral_reference.h"

namespace {

constexpr std::size_t kSampleBytes = 65536;
constexpr std::size_t kLoopStart = 49152;  // a 16 KiB loop at the end

std::vector<std::uint8_t> makeSample() { return kvtram::bench::shapedSample(kSampleBytes); }

void runResampler(benchmark::State& state, kvtram::SpectralResampler& resampler) {
  const double rate = kvtram::kVariantSourceRate[state.range(0)];
  const std::size_t loopStart = state.range(1) != 0 ? kLoopStart : 0;
  const std::vector<std::uint8_t> sample = makeSample();
  state.counters["workers"] = static_cast<double>(resampler.workerThreads());
  std::vector<std::uint8_t> out(kvtram::SpectralResampler::outputLength(sample.size(), rate));
  for (auto _ : state) {
    const bool ok = resampler.resample(sample.data(), sample.size(), rate, loopStart, out);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void BM_SpectralResampler(benchmark::State& state) {
  kvtram::SpectralResampler resampler;
  runResampler(state, resampler);
}

void BM_SpectralResamplerNoWorker(benchmark::State& state) {
  kvtram::SpectralResampler resampler(0);
  runResampler(state, resampler);
}

void BM_SpectralReference(benchmark::State& state) {
  const double rate = kvtram::kVariantSourceRate[state.range(0)];
  const std::size_t loopStart = state.range(1) != 0 ? kLoopStart : 0;
  const std::vector<std::uint8_t> sample = makeSample();
  for (auto _ : state) {
    std::vector<std::uint8_t> out =
        kvtram::reference::spectralResample(sample.data(), sample.size(), rate, loopStart);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void variantsAndLoops(benchmark::internal::Benchmark* b) {
  b->ArgNames({"variant", "loop"});
  for (int variant = 0; variant < 3; ++variant) {
    for (int loop = 0; loop < 2; ++loop) b->Args({variant, loop});
  }
  b->Unit(benchmark::kMillisecond);
  b->UseRealTime();
}

}  // namespace

BENCHMARK(BM_SpectralResampler)->Apply(variantsAndLoops);
BENCHMARK(BM_SpectralResamplerNoWorker)->Apply(variantsAndLoops);
BENCHMARK(BM_SpectralReference)->Apply(variantsAndLoops);

KVTRAM_BENCHMARK_MAIN()
