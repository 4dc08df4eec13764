#include "image/output_image.h"

#include <algorithm>
#include <cstring>

namespace kvtram {

OutputImage::OutputImage() : bytes_(kImageBytes) {}

void OutputImage::setUpHeader(const std::string& title) {
  // The banked area is written strictly in order: the last file reached its
  // write position, and no further.
  const std::size_t reached = static_cast<std::size_t>(std::min(address_, kMaxBanks * kBankBytes) + kHeaderBytes);
  bytes_.markWritten(std::max<std::size_t>(reached, kHeaderBytes + kBankBytes));
  bytes_.clearWritten();
  std::copy(kMagic.begin(), kMagic.end(), bytes_.begin() + kMagicOffset);
  std::copy(kHeaderConstants.begin(), kHeaderConstants.end(), bytes_.begin() + kConstantsOffset);
  std::copy(kPlayerName.begin(), kPlayerName.end(), bytes_.begin() + kPlayerNameOffset);
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
  std::fill(bytes_.begin() + offset, bytes_.begin() + offset + kPointerBytes, std::uint8_t{0});
}

void OutputImage::finish(const std::int8_t* waves, int waveCount, bool rhythmMode) {
  if (waveCount > 0) {
    std::memcpy(bytes_.data() + kHeaderBytes, waves, static_cast<std::size_t>(waveCount) * kWaveTableBytes);
  }
  bytes_[kRhythmModeOffset] = rhythmMode ? 1 : 0;
}

}  // namespace kvtram
