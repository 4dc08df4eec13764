// The PCM channel streams. On a PCM channel the song plays sampled notes (a
// sample, a pitch byte, a volume) or SCC notes (a wave, a period, a
// volume). Every run of notes that begins with a note-on is played from one
// sample variant, the highest that any of its notes needs, so each channel
// takes two passes over its events: planning records the variant per run,
// emission writes the stream.
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
#include <span>

#include "image/channel_event_log.h"
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

// Planning of one channel from its event frames (channel_event_log.h): each
// note waits for the channel's next event frame; a note-on closes the group
// before it, whose highest variant goes into the plan at the frame counter of
// the frame where the group's own note-on was acted on.
void planChannel(VariantPlan& plan, int channel, std::span<const ChannelEvent> events, bool highQuality);

// Emission of one channel's stream from its event frames, with the plan, at
// the image's current address. A PCM or SCC note is written at the channel's
// next event frame, when its length is known; every wait counts all frames
// of the song, event frames or not.
enum class ChannelStreamResult { Ok, InternalError, FrameTooLongForBank };
// An internal error (a note without a variant, or a pitch its variant cannot
// play) ends the stream where it stands, without the bytes of that frame.
ChannelStreamResult emitChannel(OutputImage& image, const VariantPlan& plan, int channel,
                                std::span<const ChannelEvent> events, int waveCount);

}  // namespace kvtram
