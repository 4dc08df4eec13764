// How much interpreting one conversion may do, whatever the number of plays it
// makes: every command byte that any play reads is taken from one budget,
// which the conversion refills once per file. A frame reads at least one
// byte, so the budget bounds the frames of all plays too.
#pragma once

#include <cstdint>

namespace kvtram {

class WorkBudget {
 public:
  // About 1 s of interpreting the commands that cost the most per byte
  // (ignored codes, some 130 million bytes/s in a release build on the
  // development machines); a long, dense, well-formed song (36,000 frames of
  // 75 bytes: notes on eight PCM channels, FM and PSG writes) takes 51
  // million over its 3 + 2 x 8 plays.
  static constexpr std::int64_t kConversionBytes = std::int64_t{1} << 27;

  explicit WorkBudget(std::int64_t limit = kConversionBytes) : limit_(limit), remaining_(limit) {}

  // A smaller limit serves builds that run many times slower (the fuzz
  // targets' instrumented build).
  void setLimit(std::int64_t limit) { limit_ = remaining_ = limit; }
  void refill() { remaining_ = limit_; }
  // Takes one byte's work; false once the budget is spent.
  bool take() { return --remaining_ >= 0; }

 private:
  std::int64_t limit_;
  std::int64_t remaining_;
};

}  // namespace kvtram
