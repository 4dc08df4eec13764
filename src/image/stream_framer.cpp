#include "image/stream_framer.h"

#include <cstring>

namespace kvtram {

std::size_t encodeWaitCount(int count, std::uint8_t* out) {
  if (count <= 255) {
    out[0] = static_cast<std::uint8_t>(count);
    return 1;
  }
  out[0] = kLongWaitMark;
  out[1] = static_cast<std::uint8_t>(count % 256);
  out[2] = static_cast<std::uint8_t>(count / 256);
  return 3;
}

bool placeFramedBytes(OutputImage& image, const std::uint8_t* bytes, std::size_t length) {
  if (length > kMaxFramedBytes) return false;
  int offset = image.address() % kBankBytes;
  if (static_cast<std::size_t>(offset) + length >= kMaxFramedBytes + 1) {
    image.put(kNextBankCommand);
    image.zeroFillToBankEnd();
  }
  image.put(bytes, length);
  return true;
}

bool StreamFramer::frame(OutputImage& image, const std::uint8_t* bytes, std::size_t length,
                                bool last) {
  ++wait_;
  if (!last && length == 0) return true;  // the frame only counts towards the next wait
  std::size_t n = 0;
  if (wait_ == 1) {
    // Every frame so far emitted: the bytes are followed by a one-frame wait.
    if (length > 0) std::memcpy(scratch_.data(), bytes, length);
    n = length;
    scratch_[n++] = kWaitCommand;
    scratch_[n++] = 1;
    wait_ = 0;
  } else {
    // One wait covering the frames since the previous emission, less the
    // one-frame wait that already followed it.
    --wait_;
    scratch_[n++] = kWaitCommand;
    n += encodeWaitCount(wait_, scratch_.data() + n);
    if (length > 0) std::memcpy(scratch_.data() + n, bytes, length);
    n += length;
    wait_ = 1;
  }
  if (last) scratch_[n++] = kEndCommand;
  return placeFramedBytes(image, scratch_.data(), n);
}

bool StreamFramer::psgFrame(OutputImage& image, std::span<const RegisterWrite> writes, bool last) {
  return frame(image, bytes_.data(), encodePsgWrites(writes, bytes_.data()), last);
}

bool StreamFramer::fmFrame(OutputImage& image, std::span<const RegisterWrite> writes, bool last, bool first,
                           bool rhythmMode) {
  std::size_t n = first ? fmInitBlock(rhythmMode, bytes_.data()) : 0;
  n += encodeFmWrites(writes, bytes_.data() + n);
  return frame(image, bytes_.data(), n, last);
}

std::size_t encodePsgWrites(std::span<const RegisterWrite> writes, std::uint8_t* out) {
  std::size_t n = 0;
  for (const RegisterWrite& w : writes) {
    out[n++] = kPsgWriteCommand;
    out[n++] = w.reg;
    out[n++] = w.value;
  }
  return n;
}

std::size_t encodeFmWrites(std::span<const RegisterWrite> writes, std::uint8_t* out) {
  std::size_t n = 0;
  for (const RegisterWrite& w : writes) {
    out[n++] = static_cast<std::uint8_t>(kFmWriteCommand + w.reg);
    out[n++] = w.value;
  }
  return n;
}

std::size_t fmInitBlockRoom(bool rhythmMode) {
  std::array<std::uint8_t, 64> block{};
  return (fmInitBlock(rhythmMode, block.data()) + kFmWriteBytes - 1) / kFmWriteBytes;
}

std::size_t fmInitBlock(bool rhythmMode, std::uint8_t* out) {
  std::size_t n = 0;
  out[n++] = kFmInitCommand;
  int last = 8 - 3 * (rhythmMode ? 1 : 0);
  for (int u = 0; u <= last; ++u) {
    out[n++] = static_cast<std::uint8_t>(kFmKeyOffBase + u);
    out[n++] = 0x00;
    out[n++] = static_cast<std::uint8_t>(kFmAttenuationBase + u);
    out[n++] = kFmSilentAttenuation;
  }
  return n;
}

}  // namespace kvtram
