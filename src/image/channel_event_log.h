// The note events of the PCM channels, as one play of the song produced them,
// kept so that the channel passes read them instead of playing the song again.
//
// A PCM channel's stream depends only on its event frames (the frames in which
// it had a PCM or an SCC note, and the song's last frame) and on how many frames
// lie between them. Those events do not depend on the rhythm mode a play
// starts in, nor does the song's way through its stream, so every play from
// the song's start sees the same ones: one play records them for all channels.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "input/frame_output.h"
#include "io/zeroed_memory.h"

namespace kvtram {

// What one event frame of one channel brings.
struct ChannelEvent {
  std::int32_t frame;         // frame number, counting from 1
  std::int32_t frameCounter;  // the frame counter after the frame
  PcmNoteEvent pcm;           // when kinds has kPcmNote
  SccNoteEvent scc;           // when kinds has kSccNote
  std::uint8_t kinds;

  static constexpr std::uint8_t kPcmNote = 0x01;
  static constexpr std::uint8_t kSccNote = 0x02;
  static constexpr std::uint8_t kLast = 0x04;  // the frame in which the song ended
};

class ChannelEventLog {
 public:
  // Room for every frame of the longest play on every channel; the pages are
  // touched only as a song fills them.
  ChannelEventLog();

  // Empties the log; the next play records channels 0 to `channels` - 1.
  void start(int channels);
  // Called for every frame of the play, in order.
  void record(const FrameOutput& out, int frame, bool last, int frameCounter);
  std::span<const ChannelEvent> events(int channel) const;

 private:
  ZeroedArray<ChannelEvent> events_;  // channel c's events from c x kMaxFramesPerPlay on
  std::array<int, kNoteChannels> counts_{};
  int channels_ = 0;
};

}  // namespace kvtram
