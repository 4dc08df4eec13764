#include <gtest/gtest.h>

#include <memory>

#include "input/interpreter.h"
#include "input/song_player.h"
#include "support/kv_song_builder.h"

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
    psg.emplace_back(o.psgCommands.begin(), o.psgCommands.begin() + static_cast<long>(o.psgCommandLength));
    fm.emplace_back(o.fmCommands.begin(), o.fmCommands.begin() + static_cast<long>(o.fmCommandLength));
  });
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(interp.failure(), "");
  EXPECT_EQ(psg[0], (std::vector<std::uint8_t>{0x8F, 0x07, 0x38}));
  EXPECT_EQ(fm[0], (std::vector<std::uint8_t>{0xE3, 0x2D}));
  EXPECT_TRUE(psg[1].empty());
  EXPECT_EQ(counter, 2 * 2 + 1);
}

}  // namespace
}  // namespace kvtram
