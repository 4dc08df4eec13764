#include "image/channel_event_log.h"

#include "input/song_player.h"

namespace kvtram {

namespace {

constexpr std::size_t kEventsPerChannel = static_cast<std::size_t>(kMaxFramesPerPlay);

}  // namespace

// Nothing but what a song records is ever read, so the log is never cleared.
ChannelEventLog::ChannelEventLog() : events_(static_cast<std::size_t>(kNoteChannels) * kEventsPerChannel) {}

void ChannelEventLog::start(int channels) {
  channels_ = channels < kNoteChannels ? channels : kNoteChannels;
  counts_.fill(0);
}

void ChannelEventLog::record(const FrameOutput& out, int frame, bool last, int frameCounter) {
  for (int c = 0; c < channels_; ++c) {
    const auto ch = static_cast<std::size_t>(c);
    const bool pcm = out.pcmEventBytes[ch] != 0;
    const bool scc = out.sccEventBytes[ch] != 0;
    if (!pcm && !scc && !last) continue;
    // At most one entry per frame, and playSong plays at most kMaxFramesPerPlay.
    if (static_cast<std::size_t>(counts_[ch]) == kEventsPerChannel) continue;
    ChannelEvent& e = events_[ch * kEventsPerChannel + static_cast<std::size_t>(counts_[ch]++)];
    e.frame = frame;
    e.frameCounter = frameCounter;
    e.kinds = static_cast<std::uint8_t>((pcm ? ChannelEvent::kPcmNote : 0) | (scc ? ChannelEvent::kSccNote : 0) |
                                        (last ? ChannelEvent::kLast : 0));
    e.pcm = out.pcm[ch];
    e.scc = out.scc[ch];
  }
}

std::span<const ChannelEvent> ChannelEventLog::events(int channel) const {
  const auto ch = static_cast<std::size_t>(channel);
  return {events_.data() + ch * kEventsPerChannel, static_cast<std::size_t>(counts_[ch])};
}

}  // namespace kvtram
