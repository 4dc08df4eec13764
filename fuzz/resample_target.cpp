// Fuzz target: the linear and the spectral resampler on short samples with
// arbitrary rates (pitches), loops and output lengths, into buffers of exactly
// the size each call says it needs (so that the sanitizer sees any byte past
// them). A call that the resampler accepts must succeed; one byte less of
// room must be refused with nothing written; the spectral resampler gives the
// same bytes with and without a helper thread (and with and without AVX).
//
// Input layout:
//   byte 0     bits 0-1 the rate: a variant's source rate (byte 1 % 3 picks
//              it), 11151 x (1 + u16 / 1024), 11151 x u16 / 1024, or the
//              double in bytes 1-8 as it stands; bit 2 the linear output
//              length from bytes 11-12 instead of the scaled length; bit 3 a
//              loop from bytes 9-10 (modulo the length); bit 4 a loop start
//              past the sample's end
//   bytes 1-8  the rate's operands; 9-10 loop; 11-12 output length; 13 where
//              the sample lies in the linear resampler's store
//   then       the sample (at most kMaxSample bytes)
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "samples/linear_resampler.h"
#include "samples/sample_variants.h"
#include "samples/spectral_resampler.h"

using namespace kvtram;

namespace {

constexpr std::size_t kHead = 14;
constexpr std::size_t kMaxSample = 1536;
// Outputs beyond this are left alone: the resampler's cost grows with them.
constexpr std::size_t kMaxOutput = 65536;

double rateOf(const std::uint8_t* head) {
  const unsigned u16 = head[1] | (head[2] << 8);
  switch (head[0] & 3) {
    case 0: return kVariantSourceRate[head[1] % 3];
    case 1: return kTargetRate * (1.0 + u16 / 1024.0);
    case 2: return kTargetRate * u16 / 1024.0;
    default: {
      double raw;
      std::memcpy(&raw, head + 1, sizeof raw);
      return raw;
    }
  }
}

void linear(const std::uint8_t* head, std::span<const std::uint8_t> sample, double ratio, std::size_t loopStart) {
  const std::size_t srcPos = head[13];
  std::size_t outLen = linearOutputLength(sample.size(), ratio);
  if (head[0] & 4) outLen = head[11] | (head[12] << 8);
  if (outLen > kMaxOutput) return;
  const std::size_t extent = linearStoreExtent(srcPos, sample.size(), ratio, outLen);
  std::vector<std::uint8_t> store;
  std::vector<std::uint8_t> out(outLen + kLinearExtraOutput);
  if (extent == SIZE_MAX || extent > 4 * kMaxOutput) {
    store.resize(srcPos + sample.size() + kLinearTailBytes);
    std::copy(sample.begin(), sample.end(), store.begin() + static_cast<std::ptrdiff_t>(srcPos));
    const bool ok = linearResample(store, srcPos, sample.size(), loopStart, ratio, outLen, out);
    fuzz::check(!ok || extent <= store.size(), "a store smaller than the extent was accepted");
    return;
  }
  store.resize(extent);
  std::copy(sample.begin(), sample.end(), store.begin() + static_cast<std::ptrdiff_t>(srcPos));
  const bool valid = !sample.empty() && (loopStart == 0 || loopStart < sample.size()) &&
                     std::isfinite(ratio) && ratio > 0;
  // One byte short of the store or the output: refused, nothing written.
  const std::vector<std::uint8_t> before = store;
  fuzz::check(!linearResample(std::span(store).first(extent - 1), srcPos, sample.size(), loopStart, ratio,
                              outLen, out),
              "a store one byte short was accepted");
  fuzz::check(!linearResample(store, srcPos, sample.size(), loopStart, ratio, outLen,
                              std::span(out).first(out.size() - 1)),
              "an output one byte short was accepted");
  fuzz::check(store == before, "a refused call wrote into the store");
  fuzz::check(linearResample(store, srcPos, sample.size(), loopStart, ratio, outLen, out) == valid,
              "a linear resampling was refused (or accepted) against its arguments");
}

void spectral(std::span<const std::uint8_t> sample, double rate, std::size_t loopStart) {
  static const auto alone = std::make_unique<SpectralResampler>(0, SpectralResampler::Analysis::Sse2);
  static const auto helped = std::make_unique<SpectralResampler>(1);
  const bool valid = !sample.empty() && SpectralResampler::supportsRate(rate) &&
                     SpectralResampler::fits(sample.size()) && (loopStart == 0 || loopStart < sample.size());
  const std::size_t outLen = SpectralResampler::outputLength(sample.size(), rate);
  if (!valid || outLen == 0 || outLen > kMaxOutput) {
    std::vector<std::uint8_t> out(kMaxOutput);
    fuzz::check(!valid || outLen == 0 || !alone->resample(sample.data(), sample.size(), rate, loopStart, out),
                "a spectral resampling beyond its output was accepted");
    fuzz::check(valid || !alone->resample(sample.data(), sample.size(), rate, loopStart, out),
                "a spectral resampling with bad arguments was accepted");
    return;
  }
  std::vector<std::uint8_t> out(outLen);
  std::vector<std::uint8_t> other(outLen);
  fuzz::check(!alone->resample(sample.data(), sample.size(), rate, loopStart, std::span(out).first(outLen - 1)),
              "a spectral output one byte short was accepted");
  fuzz::check(alone->resample(sample.data(), sample.size(), rate, loopStart, out),
              "a spectral resampling was refused");
  fuzz::check(helped->resample(sample.data(), sample.size(), rate, loopStart, other),
              "a spectral resampling with a helper was refused");
  fuzz::check(out == other, "a helper thread or AVX changed the spectral bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint8_t head[kHead] = {};
  std::copy(data, data + std::min(size, kHead), head);
  const std::span<const std::uint8_t> sample(data + std::min(size, kHead),
                                             std::min(size - std::min(size, kHead), kMaxSample));
  const double rate = rateOf(head);
  std::size_t loopStart = 0;
  if ((head[0] & 8) && !sample.empty()) loopStart = (head[9] | (head[10] << 8)) % sample.size();
  if (head[0] & 16) loopStart = sample.size() + (head[9] & 7);
  linear(head, sample, rate / kTargetRate, loopStart);
  spectral(sample, rate, loopStart);
  return 0;
}
