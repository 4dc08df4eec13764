#include "samples/linear_resampler.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace kvtram {

namespace {

constexpr std::size_t kNoExtent = std::numeric_limits<std::size_t>::max();

// Read positions are held in a double; beyond 2^53 they stop being exact
// byte offsets, and no store comes anywhere near that.
constexpr double kMaxPosition = 9007199254740992.0;

bool usableRatio(double ratio) { return ratio > 0.0 && std::isfinite(ratio); }

}  // namespace

std::size_t linearOutputLength(std::size_t srcLen, double ratio) {
  if (!usableRatio(ratio)) return 0;
  const double length = static_cast<double>(srcLen) / ratio;
  if (!(length < kMaxPosition)) return 0;
  return static_cast<std::size_t>(length);
}

std::size_t linearStoreExtent(std::size_t srcPos, std::size_t srcLen, double ratio,
                              std::size_t outLen) {
  if (!usableRatio(ratio)) return kNoExtent;
  if (srcLen > kNoExtent - kLinearTailBytes || srcPos > kNoExtent - kLinearTailBytes - srcLen)
    return kNoExtent;
  if (outLen > kNoExtent - kLinearExtraOutput) return kNoExtent;
  const std::size_t tailEnd = srcPos + srcLen + kLinearTailBytes;

  // The read position of the last output sample, reached by the same chain
  // of additions as in linearResample. Positions only grow, so the last one
  // reads furthest.
  double position = static_cast<double>(srcPos);
  const std::size_t count = outLen + kLinearExtraOutput;
  for (std::size_t j = 1; j < count; ++j) {
    position += ratio;
    if (!(position < kMaxPosition)) return kNoExtent;
  }
  // Output sample j reads the bytes at trunc(P) and trunc(P) + 1.
  const std::size_t readEnd = static_cast<std::size_t>(position) + 2;
  return readEnd > tailEnd ? readEnd : tailEnd;
}

bool linearResample(std::span<std::uint8_t> store, std::size_t srcPos, std::size_t srcLen,
                    std::size_t loopStart, double ratio, std::size_t outLen,
                    std::span<std::uint8_t> out) {
  if (srcLen == 0) return false;
  if (loopStart != 0 && loopStart >= srcLen) return false;
  if (!usableRatio(ratio)) return false;
  if (out.size() < kLinearExtraOutput || outLen > out.size() - kLinearExtraOutput) return false;
  if (linearStoreExtent(srcPos, srcLen, ratio, outLen) > store.size()) return false;

  // The tail: the loop's continuation or silence. The copy runs forward one
  // byte at a time and reads bytes it has just written, so a loop shorter
  // than the tail is repeated as often as needed.
  const std::size_t end = srcPos + srcLen;
  if (loopStart != 0) {
    const std::size_t from = srcPos + loopStart;
    for (std::size_t i = 0; i < kLinearTailBytes; ++i) store[end + i] = store[from + i];
  } else {
    for (std::size_t i = 0; i < kLinearTailBytes; ++i) store[end + i] = 128;
  }

  // The read position is advanced by repeated addition, never recomputed
  // from j: the rounding of every addition is part of the result.
  double position = static_cast<double>(srcPos);
  const std::size_t count = outLen + kLinearExtraOutput;
  for (std::size_t j = 0; j < count; ++j) {
    const std::size_t i = static_cast<std::size_t>(position);
    const double f = position - static_cast<double>(i);
    const double a = static_cast<int>(store[i]) - 128;
    const double b = static_cast<int>(store[i + 1]) - 128;
    // Rounded by adding 0.5 and truncating toward zero (so -1.5 gives -1):
    // with a and b between -128 and 127 the result lies within -127 .. 127.
    const int y = static_cast<int>(a * (1.0 - f) + b * f + 0.5);
    out[j] = static_cast<std::uint8_t>(y + 128);
    position += ratio;
  }
  return true;
}

}  // namespace kvtram
