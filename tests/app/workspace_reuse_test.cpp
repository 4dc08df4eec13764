// A workspace is reused file after file, and touches its memory only as far
// as each song reaches. Whatever an earlier file left in it, a file must
// come out byte for byte as in a fresh workspace: every byte it reads and
// did not write (look-ahead copies past a variant's output, reads past a
// sample's tail, the tail of its files) is zero there.
#include <gtest/gtest.h>

#include <memory>

#include "app/convert_file.h"
#include "app/workspace.h"
#include "support/kv_song_builder.h"
#include "support/temp_dir.h"

namespace kvtram {
namespace {

std::uint8_t rampByte(std::size_t i) { return static_cast<std::uint8_t>(40 + (i * 7 + i / 97) % 170); }

// `channels` channels each playing `frames` frames of notes of sample 0
// (`blocks` blocks, its last `loopBlocks` looped) at pitches from `pitch` up.
KvSongBuilder noteSong(int channels, int frames, int blocks, int loopBlocks, int pitch) {
  KvSongBuilder song;
  song.pcmChannels(channels).pcmMask((1 << channels) - 1).sampleFileName("s" + std::to_string(blocks));
  song.sampleOfBlocks(blocks, rampByte);
  if (loopBlocks > 0) song.loop(0, loopBlocks);
  Bytes s;
  for (int f = 0; f < frames; ++f) {
    s.insert(s.end(), {0x48, static_cast<std::uint8_t>(f % 16), static_cast<std::uint8_t>(0x10 + f % 6), 0x20});
    for (int c = 0; c < channels; ++c) {
      if ((f + c) % 3 == 0) {
        s.insert(s.end(), {static_cast<std::uint8_t>(0xA0 + c), 0x30, 0x00,
                           static_cast<std::uint8_t>(pitch + (f * 5 + c) % 60)});
      }
    }
    s.push_back(f + 1 < frames ? 0xFF : 0xFE);
  }
  song.stream(s);
  return song;
}

TEST(WorkspaceReuse, AFileComesOutAsInAFreshWorkspace) {
  // An 88-block sample's mid variant is 16000 samples long: its 200
  // continuation bytes end at bank offset 16200, so the look-ahead copies of
  // that bank's tail read 175 bytes past what the resampler wrote. So is a
  // 176-block sample's high variant, whose last linear outputs read 8 bytes
  // past the tail written behind the sample in the store.
  struct Case {
    const char* name;
    KvSongBuilder before;
    KvSongBuilder after;
    bool spectral;
  };
  const Case cases[] = {
      {"look-ahead past a linear variant", noteSong(2, 40, 200, 0, 100), noteSong(1, 10, 88, 0, 100), false},
      {"look-ahead past a spectral variant", noteSong(2, 40, 200, 0, 100), noteSong(1, 10, 88, 0, 100), true},
      {"reads past a sample's tail", noteSong(1, 10, 200, 0, 100), noteSong(1, 10, 176, 0, 150), false},
      {"long looped song, then a short one", noteSong(8, 3000, 120, 16, 90), noteSong(1, 30, 3, 2, 150), false},
      {"short song, then a long looped one", noteSong(1, 30, 3, 0, 150), noteSong(8, 3000, 120, 16, 90), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    ConversionOptions options;
    options.strictMid = c.spectral;
    options.strictHigh = c.spectral;
    const std::string before = c.before.write(dir.path(), "before");
    const std::string after = c.after.write(dir.path(), "after");
    auto used = std::make_unique<Workspace>();
    ASSERT_EQ(convertFile(*used, before, dir.path() + "/before.trm", options), "");
    ASSERT_EQ(convertFile(*used, after, dir.path() + "/reused.trm", options), "");
    auto fresh = std::make_unique<Workspace>(0);
    ASSERT_EQ(convertFile(*fresh, after, dir.path() + "/fresh.trm", options), "");
    EXPECT_TRUE(dir.read("reused.trm") == dir.read("fresh.trm"));
  }
}

}  // namespace
}  // namespace kvtram
