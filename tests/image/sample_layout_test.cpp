#include "image/sample_layout.h"

#include <gtest/gtest.h>

#include <memory>

#include "image/output_image.h"
#include "samples/spectral_resampler.h"
#include "support/kv_song_builder.h"
#include "support/temp_dir.h"

namespace kvtram {
namespace {

std::uint8_t ramp(std::size_t i) { return static_cast<std::uint8_t>(i * 7 + 3); }

class SampleBanksTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::unique_ptr<SongFiles> files = std::make_unique<SongFiles>();
  std::unique_ptr<KvSong> song = std::make_unique<KvSong>();
  std::unique_ptr<SampleBankState> state = std::make_unique<SampleBankState>();
  std::unique_ptr<SpectralResampler> spectral = std::make_unique<SpectralResampler>();
  std::unique_ptr<OutputImage> image = std::make_unique<OutputImage>();
  SpectralVariants linearOnly{};

  void load(const KvSongBuilder& builder) {
    ASSERT_EQ(loadSong(builder.write(dir.path(), "s"), *files, *song), "");
    ASSERT_EQ(scanLoops(*song, *state), "");
    for (auto& marks : state->variantUsage) marks.fill(false);
    image->setUpHeader("");
  }
  const std::uint8_t* at(int address) const { return image->data() + kHeaderBytes + address; }
  std::array<std::uint8_t, 3> pointerAt(int address) const {
    return {at(address)[0], at(address)[1], at(address)[2]};
  }
};

TEST_F(SampleBanksTest, LoopMarkersGiveLoopLengths) {
  KvSongBuilder b;
  b.version(3).sampleOfBlocks(10, ramp).sampleOfBlocks(4, ramp).sampleOfBlocks(3, ramp);
  b.patch(0x3000 + b.endMarkerOffset(0) + 1, 0xF3, 0xFF);  // FF FE F3 FF: (0x10003 - 0xFFF3) / 2 = 8
  b.loop(2, 2);
  load(b);
  EXPECT_EQ(state->loopBlocks[0], 8);
  EXPECT_EQ(state->loopBlocks[1], -1);
  EXPECT_EQ(state->loopBlocks[2], 2);
}

TEST_F(SampleBanksTest, PointerTableAndUnusedSamples) {
  // Two waves, then three samples; only sample 1's variant 1 is used.
  Bytes waves(2 * 256, 128);
  load(KvSongBuilder().sample(waves, "SCC ").sampleOfBlocks(1, ramp).sampleOfBlocks(2, ramp));
  ASSERT_EQ(song->waveCount, 2);
  state->variantUsage[1][0] = true;
  ASSERT_EQ(placeSamples(*song, linearOnly, *state, *spectral, *image), "");
  // 256 / 1.407945475742086 = 181 samples + 200 continuation bytes.
  EXPECT_EQ(image->address(), 0x4000 + 181 + 200);
  const std::array<std::uint8_t, 3> start{0x01, 0x00, 0x40}, zero{0, 0, 0};
  const auto end = bankPointer(0x4000 + 181);
  // Sample 0 (the wave set) and its three variants: start, end and no loop, no space.
  for (int v = 0; v < 3; ++v) {
    EXPECT_EQ(pointerAt(64 + 9 * v), start);
    EXPECT_EQ(pointerAt(64 + 9 * v + 3), start);
    EXPECT_EQ(pointerAt(64 + 9 * v + 6), zero);
  }
  EXPECT_EQ(pointerAt(64 + 27), start);
  EXPECT_EQ(pointerAt(64 + 27 + 3), end);
  // Unplaced variants after it start at the current address and repeat the
  // end address of the last placed variant.
  const auto here = bankPointer(0x4000 + 181 + 200);
  EXPECT_EQ(pointerAt(64 + 27 + 9), here);
  EXPECT_EQ(pointerAt(64 + 27 + 12), end);
  EXPECT_EQ(pointerAt(64 + 54 + 18), here);
  EXPECT_EQ(pointerAt(64 + 54 + 21), end);
  EXPECT_EQ(pointerAt(64 + 54 + 24), zero);
  // The placed bytes are signed: the linear output less 128.
  EXPECT_EQ(at(0x4000)[0], static_cast<std::uint8_t>(ramp(0) < 128 ? ramp(0) + 1 - 128 : ramp(0) - 128));
}

TEST_F(SampleBanksTest, BankTailRulesAndLookAheadCopies) {
  load(KvSongBuilder().sampleOfBlocks(4, ramp));
  state->variantUsage[0][0] = true;
  // A variant due to start at offset 0x3F3F stays there; its bytes from 0x3F40
  // on are written twice: as look-ahead copies, and again from the next bank.
  while (image->address() != 0x4000 + 0x3F3F) image->put(0x55);
  ASSERT_EQ(placeSamples(*song, linearOnly, *state, *spectral, *image), "");
  EXPECT_EQ(pointerAt(0), bankPointer(0x4000 + 0x3F3F));
  for (int f = 0; f < 192; ++f) ASSERT_EQ(at(0x4000 + 0x3F40)[f], at(0x8000)[f]) << f;
  // L = 1024 / 1.407945475742086 = 727: one byte before the bank tail, then
  // the rest from 0x8000, the end pointer 726 bytes after it.
  EXPECT_EQ(pointerAt(3), bankPointer(0x8000 + 726));
  EXPECT_EQ(image->address(), 0x8000 + 727 + 200 - 1);

  // A variant due to start at 0x3F40 starts at the next bank; the gap is zero.
  SetUp();
  load(KvSongBuilder().sampleOfBlocks(4, ramp));
  state->variantUsage[0][0] = true;
  while (image->address() != 0x4000 + 0x3F40) image->put(0x55);
  ASSERT_EQ(placeSamples(*song, linearOnly, *state, *spectral, *image), "");
  EXPECT_EQ(pointerAt(0), bankPointer(0x8000));
  for (int o = 0x3F40; o < 0x4000; ++o) ASSERT_EQ(at(0x4000)[o], 0) << o;
}

TEST_F(SampleBanksTest, StreamStartRuleAfterTheSamples) {
  load(KvSongBuilder());
  for (int offset : {0x3FF7, 0x3FF8, 0x3FFF}) {
    image->setUpHeader("");
    while (image->address() != 0x4000 + offset) image->put(0x55);
    ASSERT_EQ(placeSamples(*song, linearOnly, *state, *spectral, *image), "");
    EXPECT_EQ(image->address(), offset < 0x3FF8 ? 0x4000 + offset : 0x8000) << offset;
    if (offset >= 0x3FF8) {
      for (int o = offset; o < 0x4000; ++o) ASSERT_EQ(at(0x4000)[o], 0);
    }
  }
  image->setUpHeader("");
  ASSERT_EQ(placeSamples(*song, linearOnly, *state, *spectral, *image), "");
  EXPECT_EQ(image->address(), 0x4000) << "a song without PCM notes places nothing";
}

TEST_F(SampleBanksTest, LoopPointerAndLoopContinuation) {
  KvSongBuilder b;
  b.version(3).sampleOfBlocks(4, ramp).loop(0, 2);
  load(b);
  state->variantUsage[0][2] = true;
  ASSERT_EQ(placeSamples(*song, linearOnly, *state, *spectral, *image), "");
  // Loop start 512 bytes into 1024: N = 512 / 2.815890951484172 = 181.
  EXPECT_EQ(pointerAt(18 + 6), bankPointer(0x4000 + 181));
  // The loop's continuation follows the end: output samples L.. equal those from N on.
  int length = static_cast<int>(1024 / 2.815890951484172);
  EXPECT_EQ(pointerAt(18 + 3), bankPointer(0x4000 + length));
}

TEST_F(SampleBanksTest, LoopLongerThanItsSampleIsRefusedWhenUsed) {
  KvSongBuilder b;
  b.version(3).sampleOfBlocks(2, ramp).patch(0x3000 + 4 + 1, 0xF3, 0xFF);  // an 8-block loop
  load(b);
  EXPECT_EQ(placeSamples(*song, linearOnly, *state, *spectral, *image), "");
  image->setUpHeader("");
  state->variantUsage[0][0] = true;
  EXPECT_EQ(placeSamples(*song, linearOnly, *state, *spectral, *image),
            "サンプル 0 のループがサンプルより長いです");
}

TEST(VariantUsage, MarksByPitchAndHighQuality) {
  auto state = std::make_unique<SampleBankState>();
  auto out = std::make_unique<FrameOutput>();
  auto mark = [&](int pitch, bool hq) {
    for (auto& m : state->variantUsage) m.fill(false);
    out->clear();
    out->pcm[5] = {kPcmNoteOn, 10, 7, static_cast<std::uint8_t>(pitch)};
    out->pcmEventBytes[5] = 4;
    markVariantUsage(*out, hq, *state);
    return state->variantUsage[7];
  };
  using M = std::array<bool, 3>;
  EXPECT_EQ(mark(128, false), (M{true, false, false}));
  EXPECT_EQ(mark(129, false), (M{false, false, true}));
  EXPECT_EQ(mark(186, true), (M{false, true, false}));
  EXPECT_EQ(mark(187, true), (M{false, false, true}));
  EXPECT_EQ(mark(128, true), (M{true, false, false}));
}

}  // namespace
}  // namespace kvtram
