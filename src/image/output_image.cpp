#include "image/output_image.h"

#include <algorithm>
#include <cstring>

namespace kvtram {

namespace {
// "ＶＡＮＴＯＲＡ" in Shift-JIS: seven full-width letters.
constexpr std::uint8_t kPlayerName[14] = {0x82, 0x75, 0x82, 0x60, 0x82, 0x6D, 0x82,
                                          0x73, 0x82, 0x6E, 0x82, 0x71, 0x82, 0x60};
}  // namespace

std::array<std::uint8_t, 3> bankPointer(int address) {
  return {static_cast<std::uint8_t>(address / kBankBytes), static_cast<std::uint8_t>(address % 256),
          static_cast<std::uint8_t>((address / 256) % 64 + 0x40)};
}

OutputImage::OutputImage() : bytes_(kImageBytes, 0) {}

void OutputImage::setUpHeader(const std::string& title) {
  std::fill(bytes_.begin(), bytes_.begin() + kHeaderBytes + kBankBytes, std::uint8_t{0});
  std::memcpy(bytes_.data() + kMagicOffset, "TRAM", 4);
  bytes_[kConstantsOffset] = 2;
  bytes_[kConstantsOffset + 1] = 4;
  bytes_[kConstantsOffset + 2] = 3;
  std::memcpy(bytes_.data() + kPlayerNameOffset, kPlayerName, sizeof kPlayerName);
  std::fill(bytes_.begin() + kTitleOffset, bytes_.begin() + kTitleOffset + kTitleFieldBytes,
            std::uint8_t{' '});
  // Copied two bytes at a time: a title of odd length is followed by one zero.
  for (std::size_t d = 0; d < title.size(); d += 2) {
    bytes_[kTitleOffset + d] = static_cast<std::uint8_t>(title[d]);
    bytes_[kTitleOffset + d + 1] =
        d + 1 < title.size() ? static_cast<std::uint8_t>(title[d + 1]) : std::uint8_t{0};
  }
  address_ = kFirstBankedAddress;
  overflowed_ = false;
}

void OutputImage::putPointer(int offset, int address) {
  auto p = bankPointer(address);
  std::copy(p.begin(), p.end(), bytes_.begin() + offset);
}

void OutputImage::putZeroPointer(int offset) {
  std::fill(bytes_.begin() + offset, bytes_.begin() + offset + 3, std::uint8_t{0});
}

void OutputImage::finish(const std::int8_t* waves, int waveCount, bool rhythmMode) {
  std::memcpy(bytes_.data() + kHeaderBytes, waves, static_cast<std::size_t>(waveCount) * 32);
  bytes_[kRhythmModeOffset] = rhythmMode ? 1 : 0;
}

}  // namespace kvtram
