// Plays a loaded song the way the conversion passes do (clear the frame record,
// one frame per call, the caller's counter gains one more per frame, stop at
// the first 0) and keeps what every frame produced, for tests that compare
// whole songs.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "input/frame_output.h"
#include "input/interpreter.h"

namespace kvtram {

struct RecordedFrame {
  // The frame's register writes as the image spells them.
  std::vector<std::uint8_t> fm;
  std::vector<std::uint8_t> psg;
  std::array<int, kNoteChannels> pcmBytes{};
  std::array<PcmNoteEvent, kNoteChannels> pcm{};
  std::array<int, kNoteChannels> sccBytes{};
  std::array<SccNoteEvent, kNoteChannels> scc{};
  int result = 0;  // what advanceFrames returned
};

struct RecordedPlay {
  std::vector<RecordedFrame> frames;
  int frameCounter = 0;
  std::string failure;  // the interpreter's failure() after the last frame
};

// Plays until advanceFrames returns 0 or `maxFrames` frames were played.
RecordedPlay recordPlay(SongInterpreter& interpreter, int maxFrames = 100000);

// Loads `path` with a fresh interpreter (rhythm mode off) and plays it; a failed load gives no frames
// and the load's text as the failure.
RecordedPlay recordSong(const std::string& path, const PlaybackOptions& options = {},
                        int maxFrames = 100000);

// A frame's FM pairs and PSG triplets, as the streams carry them.
std::vector<std::uint8_t> fmBytes(const FrameOutput& out);
std::vector<std::uint8_t> psgBytes(const FrameOutput& out);

bool operator==(const RecordedFrame& a, const RecordedFrame& b);

}  // namespace kvtram
