// The TRAM image being built (its format: image_format.h): the header, bank 0
// with the wavetables and the sample pointer table, then the resampled sample
// variants and the timed command streams, written strictly in order.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "io/zeroed_memory.h"

#include "image/image_format.h"

namespace kvtram {

class OutputImage {
 public:
  OutputImage();
  OutputImage(const OutputImage&) = delete;
  OutputImage& operator=(const OutputImage&) = delete;

  // Clears the header, bank 0 and what the last file wrote beyond it (so the
  // image is as a fresh one), writes the magic "TRAM", the constants 2, 4, 3,
  // the player name and the title (over 64 spaces), and puts the write
  // position at address 0x4000.
  void setUpHeader(const std::string& title);

  // Writes a bank pointer to `address` at file offset `offset`.
  void putPointer(int offset, int address);
  void putZeroPointer(int offset);

  // The banked area, written strictly in order.
  int address() const { return address_; }
  void put(std::uint8_t byte) {
    if (address_ >= kMaxBanks * kBankBytes) {
      overflowed_ = true;
    } else {
      bytes_[static_cast<std::size_t>(address_ + kHeaderBytes)] = byte;
    }
    ++address_;
  }
  void put(const std::uint8_t* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) put(bytes[i]);
  }
  // Zero bytes up to the next bank start (nothing when already at one).
  void zeroFillToBankEnd() {
    while (address_ % kBankBytes != 0) put(0);
  }
  // True when something was to be written beyond the 256 addressable banks;
  // such an image is not to be written.
  bool overflowed() const { return overflowed_; }

  // Copies the wavetables to the start of bank 0 and stores the rhythm mode.
  void finish(const std::int8_t* waves, int waveCount, bool rhythmMode);

  // The image as it is written to disk: offset 0 up to the write position.
  std::span<const std::uint8_t> bytes() const {
    return {bytes_.data(), std::min(static_cast<std::size_t>(address_ + kHeaderBytes), bytes_.size())};
  }
  std::uint8_t* data() { return bytes_.data(); }

 private:
  // Touched only as far as images reach.
  ZeroedArray<std::uint8_t> bytes_;
  int address_ = kFirstBankedAddress;
  bool overflowed_ = false;
};

}  // namespace kvtram
