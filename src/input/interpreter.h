// The frame interpreter: plays a loaded KV song one display frame at a time.
// Each frame reads the command stream up to an end-of-frame mark and turns it
// into FM and PSG register writes and note events (see channel_emission.h).
//
// Macros are expanded through a 4096-byte first-in first-out queue, so a macro
// called inside a macro runs after the rest of its caller. Row mode packs FM
// rows into nibbles and bytes that share the stream position with the commands.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "input/channel_emission.h"
#include "input/frame_output.h"
#include "input/kv_song.h"
#include "input/work_budget.h"

namespace kvtram {

// A song that never ends by itself is ended when the caller's frame counter
// reaches this value.
inline constexpr int kFrameLimit = 72000;

struct PlaybackOptions {
  int loopCount = 2;
  int fmVolumeReduction = 1;
  int psgVolumeReduction = 1;
};

class SongInterpreter {
 public:
  // Malformed songs are stopped by these bounds instead of hanging: no frame
  // of a well-formed song reads more than a few thousand bytes, and all the
  // plays of one conversion take their bytes from `work`.
  static constexpr long kMaxBytesPerFrame = 65536;
  static constexpr int kQueueBytes = 4096;
  static constexpr int kRowChannels = 8;

  explicit SongInterpreter(const KvSong& song) : song_(song) {}

  // Puts the playback state back to its start values for the parsed song, as
  // a fresh load of the song would: the stream at its start, the queue empty,
  // the channel masks as the file gives them. Rhythm mode is the one state a
  // restart leaves as it was. The song itself is only read, never changed.
  void restart();

  // Plays `count` frames into `out` (which the caller clears before each
  // frame). Adds 1 to `frameCounter` after every frame the song does not end
  // in by its own commands. Returns 1 while the song goes on, 0 in the frame
  // in which it ends (end command, loop count used up, frame limit, or a
  // failure). A negative count does nothing and returns 0.
  int advanceFrames(int count, int& frameCounter, FrameOutput& out);

  // Until the next restart, frames carry no note events: for a play that
  // reads only the register writes. Nothing else about the play changes.
  void skipNoteEvents() { noteEvents_ = false; }

  // Why the song was stopped as malformed ("" when it was not); the reason
  // only, without the file's path.
  const std::string& failure() const { return failure_; }

  bool rhythmMode() const { return rhythmMode_; }
  void setRhythmMode(bool on) { rhythmMode_ = on; }

  // How often the song was restarted (one per pass over it).
  int restarts() const { return restarts_; }

  PlaybackOptions options;
  // Charged by every play; a restart leaves it alone, so the caller refills it
  // once per file (a conversion, `info`).
  WorkBudget work;

 private:
  enum class Flow { Continue, FrameEnd, SongEnd };
  struct RowEntry {
    int low = 1;
    int high = 0;
  };

  void fail(const std::string& reason);
  void countByte();
  std::uint8_t streamByte();
  std::uint8_t readCommandByte();
  int readNibble();
  Flow execute(std::uint8_t code);
  void noteCommand(std::uint8_t code);
  Flow controlCommand(std::uint8_t code);
  void frequencyOperands(ChannelState& state);
  void compactSccNotes(int channels);
  void directRows(int channels);
  void waveLoad();
  void startRowMode(int channels);
  Flow loopJump();
  void callMacro(int index);
  void rowStep();
  void pcmOrSccEvent(int ch, std::uint8_t pcmBit);
  void sccEvent(int ch);
  void pcmEvent(int ch, std::uint8_t bit);
  void rowWrite(int ch, int low, int high);
  void fm(int reg, std::uint8_t raw);

  const KvSong& song_;
  FrameOutput* out_ = nullptr;

  std::size_t position_ = 0;
  std::array<std::uint8_t, kQueueBytes> queue_{};
  int queueHead_ = 0;
  int queueCount_ = 0;
  bool nibblePending_ = false;
  std::uint8_t nibbleByte_ = 0;
  int rowChannels_ = 0;
  int rowWait_ = 0;
  std::array<RowEntry, kRowChannels> rows_{};
  int loopCounter_ = 0;
  int waveSlot_ = 0;
  bool rhythmMode_ = false;
  bool noteEvents_ = true;
  int pcmChannelMask_ = 0;
  int mixChannelMask_ = 0;
  std::array<ChannelState, kNoteChannels> channels_{};

  long frameBytes_ = 0;
  std::string failure_;
  int restarts_ = 0;
};

// Row mode's note table: note index to (F-number bits 0-7, block x 2 + F-number
// bit 8 in the high nibble).
struct FmNote {
  int low;
  int high;
};
FmNote fmNoteTable(int index);

}  // namespace kvtram
