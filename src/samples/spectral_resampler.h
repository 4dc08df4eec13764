// Resampling of a sample variant by analysis and resynthesis.
//
// The source, taken to be recorded at the variant's source rate R, is cut
// into frames of 256 samples that overlap by half (hop 128), each weighted by
// a triangular window. For every frame the magnitude and phase of the
// frequency bins 0 .. kmax are measured, kmax being the bin nearest to the
// Nyquist frequency of the 11151 Hz target rate, and for each bin a sine of
// that magnitude and phase is added into the output at the target rate, over
// the stretch of output that the frame covers (two frames' worth, so that
// neighbouring frames cross-fade). Higher bins are dropped, which is what
// keeps the variant free of aliasing.
//
// The source is analysed behind 256 zeros and followed by a tail of 1088
// samples, the loop played on from its start or silence, so that the output
// also holds the variant's continuation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kvtram {

// One resampler is built once and reused for every variant: its analysis
// input, its accumulator and its trigonometric tables are allocated in the
// constructor, and resample() allocates nothing.
class SpectralResampler {
 public:
  // Entries of the analysis input and of the accumulator.
  static constexpr std::size_t kCapacity = 1048576;
  static constexpr std::size_t kFrameLength = 256;
  static constexpr std::size_t kHop = 128;
  static constexpr std::size_t kLeadingZeros = 256;
  static constexpr std::size_t kTailLength = 1088;
  // Accumulator entries cleared beyond the source length.
  static constexpr std::size_t kAccumulatorMargin = 1600;
  static constexpr std::size_t kExtraOutput = 208;
  // The highest bin of a frame that can be analysed (its Nyquist bin), the
  // one a source rate equal to the target rate asks for.
  static constexpr std::size_t kMaxBin = 128;

  SpectralResampler();
  SpectralResampler(const SpectralResampler&) = delete;
  SpectralResampler& operator=(const SpectralResampler&) = delete;

  // Source rates at least the target rate (and finite). Lower rates would
  // ask for bins above the frame's Nyquist bin and write the accumulator
  // beyond what is cleared for the source.
  static bool supportsRate(double rate);

  // The bytes resample() writes for len source samples at a supported rate:
  // trunc(len x 11151.0 / rate + 0.5) + 208. 0 for an unsupported rate (or
  // an absurd len).
  static std::size_t outputLength(std::size_t len, double rate);

  // Whether len source samples fit the analysis input (256 + len + 1088
  // entries) and the accumulator (len + 1600 entries).
  static bool fits(std::size_t len);

  // For a supported rate: the highest bin analysed, trunc(1427328.0 / rate
  // + 0.5); the output samples each frame synthesises, trunc(2854656.0 / rate
  // + 0.5); and the output samples that stand for the 256 leading zeros and
  // are skipped, trunc(2854656.0 / rate). 0 for an unsupported rate.
  static std::size_t highestBin(double rate);
  static std::size_t samplesPerFrame(double rate);
  static std::size_t outputShift(double rate);

  // Resamples len bytes at src (unsigned, 128 = silence) recorded at `rate`
  // and writes outputLength(len, rate) bytes into out from index 0. loopStart
  // is the offset of the loop within the source, 0 for none. Returns false
  // and writes nothing when src is null, len is 0 or does not fit, the rate
  // is not supported, loopStart is not 0 and not inside the source, or out
  // is too small.
  bool resample(const std::uint8_t* src, std::size_t len, double rate, std::size_t loopStart,
                std::span<std::uint8_t> out);

 private:
  // Bins are analysed in blocks of kBinBlock; the tables have a column per
  // bin 0 .. kMaxBin, padded to whole blocks.
  static constexpr std::size_t kBinBlock = 8;
  static constexpr std::size_t kTableStride = (kMaxBin + kBinBlock) / kBinBlock * kBinBlock;

  std::vector<double> input_;        // X: zeros, source - 128, tail
  std::vector<double> accumulator_;  // Y: output at the target rate, halved
  // cos and sin of the analysis angle of bin k at frame position n, stored
  // at [n * kTableStride + k] so that the bins of one n are adjacent.
  std::vector<double> cosTable_;
  std::vector<double> sinTable_;
  std::array<double, kFrameLength> window_{};
};

}  // namespace kvtram
