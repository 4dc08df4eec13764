#include "image/pcm_streams.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace kvtram {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Note {
  std::uint8_t changes, volume, sample, pitch;
};
struct SccNote {
  int volume, period, wave;
};
struct Event {
  std::optional<Note> note;
  std::optional<SccNote> scc;
};

// Plans and emits channel 0 of a song of `frames` frames whose events are
// given by frame number (from 1); returns the stream's bytes.
class ChannelRun {
 public:
  explicit ChannelRun(bool highQuality = false, int waveCount = 0)
      : highQuality_(highQuality), waveCount_(waveCount) {}

  Bytes run(int frames, const std::map<int, Event>& events) {
    // The frames as a play hands them over, recorded into the channel's log.
    log_->start(1);
    for (int f = 1; f <= frames; ++f) {
      out_->clear();
      if (auto it = events.find(f); it != events.end()) {
        if (it->second.note) {
          const Note& n = *it->second.note;
          out_->pcm[0] = {n.changes, n.volume, n.sample, n.pitch};
          out_->pcmEventBytes[0] = 4;
        }
        if (it->second.scc) {
          const SccNote& t = *it->second.scc;
          out_->scc[0] = {static_cast<std::uint8_t>(t.volume), static_cast<std::uint16_t>(t.period),
                          static_cast<std::uint8_t>(t.wave)};
          out_->sccEventBytes[0] = 8;
        }
      }
      log_->record(*out_, f, f == frames, 2 * f);
    }
    plan_->clear();
    planChannel(*plan_, 0, log_->events(0), highQuality_);

    image_->setUpHeader("");
    error_ = emitChannel(*image_, *plan_, 0, log_->events(0), waveCount_);
    const std::uint8_t* base = image_->data() + kHeaderBytes;
    return Bytes(base + 0x4000, base + image_->address());
  }
  ChannelStreamResult error() const { return error_; }

 private:
  bool highQuality_;
  int waveCount_;
  std::unique_ptr<VariantPlan> plan_ = std::make_unique<VariantPlan>();
  std::unique_ptr<OutputImage> image_ = std::make_unique<OutputImage>();
  std::unique_ptr<FrameOutput> out_ = std::make_unique<FrameOutput>();
  std::unique_ptr<ChannelEventLog> log_ = std::make_unique<ChannelEventLog>();
  ChannelStreamResult error_ = ChannelStreamResult::Ok;
};

Event noteOn(int volume, int sample, int pitch) {
  return {Note{kPcmNoteOn, static_cast<std::uint8_t>(volume), static_cast<std::uint8_t>(sample),
               static_cast<std::uint8_t>(pitch)},
          std::nullopt};
}
Event change(std::uint8_t bits, int volume, int sample, int pitch) {
  return {Note{bits, static_cast<std::uint8_t>(volume), static_cast<std::uint8_t>(sample),
               static_cast<std::uint8_t>(pitch)},
          std::nullopt};
}
Event sccNote(int volume, int period, int wave) { return {std::nullopt, SccNote{volume, period, wave}}; }

TEST(PcmChannelStream, SilentChannelIsOneWaitAndTheEnd) {
  ChannelRun run;
  EXPECT_EQ(run.run(10, {}), (Bytes{0xAC, 11, 0x69}));
  EXPECT_EQ(run.run(300, {}), (Bytes{0xAC, 0x00, 0x2D, 0x01, 0x69}));
}

TEST(PcmChannelStream, SingleNoteOn) {
  ChannelRun run;
  // Note-on in frame 3, the song ends in frame 10: sample 0, variant 1 at
  // bank-0 address 0 (entry 0x00, 0x80), volume 40 -> 241 + 10 = 251.
  EXPECT_EQ(run.run(10, {{3, noteOn(40, 0, 128)}}),
            (Bytes{0xAC, 0x04, 0x7B, 0x00, 0x80, 0x00, 0x00, 0x66, 251, 95, 0x07, 0x69}));
  EXPECT_EQ(run.error(), ChannelStreamResult::Ok);
}

TEST(PcmChannelStream, VariantAndPitchIndexOfLoneNotes) {
  struct Case {
    bool highQuality;
    int pitch;
    int entry;
    int index;
  };
  // Sample 1 with two waves: entry = 64 + 27 + 9 x (variant - 1).
  const Case cases[] = {{true, 150, 64 + 27 + 9, 92}, {false, 150, 64 + 27 + 18, 86}, {false, 128, 64 + 27, 95}};
  for (const Case& c : cases) {
    ChannelRun run(c.highQuality, 2);
    Bytes s = run.run(6, {{2, noteOn(63, 1, c.pitch)}});
    ASSERT_EQ(s.size(), 12u);
    EXPECT_EQ(s[2], 0x7B);
    EXPECT_EQ(s[3] | ((s[4] - 0x80) << 8), c.entry) << c.pitch;
    EXPECT_EQ((Bytes(s.begin() + 7, s.begin() + 9)), (Bytes{0x66, 0x00})) << "volume 63";
    EXPECT_EQ(s[9], c.index) << c.pitch;
  }
}

