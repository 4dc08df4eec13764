#include "image/channel_event_log.h"

#include <gtest/gtest.h>

#include <memory>

#include "input/song_player.h"

namespace kvtram {
namespace {

// Which frames become events of which channel, and what they keep.
TEST(ChannelEventLog, KeepsTheEventFramesOfTheRecordedChannels) {
  auto out = std::make_unique<FrameOutput>();
  auto log = std::make_unique<ChannelEventLog>();
  log->start(3);
  // Frame 1: a PCM note on channel 0, an SCC note on channel 1, both on channel 2, a PCM note on channel 3.
  out->clear();
  out->pcm[0] = {kPcmNoteOn, 40, 2, 150};
  out->pcmEventBytes[0] = 4;
  out->scc[1] = {9, 2868, 9};
  out->sccEventBytes[1] = 8;
  out->pcm[2] = {kPcmPitchChange, 1, 1, 1};
  out->pcmEventBytes[2] = 4;
  out->sccEventBytes[2] = 8;
  out->pcmEventBytes[3] = 4;
  log->record(*out, 1, false, 2);
  // Frame 2: nothing. Frame 3, the last: nothing either, yet an event frame everywhere.
  out->clear();
  log->record(*out, 2, false, 4);
  log->record(*out, 3, true, 5);

  ASSERT_EQ(log->events(0).size(), 2u);
  const ChannelEvent& pcm = log->events(0)[0];
  EXPECT_EQ(pcm.frame, 1);
  EXPECT_EQ(pcm.frameCounter, 2);
  EXPECT_EQ(pcm.kinds, ChannelEvent::kPcmNote);
  EXPECT_EQ(pcm.pcm.changes, kPcmNoteOn);
  EXPECT_EQ(pcm.pcm.volume, 40);
  EXPECT_EQ(pcm.pcm.sample, 2);
  EXPECT_EQ(pcm.pcm.pitch, 150);

  ASSERT_EQ(log->events(1).size(), 2u);
  const ChannelEvent& scc = log->events(1)[0];
  EXPECT_EQ(scc.kinds, ChannelEvent::kSccNote);
  EXPECT_EQ(scc.scc.volume, 9);
  EXPECT_EQ(scc.scc.period, 0x0B34);
  EXPECT_EQ(scc.scc.wave, 9);

  ASSERT_EQ(log->events(2).size(), 2u);
  EXPECT_EQ(log->events(2)[0].kinds, ChannelEvent::kPcmNote | ChannelEvent::kSccNote);
  EXPECT_EQ(log->events(2)[0].pcm.changes, kPcmPitchChange);

  for (int c = 0; c < 3; ++c) {
    const ChannelEvent& last = log->events(c)[1];
    EXPECT_EQ(last.frame, 3) << c;
    EXPECT_EQ(last.frameCounter, 5) << c;
    EXPECT_EQ(last.kinds, ChannelEvent::kLast) << c;
  }
  EXPECT_TRUE(log->events(3).empty()) << "channel 3 is not one of the song's";

  log->start(1);
  EXPECT_TRUE(log->events(0).empty()) << "a new play starts an empty log";
}

// The longest play the frame limit allows, with an event in every frame on
// every channel: nothing is lost, the last frame included.
TEST(ChannelEventLog, HoldsAnEventInEveryFrameOfTheLongestPlay) {
  auto out = std::make_unique<FrameOutput>();
  auto log = std::make_unique<ChannelEventLog>();
  log->start(kNoteChannels);
  for (int f = 1; f <= kMaxFramesPerPlay; ++f) {
    out->clear();
    for (std::size_t c = 0; c < kNoteChannels; ++c) out->pcmEventBytes[c] = 4;
    log->record(*out, f, f == kMaxFramesPerPlay, 2 * f);
  }
  for (int c = 0; c < kNoteChannels; ++c) {
    ASSERT_EQ(log->events(c).size(), static_cast<std::size_t>(kMaxFramesPerPlay)) << c;
    EXPECT_EQ(log->events(c).back().kinds, ChannelEvent::kPcmNote | ChannelEvent::kLast) << c;
  }
}

}  // namespace
}  // namespace kvtram
