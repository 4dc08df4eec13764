#include <gtest/gtest.h>

#include <memory>

#include "input/interpreter.h"
#include "input/song_player.h"
#include "support/kv_song_builder.h"
#include "support/recorded_play.h"

namespace kvtram {
namespace {

TEST(InterpreterSmoke, PlaysPsgAndFmFrames) {
  auto files = std::make_unique<SongFiles>();
  auto song = std::make_unique<KvSong>();
  ASSERT_EQ(parseInMemory(KvSongBuilder().stream({0x47, 0x38, 0x33, 0x2C, 0xFF, 0xFF, 0xFE}), *files, *song), "");
  SongInterpreter interp(*song);
  interp.restart();
  FrameOutput out;
  int counter = 0;
  std::vector<std::vector<std::uint8_t>> psg, fm;
  int frames = playSong(interp, out, counter, [&](int, bool, const FrameOutput& o, int) {
    psg.push_back(psgBytes(o));
    fm.push_back(fmBytes(o));
  });
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(interp.failure(), "");
  EXPECT_EQ(psg[0], (std::vector<std::uint8_t>{0x8F, 0x07, 0x38}));
  EXPECT_EQ(fm[0], (std::vector<std::uint8_t>{0xE3, 0x2D}));
  EXPECT_TRUE(psg[1].empty());
  EXPECT_EQ(counter, 2 * 2 + 1);
}

TEST(InterpreterSmoke, SkippedNoteEventsLeaveTheRegisterWritesAndEndWithTheRestart) {
  auto files = std::make_unique<SongFiles>();
  auto song = std::make_unique<KvSong>();
  // A PCM note on channel 0, a tone on channel 1, a PSG and an FM write.
  ASSERT_EQ(parseInMemory(KvSongBuilder().pcmChannels(1).pcmMask(0x01).stream(
                              {0xA0, 40, 0, 100, 0x51, 30, 0x47, 0x38, 0x33, 0x2C, 0xFF, 0xFE}),
                          *files, *song),
            "");
  SongInterpreter interp(*song);
  interp.restart();
  RecordedPlay full = recordPlay(interp);
  ASSERT_EQ(full.frames.size(), 2u);
  EXPECT_EQ(full.frames[0].pcmBytes[0], 4);
  EXPECT_EQ(full.frames[0].sccBytes[1], 8);

  interp.restart();
  interp.skipNoteEvents();
  RecordedPlay registersOnly = recordPlay(interp);
  ASSERT_EQ(registersOnly.frames.size(), full.frames.size());
  for (std::size_t f = 0; f < full.frames.size(); ++f) {
    EXPECT_EQ(registersOnly.frames[f].psg, full.frames[f].psg) << f;
    EXPECT_EQ(registersOnly.frames[f].fm, full.frames[f].fm) << f;
    EXPECT_EQ(registersOnly.frames[f].pcmBytes, (std::array<int, kNoteChannels>{})) << f;
    EXPECT_EQ(registersOnly.frames[f].sccBytes, (std::array<int, kNoteChannels>{})) << f;
  }
  EXPECT_EQ(registersOnly.frameCounter, full.frameCounter);

  interp.restart();
  RecordedPlay again = recordPlay(interp);
  EXPECT_TRUE(again.frames == full.frames) << "a restart brings the note events back";
}

}  // namespace
}  // namespace kvtram