TEST(PcmChannelStream, GroupTakesItsHighestVariant) {
  ChannelRun run;
  // Note-on at pitch 100, then a pitch change to 200 in the same group: both
  // notes use variant 3 (entry 18); the change is 0x64 + index, no 0x7B/0x66 again.
  Bytes s = run.run(12, {{2, noteOn(0, 0, 100)}, {5, change(kPcmPitchChange, 0, 0, 200)}});
  EXPECT_EQ(s, (Bytes{0xAC, 0x03, 0x7B, 18, 0x80, 0, 0, 0x66, 0xF1, 79, 3, 0x64, 91, 7, 0x69}));
}

TEST(PcmChannelStream, SccAndPcmNotesResetEachOthersCaches) {
  ChannelRun run;
  Bytes s = run.run(20, {{2, noteOn(8, 0, 128)},
                         {4, sccNote(9, 0x123, 1)},
                         {6, noteOn(8, 0, 128)},
                         {8, sccNote(9, 0x123, 1)},
                         {10, sccNote(9, 0x456, 1)}});
  EXPECT_EQ(s, (Bytes{0xAC, 0x03,
                      0x7B, 0, 0x80, 0, 0, 0x66, 243, 95, 2,  // note of frame 2
                      0x7A, 0x20, 0x40, 0xAD, 0x23, 0x19, 2,  // SCC note of frame 4
                      0x7B, 0, 0x80, 0, 0, 0x66, 243, 95, 2,  // the same note again: all repeated
                      0x7A, 0x20, 0x40, 0xAD, 0x23, 0x19, 2,  // the same SCC note again: wave repeated
                      0xAD, 0x56, 0x49, 10,                   // an SCC note after an SCC note keeps the wave
                      0x69}));
}

TEST(PcmChannelStream, SccNoteInTheFrameOfAPcmNoteIsLost) {
  ChannelRun run;
  Event both = noteOn(4, 0, 128);
  both.scc = SccNote{5, 100, 0};
  Bytes s = run.run(8, {{2, both}});
  EXPECT_EQ(s, (Bytes{0xAC, 0x03, 0x7B, 0, 0x80, 0, 0, 0x66, 242, 95, 6, 0x69}));
}

TEST(PcmChannelStream, EventsOfTheLastFrameProduceNothing) {
  ChannelRun run;
  EXPECT_EQ(run.run(5, {{5, noteOn(4, 0, 128)}}), (Bytes{0xAC, 0x06, 0x69}));
}

TEST(PcmChannelStream, NoteBeforeAnyNoteOnIsAnInternalError) {
  ChannelRun run;
  Bytes s = run.run(8, {{2, change(kPcmVolumeChange, 4, 0, 128)}, {4, noteOn(4, 0, 128)}});
  EXPECT_EQ(run.error(), ChannelStreamResult::InternalError);
  // The stream ends where it stands: the opening wait only, no end command.
  EXPECT_EQ(s, (Bytes{0xAC, 0x03}));
}

TEST(PitchIndex, SemitonesAroundEachVariantsPitch) {
  EXPECT_EQ(pitchIndex(128, 1), 95);
  EXPECT_EQ(pitchIndex(64, 1), 83);
  EXPECT_EQ(pitchIndex(150, 2), 92);
  EXPECT_EQ(pitchIndex(150, 3), 86);
  EXPECT_EQ(pitchIndex(255, 3), 95);
  EXPECT_EQ(pitchIndex(0, 1), 0);
  EXPECT_EQ(pitchIndex(0, 2), 0);
  EXPECT_EQ(pitchIndex(0, 3), 0);
  EXPECT_GT(pitchIndex(255, 1), 95);
  EXPECT_EQ(variantOfPitch(128, true), 1);
  EXPECT_EQ(variantOfPitch(129, false), 3);
  EXPECT_EQ(variantOfPitch(186, true), 2);
  EXPECT_EQ(variantOfPitch(187, true), 3);
}

TEST(ChannelSlots, ByChannelCountAndSccI) {
  EXPECT_EQ(channelSlots(3, false), (std::array<int, 8>{18, 24, 30, 36, 108, 114, 120, 126}));
  EXPECT_EQ(channelSlots(5, false), (std::array<int, 8>{108, 114, 120, 126, 18, 24, 30, 36}));
  EXPECT_EQ(channelSlots(5, true), (std::array<int, 8>{18, 24, 30, 36, 42, 108, 114, 120}));
  EXPECT_EQ(channelSlots(6, true), (std::array<int, 8>{108, 114, 120, 18, 24, 30, 36, 42}));
}

TEST(VariantPlan, ClearForgetsEveryEntryOfEveryChannel) {
  auto plan = std::make_unique<VariantPlan>();
  plan->set(0, 5, 1);
  plan->set(3, 72000, 3);
  plan->set(7, 2, 2);
  EXPECT_EQ(plan->at(0, 5), 1);
  EXPECT_EQ(plan->at(3, 72000), 3);
  EXPECT_EQ(plan->at(7, 2), 2);
  EXPECT_EQ(plan->at(7, 3), 0);
  plan->clear();
  for (int c = 0; c < kNoteChannels; ++c) {
    for (int counter : {0, 2, 5, 72000, kPlanEntries - 1}) EXPECT_EQ(plan->at(c, counter), 0) << c << " " << counter;
  }
}

}  // namespace
}  // namespace kvtram
