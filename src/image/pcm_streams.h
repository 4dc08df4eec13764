// The PCM channel streams. On a PCM channel the song plays sampled notes (a
// sample, a pitch byte, a volume) or SCC notes (a wave, a period, a
// volume). Every run of notes that begins with a note-on is played from one
// sample variant, the highest that any of its notes needs, so each channel
// takes two passes: planning records the variant per run, emission writes the
// stream.
//
// Stream commands (image_format.h): an opening wait; sample selection, note
// volume, note change, notes (pitch index + wait count), wave address, SCC
// notes (period, volume, wait count); the end command.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "image/image_format.h"
#include "image/output_image.h"
#include "input/frame_output.h"
#include "io/zeroed_memory.h"
#include "samples/sample_variants.h"

namespace kvtram {

// A note group can be acted on at frame counter values up to 72002 in a song
// that runs into the frame limit; the plan has room beyond that.
inline constexpr int kPlanEntries = 72008;

// Per channel and frame counter value: the variant of the note group whose
// note-on is acted on there (0 = none). Each channel's row is touched only as
// far as its song reaches, and clear() clears only that.
class VariantPlan {
 public:
  VariantPlan() : plan_(static_cast<std::size_t>(kNoteChannels) * kPlanEntries) {}
  void clear() {
    for (std::size_t c = 0; c < reached_.size(); ++c) {
      std::memset(plan_.data() + c * kPlanEntries, 0, reached_[c]);
      reached_[c] = 0;
    }
  }
  void set(int channel, int counter, std::uint8_t variant) {
    std::size_t& reached = reached_[static_cast<std::size_t>(channel)];
    reached = std::max(reached, static_cast<std::size_t>(counter) + 1);
    plan_[index(channel, counter)] = variant;
  }
  std::uint8_t at(int channel, int counter) const { return plan_[index(channel, counter)]; }

 private:
  static std::size_t index(int channel, int counter) {
    return static_cast<std::size_t>(channel) * kPlanEntries + static_cast<std::size_t>(counter);
  }
  ZeroedArray<std::uint8_t> plan_;
  std::array<std::size_t, kNoteChannels> reached_{};
};

// The planning pass of one channel, frame by frame.
class ChannelPlanner {
 public:
  ChannelPlanner(VariantPlan& plan, int channel, bool highQuality)
      : plan_(plan), channel_(channel), highQuality_(highQuality) {}
  void frame(const FrameOutput& out, bool last, int frameCounter);
  void finish();

 private:
  bool isEventFrame(const FrameOutput& out, bool last) const;
  VariantPlan& plan_;
  int channel_;
  bool highQuality_;
  bool pending_ = false;
  std::uint8_t flags_ = 0;
  int pitch_ = 0;
  int max_ = 0;
  int groupStart_ = 0;
};

// The emission pass of one channel, frame by frame, writing into the image.
class ChannelEmitter {
 public:
  ChannelEmitter(VariantPlan& plan, int channel, int waveCount, bool highQuality)
      : plan_(plan), channel_(channel), waveCount_(waveCount), highQuality_(highQuality) {}
  // An internal error (a note without a variant, or a pitch its variant
  // cannot play) ends the stream where it stands; it takes no more frames.
  enum class Result { Ok, InternalError, FrameTooLongForBank };
  Result frame(OutputImage& image, const FrameOutput& out, bool last, int frameCounter);

 private:
  VariantPlan& plan_;
  int channel_;
  int waveCount_;
  bool highQuality_;
  bool stopped_ = false;

  int wait_ = 2;  // frames since the last emitted command, plus 1
  bool first_ = true;
  bool notePending_ = false;
  bool sccPending_ = false;
  PcmNoteEvent note_{};
  int sccVolume_ = 0;
  int sccPeriod_ = 0;
  int sccWave_ = 0;
  int variant_ = 0;
  int lastEntry_ = -1;
  int lastVolume_ = -1;
  int lastWave_ = -1;
  std::array<std::uint8_t, 64> bytes_{};
};

}  // namespace kvtram
