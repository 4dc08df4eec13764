// A small xorshift64 generator for made-up songs: the same numbers on every
// platform and compiler, unlike the standard library's distributions. Shared
// by the tests and the song corpus tool.
#pragma once

#include <cstdint>

namespace kvtram {

class XorshiftRandom {
 public:
  // `salt` keeps the sequences of different users apart for the same seed.
  explicit XorshiftRandom(std::uint64_t seed, std::uint64_t salt = 1)
      : state_(seed * 0x9E3779B97F4A7C15ull + salt) {}
  std::uint32_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<std::uint32_t>(state_ >> 32);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
  std::uint8_t byte() { return static_cast<std::uint8_t>(next()); }
  bool chance(int percent) { return below(100) < percent; }

 private:
  std::uint64_t state_;
};

}  // namespace kvtram
