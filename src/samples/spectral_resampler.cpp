#include "samples/spectral_resampler.h"

#include <algorithm>
#include <cmath>

namespace kvtram {

namespace {

// The constants of the method, with exactly these digits: the output must
// come out the same byte for byte.
constexpr double kTwoPi = 6.2831853071796;
constexpr double kQuarterTurn = 1.5707963267949;      // phase offset, cosine sum >= 0
constexpr double kThreeQuarterTurn = 4.7123889803847;  // phase offset, cosine sum < 0
constexpr double kVerticalRatio = 4294967295.0;        // -sin/cos when the cosine sum is 0
constexpr double kFrameScale = 256.0;
constexpr double kWindowDivisor = 127.0;
constexpr double kTarget = 11151.0;
constexpr double kHalfFrameAtTarget = 1427328.0;  // 128 x 11151
constexpr double kFrameAtTarget = 2854656.0;      // 256 x 11151

// Counts computed in double precision are converted only below this bound.
constexpr double kMaxCount = 9007199254740992.0;  // 2^53

// The angle step of bin k within a frame.
double binStep(std::size_t k) { return static_cast<double>(k) * kTwoPi / kFrameScale; }

}  // namespace

SpectralResampler::SpectralResampler()
    : input_(kCapacity),
      accumulator_(kCapacity),
      cosTable_(kFrameLength * kTableStride),
      sinTable_(kFrameLength * kTableStride) {
  for (std::size_t i = 0; i < kFrameLength / 2; ++i) {
    const double w = static_cast<double>(i) / kWindowDivisor;
    window_[i] = w;
    window_[kFrameLength - 1 - i] = w;
  }
  // Every frame starts its analysis angle at 0.0 and advances it by the same
  // step, so the angles (rounding of each addition included) and their
  // cosines and sines are the same in every frame and for every rate. The
  // columns past kMaxBin only pad the rows to whole blocks.
  for (std::size_t k = 0; k < kTableStride; ++k) {
    const double step = binStep(k);
    double angle = 0.0;
    for (std::size_t n = 0; n < kFrameLength; ++n) {
      cosTable_[n * kTableStride + k] = std::cos(angle);
      sinTable_[n * kTableStride + k] = std::sin(angle);
      angle = angle + step;
    }
  }
}

bool SpectralResampler::supportsRate(double rate) {
  return rate >= kTarget && std::isfinite(rate);
}

std::size_t SpectralResampler::outputLength(std::size_t len, double rate) {
  if (!supportsRate(rate)) return 0;
  const double scaled = static_cast<double>(len) * kTarget / rate + 0.5;
  if (!(scaled < kMaxCount)) return 0;
  return static_cast<std::size_t>(scaled) + kExtraOutput;
}

bool SpectralResampler::fits(std::size_t len) {
  return len <= kCapacity - kLeadingZeros - kTailLength &&
         len <= kCapacity - kAccumulatorMargin;
}

std::size_t SpectralResampler::highestBin(double rate) {
  if (!supportsRate(rate)) return 0;
  return static_cast<std::size_t>(kHalfFrameAtTarget / rate + 0.5);
}

std::size_t SpectralResampler::samplesPerFrame(double rate) {
  if (!supportsRate(rate)) return 0;
  return static_cast<std::size_t>(kFrameAtTarget / rate + 0.5);
}

std::size_t SpectralResampler::outputShift(double rate) {
  if (!supportsRate(rate)) return 0;
  return static_cast<std::size_t>(kFrameAtTarget / rate);
}

bool SpectralResampler::resample(const std::uint8_t* src, std::size_t len, double rate,
                                 std::size_t loopStart, std::span<std::uint8_t> out) {
  if (src == nullptr || len == 0 || !fits(len) || !supportsRate(rate)) return false;
  if (loopStart != 0 && loopStart >= len) return false;
  const std::size_t outLen = outputLength(len, rate);
  if (out.size() < outLen) return false;

  const std::size_t kmax = highestBin(rate);
  const std::size_t cnt = samplesPerFrame(rate);
  const std::size_t shift = outputShift(rate);
  const std::size_t total = len + kTailLength;
  const std::size_t cleared = len + kAccumulatorMargin;
  // At a supported rate kmax <= 128 and cnt <= 256, and the output reads at
  // most len + 464 accumulator entries; checked all the same before anything
  // is written. Frames write only entries that the output reads (below), so
  // every access stays within the cleared part.
  if (kmax > kMaxBin || cnt > kFrameLength || shift + outLen > cleared) return false;

  // X: 256 zeros, the source less 128, then the tail.
  double* x = input_.data();
  std::fill_n(x, kLeadingZeros, 0.0);
  for (std::size_t i = 0; i < len; ++i) x[kLeadingZeros + i] = static_cast<int>(src[i]) - 128;
  double* tail = x + kLeadingZeros + len;
  if (loopStart == 0) {
    std::fill_n(tail, kTailLength, 0.0);
  } else {
    const std::size_t loopLen = len - loopStart;
    std::size_t r = 0;  // i mod loopLen
    for (std::size_t i = 0; i < kTailLength; ++i) {
      tail[i] = static_cast<int>(src[loopStart + r]) - 128;
      if (++r == loopLen) r = 0;
    }
  }

  double* y = accumulator_.data();
  std::fill_n(y, cleared, 0.0);

  // Only accumulator entries shift .. shift + outLen - 1 reach the output.
  // Frame samples outside them are skipped (their phases still advance by
  // the same additions); so are frames that reach none of them.
  const std::size_t firstUsed = shift;
  const std::size_t endUsed = shift + outLen;

  const std::size_t bins = kmax + 1;
  std::array<double, kFrameLength> windowed;
  std::array<double, kTableStride> cosSum;
  std::array<double, kTableStride> sinSum;
  std::array<double, kFrameLength> sines;

  for (std::size_t s = 0; s < total; s += kHop) {
    // The frame's place in the output, and the distance of that place from
    // the nearest output sample, by which every bin's phase is moved.
    const double u = static_cast<double>(s) * kTarget / rate;
    const std::size_t j0 = static_cast<std::size_t>(u + 0.5);
    const double offset = u - static_cast<double>(j0);
    const std::size_t mBegin = j0 < firstUsed ? std::min(firstUsed - j0, cnt) : 0;
    const std::size_t mEnd = j0 < endUsed ? std::min(endUsed - j0, cnt) : 0;
    if (mBegin >= mEnd) continue;

    // The windowed frame is the same for every bin. A silent frame has
    // only zero bins and adds nothing.
    bool silent = true;
    for (std::size_t n = 0; n < kFrameLength; ++n) {
      windowed[n] = x[s + n] * window_[n];
      silent = silent && x[s + n] == 0.0;
    }
    if (silent) continue;

    // The bins are summed a block at a time with n outermost, so that a
    // block's sums stay in registers; each bin's two sums still take their
    // terms in the order n = 0 .. 255.
    for (std::size_t k0 = 0; k0 < bins; k0 += kBinBlock) {
      double c[kBinBlock] = {};
      double sn[kBinBlock] = {};
      const double* cosRow = &cosTable_[k0];
      const double* sinRow = &sinTable_[k0];
      for (std::size_t n = 0; n < kFrameLength; ++n) {
        const double xn = windowed[n];
        for (std::size_t b = 0; b < kBinBlock; ++b) {
          c[b] = c[b] + cosRow[b] * xn;
          sn[b] = sn[b] + sinRow[b] * xn;
        }
        cosRow += kTableStride;
        sinRow += kTableStride;
      }
      for (std::size_t b = 0; b < kBinBlock; ++b) {
        cosSum[k0 + b] = c[b];
        sinSum[k0 + b] = sn[b];
      }
    }

    double* frameOut = y + j0;
    for (std::size_t k = 0; k < bins; ++k) {
      const double cs = cosSum[k];
      const double ss = sinSum[k];
      double magnitude = std::sqrt(cs * cs + ss * ss) / kFrameScale;
      if (k == 0) magnitude = magnitude / 2.0;
      // A silent bin would only add zeros.
      if (magnitude == 0.0) continue;
      const double q = cs == 0.0 ? kVerticalRatio : -ss / cs;
      double phase = std::atan(q) + (cs < 0.0 ? kThreeQuarterTurn : kQuarterTurn);
      // The bin's phase advance per output sample, evaluated left to right.
      const double step = static_cast<double>(k) * kTwoPi / kFrameScale / kTarget * rate;
      phase = offset * step + phase;
      for (std::size_t m = 0; m < mBegin; ++m) phase = phase + step;
      if (k == 0) {
        // Bin 0 does not advance (its step is 0.0): one sine serves all.
        const double v = std::sin(phase) * magnitude;
        for (std::size_t m = mBegin; m < mEnd; ++m) frameOut[m] = frameOut[m] + v;
        continue;
      }
      for (std::size_t m = mBegin; m < mEnd; ++m) {
        sines[m] = std::sin(phase);
        phase = phase + step;
      }
      for (std::size_t m = mBegin; m < mEnd; ++m) frameOut[m] = frameOut[m] + sines[m] * magnitude;
    }
  }

  // The accumulator holds half the output level; the first `shift` entries
  // stand for the leading zeros.
  const double* level = y + shift;
  for (std::size_t i = 0; i < outLen; ++i) {
    const double t = 2.0 * level[i] + 0.5;
    int v;
    if (t >= 128.0) {
      v = 127;
    } else if (t > -129.0) {
      v = static_cast<int>(t);  // toward zero
    } else {
      v = -128;
    }
    out[i] = static_cast<std::uint8_t>(v + 128);
  }
  return true;
}

}  // namespace kvtram
