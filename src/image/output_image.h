// The TRAM image: a 576-byte header followed by 16 KiB banks. Bank 0 holds the
// wavetables and the sample pointer table; banks 1 on hold the resampled sample
// variants and then the timed command streams. Positions in the banked area are
// image addresses (file offset = address + 576); the target maps one bank at a
// time at 0x4000-0x7FFF.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kvtram {

inline constexpr std::size_t kImageBytes = 16u * 1024 * 1024;
inline constexpr int kHeaderBytes = 576;
inline constexpr int kBankBytes = 16384;
// A pointer's bank number is one byte: banks 0-255 are all the player can reach.
inline constexpr int kMaxBanks = 256;
inline constexpr int kFirstBankedAddress = 0x4000;

// Header offsets.
inline constexpr int kPsgStreamPointer = 0;
inline constexpr int kFmStreamPointer = 48;
inline constexpr int kRhythmModeOffset = 138;
inline constexpr int kMagicOffset = 139;
inline constexpr int kTitleOffset = 143;
inline constexpr int kTitleFieldBytes = 64;
inline constexpr int kConstantsOffset = 486;
inline constexpr int kPlayerNameOffset = 489;

// The 3-byte pointer to an image address: bank, low byte, bits 8-13 + 0x40
// (the last two read as a word are the address in the 0x4000 window).
std::array<std::uint8_t, 3> bankPointer(int address);

class OutputImage {
 public:
  OutputImage();
  OutputImage(const OutputImage&) = delete;
  OutputImage& operator=(const OutputImage&) = delete;

  // Clears the header and bank 0, writes the magic "TRAM", the constants 2, 4,
  // 3, the player name and the title (over 64 spaces), and puts the write
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
    return {bytes_.data(), static_cast<std::size_t>(address_ + kHeaderBytes)};
  }
  std::uint8_t* data() { return bytes_.data(); }

 private:
  std::vector<std::uint8_t> bytes_;
  int address_ = kFirstBankedAddress;
  bool overflowed_ = false;
};

}  // namespace kvtram
