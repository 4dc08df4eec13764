// A bounded little-endian reader over a loaded file. Inside the data it returns
// the file's bytes, inside the zero tail behind them zeros; past the tail it
// records a failure and returns zeros, so no caller can run off the buffer and
// every caller can ask afterwards whether a read went wrong.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvtram {

// A loaded file as its readers see it: `length` bytes of data, followed by
// zero bytes up to `readable`.
struct LoadedBytes {
  const std::uint8_t* data = nullptr;
  std::size_t length = 0;
  std::size_t readable = 0;
};

class ByteReader {
 public:
  ByteReader(const std::uint8_t* bytes, std::size_t readable, std::size_t position = 0)
      : bytes_(bytes), readable_(readable), position_(position) {}
  explicit ByteReader(const LoadedBytes& file, std::size_t position = 0)
      : ByteReader(file.data, file.readable, position) {}

  std::uint8_t u8() {
    if (position_ >= readable_) {
      failed_ = true;
      ++position_;
      return 0;
    }
    return bytes_[position_++];
  }
  std::uint16_t u16() {
    std::uint16_t low = u8();
    return static_cast<std::uint16_t>(low | (u8() << 8));
  }
  void skip(std::size_t count) {
    position_ += count;
    if (position_ > readable_) failed_ = true;
  }

  std::size_t position() const { return position_; }
  bool failed() const { return failed_; }

 private:
  const std::uint8_t* bytes_;
  std::size_t readable_;
  std::size_t position_;
  bool failed_ = false;
};

}  // namespace kvtram
