// Timed command streams in the banks. Between the commands of one frame and
// the next stands a wait command (0xAC n, or 0xAC 0x00 lo hi for more than 255
// frames); 0x69 ends a stream; 0x68 sends the player to the start of the next
// bank. The bytes of one frame, with their wait and end command, never straddle
// a bank boundary.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "image/image_format.h"
#include "image/output_image.h"
#include "input/frame_output.h"

namespace kvtram {

// Appends a wait count (1-255 as one byte, larger as 0x00, low, high) and
// returns the bytes written (1 or 3).
std::size_t encodeWaitCount(int count, std::uint8_t* out);

// Places one frame's bytes at the image's current address: when they would
// reach offset 16383 of the bank, a next-bank command and zero bytes fill the
// bank and the bytes start the next one. Returns false (nothing written) for a
// run longer than a bank can take.
bool placeFramedBytes(OutputImage& image, const std::uint8_t* bytes, std::size_t length);

// The most bytes one frame of a register stream brings: its writes, and the
// FM stream's opening block in its first frame.
inline constexpr std::size_t kMaxFrameBytes = kBankBytes;
static_assert(kMaxFmWritesPerFrame * kFmWriteBytes <= kMaxFrameBytes);
static_assert(kMaxPsgWritesPerFrame * kPsgWriteBytes <= kMaxFrameBytes);

// The bytes of register writes: PSG triplets, FM pairs. Return the bytes written.
std::size_t encodePsgWrites(std::span<const RegisterWrite> writes, std::uint8_t* out);
std::size_t encodeFmWrites(std::span<const RegisterWrite> writes, std::uint8_t* out);

// The FM stream's opening block: 0xAD, then key off and attenuation 15 for the
// melody channels (9, or 6 when the song's last pass left rhythm mode on).
std::size_t fmInitBlock(bool rhythmMode, std::uint8_t* out);
// Its length, in FM writes' room: it shares its frame's room in the bank.
std::size_t fmInitBlockRoom(bool rhythmMode);

// Frames the register writes of one stream (PSG triplets or FM pairs) with
// their waits. The commands of frame f are reached after exactly f - 1 frames.
class StreamFramer {
 public:
  void start() { wait_ = 0; }
  // Called for every frame: `bytes` are the frame's register writes (may be
  // empty), `last` tells the frame in which the song ended. Returns false when
  // the frame cannot be placed (longer than a bank takes).
  bool frame(OutputImage& image, const std::uint8_t* bytes, std::size_t length, bool last);
  // The same for a frame's records: the PSG stream's, or the FM stream's
  // (the first of which opens with the FM init block).
  bool psgFrame(OutputImage& image, std::span<const RegisterWrite> writes, bool last);
  bool fmFrame(OutputImage& image, std::span<const RegisterWrite> writes, bool last, bool first,
               bool rhythmMode);

 private:
  int wait_ = 0;  // frames since the last emission
  std::array<std::uint8_t, kMaxFrameBytes> bytes_{};
  std::array<std::uint8_t, kMaxFrameBytes + 8> scratch_{};
};

}  // namespace kvtram
