#include "app/convert_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <memory>

#include "app/batch.h"
#include "app/workspace.h"
#include "messages/messages.h"
#include "support/kv_song_builder.h"
#include "support/recorded_play.h"
#include "support/temp_dir.h"

namespace kvtram {
namespace {

class ConvertFileTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::unique_ptr<Workspace> ws = std::make_unique<Workspace>();
  ConversionOptions options;

  Bytes convert(const KvSongBuilder& song, const std::string& name = "song") {
    std::string path = song.write(dir.path(), name);
    playsBefore = ws->interpreter.restarts();
    musicReadsBefore = ws->files.music.reads();
    sampleReadsBefore = ws->files.samples.reads();
    EXPECT_EQ(convertFile(*ws, path, dir.path() + "/" + name + ".trm", options), "");
    plays = ws->interpreter.restarts() - playsBefore;
    musicReads = ws->files.music.reads() - musicReadsBefore;
    sampleReads = ws->files.samples.reads() - sampleReadsBefore;
    return dir.read(name + ".trm");
  }
  int playsBefore = 0, musicReadsBefore = 0, sampleReadsBefore = 0;
  int plays = 0, musicReads = 0, sampleReads = 0;
};

Bytes slice(const Bytes& b, std::size_t from, std::size_t count) {
  return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(from + count));
}

// The FM init block shares its frame's room: a first frame of FM writes that
// fits the frame record alone but not with the block is refused as too many
// commands, one that fits both as too long for a bank.
TEST_F(ConvertFileTest, TheFmInitBlockTakesRoomInTheFirstFrame) {
  const std::pair<int, const char*> cases[] = {{8173, msg::kFrameTooLongForBank}, {8174, msg::kFrameTooBig}};
  for (auto [writes, reason] : cases) {
    SCOPED_TRACE(writes);
    Bytes frame;
    for (int i = 0; i < writes; ++i) frame.insert(frame.end(), {0x10, 0x01});
    frame.insert(frame.end(), {kv::kFrameEnd, kv::kSongEnd});
    std::string path = KvSongBuilder().stream(frame).write(dir.path(), "wide" + std::to_string(writes));
    EXPECT_EQ(buildImage(*ws, path, options), reason);
  }
}

TEST_F(ConvertFileTest, SongWithoutSamplesIsHeaderBankZeroAndTwoStreams) {
  // Frame 1: PSG register 7 and FM register 0x33; frame 2 ends the song.
  Bytes image = convert(KvSongBuilder().title("ABC").stream({0x47, 0x38, 0x33, 0x2C, 0xFF, 0xFE}));
  // Three passes, each from the song's start; the music file read once.
  EXPECT_EQ(plays, 3);
  EXPECT_EQ(musicReads, 1);
  EXPECT_EQ(sampleReads, 0);
  ASSERT_GT(image.size(), 16960u);
  EXPECT_EQ(slice(image, 0, 3), (Bytes{0x01, 0x00, 0x40}));
  EXPECT_EQ(slice(image, 139, 4), (Bytes{'T', 'R', 'A', 'M'}));
  EXPECT_EQ(slice(image, 143, 5), (Bytes{'A', 'B', 'C', 0x00, ' '}));
  EXPECT_EQ(image[143 + 63], ' ');
  EXPECT_EQ(slice(image, 486, 3), (Bytes{2, 4, 3}));
  EXPECT_EQ(slice(image, 489, 14),
            (Bytes{0x82, 0x75, 0x82, 0x60, 0x82, 0x6D, 0x82, 0x73, 0x82, 0x6E, 0x82, 0x71, 0x82, 0x60}));
  EXPECT_EQ(image[138], 0);
  for (std::size_t i = 576; i < 16960; ++i) ASSERT_EQ(image[i], 0) << "bank 0 at " << i;

  // PSG stream: the triplet, one-frame wait, then the last (empty) frame's wait and end.
  Bytes psg{0x8F, 0x07, 0x38, 0xAC, 0x01, 0xAC, 0x01, 0x69};
  EXPECT_EQ(slice(image, 16960, psg.size()), psg);
  // FM stream right behind it: init block (37 bytes), the frame's pair, waits, end.
  int fmAddress = 0x4000 + static_cast<int>(psg.size());
  EXPECT_EQ(slice(image, 48, 3), (Bytes{0x01, static_cast<std::uint8_t>(fmAddress & 0xFF), 0x40}));
  std::size_t fm = 16960 + psg.size();
  EXPECT_EQ(image[fm], 0xAD);
  EXPECT_EQ(slice(image, fm + 37, 7), (Bytes{0xE3, 0x2D, 0xAC, 0x01, 0xAC, 0x01, 0x69}));
  EXPECT_EQ(image.size(), fm + 37 + 7);
}

TEST_F(ConvertFileTest, RhythmModeShapesTheFmInitBlockAndTheHeader) {
  // FM register 0x0E with bit 5 set: the PSG pass ends in rhythm mode.
  Bytes image = convert(KvSongBuilder().stream({0x0E, 0x20, 0xFF, 0xFE}));
  EXPECT_EQ(image[138], 1);
  std::size_t fm = 16960 + 3;  // the PSG stream is AC 01 69
  EXPECT_EQ(slice(image, 16960, 3), (Bytes{0xAC, 0x01, 0x69}));
  EXPECT_EQ(image[fm], 0xAD);
  EXPECT_EQ(slice(image, fm + 25, 2), (Bytes{0xBE, 0x20})) << "25-byte block, then the frame's write";
}

TEST_F(ConvertFileTest, PcmChannelsAddNoPlaysAndTheFilesAreReadOnce) {
  KvSongBuilder song;
  song.pcmChannels(4).pcmMask(0x0F).sampleOfBlocks(1, [](std::size_t i) { return static_cast<std::uint8_t>(i); });
  song.stream({0xA0, 40, 0, 100, 0xFF, 0xA1, 40, 0, 200, 0xFF, 0xFF, 0xFE});
  Bytes image = convert(song);
  // Three plays, as without channels: the channel passes read the note
  // events that the usage pass recorded. One read of each file.
  EXPECT_EQ(plays, 3);
  EXPECT_EQ(musicReads, 1);
  EXPECT_EQ(sampleReads, 1);
  // Four channels, UseSccI off: slots 18, 24, 30, 36 hold pointers, 108.. stay zero.
  for (int slot : {18, 24, 30, 36}) EXPECT_EQ(image[static_cast<std::size_t>(slot)], 1) << slot;
  EXPECT_EQ(slice(image, 108, 21), Bytes(21, 0));
}

TEST_F(ConvertFileTest, JapaneseSampleFileNameGivesTheImageOfAnAsciiName) {
#ifdef __EMSCRIPTEN__
  GTEST_SKIP() << "node names the WebAssembly build's files by Unicode text: no Shift-JIS name can be made";
#endif
  auto song = [](const std::string& sampleName) {
    KvSongBuilder b;
    b.pcmChannels(1).pcmMask(0x01).sampleFileName(sampleName);
    b.sampleOfBlocks(2, [](std::size_t i) { return static_cast<std::uint8_t>(i * 5 + 3); });
    b.stream({0xA0, 40, 0, 100, 0xFF, 0xFF, 0xFE});
    return b;
  };
  const Bytes asciiImage = convert(song("DRUMa"));
  // "ドラムa" in the header, the file beside the song in other case.
  const std::string drum = "\x83\x68\x83\x89\x83\x80";
  const KvSongBuilder japanese = song(drum + "a");
  const std::string music = dir.write("ja.kv", japanese.musicBytes());
  // As stored in the header (on Windows, its decoding), and in UTF-8 as a
  // copy from a Japanese system to one of UTF-8 names leaves it.
  for (const std::string& onDisk : {fileNameHere(drum, "ドラム") + "A.KVP", std::string("ドラムA.KVP")}) {
    dir.write(onDisk, japanese.sampleBytes());
    ASSERT_EQ(convertFile(*ws, music, dir.path() + "/ja.trm", options), "") << onDisk;
    EXPECT_EQ(dir.read("ja.trm"), asciiImage);
    std::filesystem::remove(dir.path() + "/" + onDisk);
  }
}

TEST_F(ConvertFileTest, PassesSeeTheSongAsAFreshParseGivesIt) {
  // Three variants of a looping sample, resampled linearly: the resampler
  // writes its tails behind the sample in the store. After the conversion
  // the song must still be what a fresh parse gives, and a restart must play
  // exactly what a fresh interpreter plays.
  options.strictMid = options.strictMidHigh = options.strictHigh = false;
  KvSongBuilder song;
  song.version(3).pcmChannels(2).pcmMask(0x03)
      .sampleOfBlocks(3, [](std::size_t i) { return static_cast<std::uint8_t>(i * 13 + 7); }).loop(0, 2)
      .sampleOfBlocks(2, [](std::size_t i) { return static_cast<std::uint8_t>(200 - i); });
  song.stream({0xA0, 40, 0, 100, 0xA1, 50, 1, 150, 0xFF, 0xC0, 200, 0x0E, 0x20, 0xFF, 0xFE});
  convert(song);

  auto files = std::make_unique<SongFiles>();
  auto fresh = std::make_unique<KvSong>();
  ASSERT_EQ(parseInMemory(song, *files, *fresh), "");
  EXPECT_EQ(songDifference(ws->song, *fresh), "");

  SongInterpreter freshInterpreter(*fresh);
  freshInterpreter.options = ws->interpreter.options;
  freshInterpreter.restart();
  ws->interpreter.setRhythmMode(false);
  ws->interpreter.restart();
  RecordedPlay again = recordPlay(ws->interpreter);
  RecordedPlay first = recordPlay(freshInterpreter);
  EXPECT_TRUE(again.frames == first.frames);
  EXPECT_EQ(again.frameCounter, first.frameCounter);
}

// A first frame whose FM writes fill the frame record up to what the FM init
// block leaves: the usage and PSG plays go through, the FM play fails, and a
// channel whose events alone would be fine changes nothing about it.
TEST_F(ConvertFileTest, FailureOfTheFmPlayIsReportedWithPcmChannels) {
  struct Case {
    int writes;
    const char* failure;
  };
  for (const Case& c : {Case{8173, msg::kFrameTooLongForBank}, Case{8175, msg::kFrameTooBig}}) {
    KvSongBuilder song;
    song.pcmChannels(1).pcmMask(0x01).sampleOfBlocks(1, [](std::size_t) -> std::uint8_t { return 100; });
    Bytes s{0xA0, 40, 0, 100};
    for (int i = 0; i < c.writes; ++i) s.insert(s.end(), {0x20, 0x00});
    s.insert(s.end(), {0xFF, 0xFE});
    song.stream(s);
    std::string path = song.write(dir.path(), "full");
    EXPECT_EQ(convertFile(*ws, path, dir.path() + "/full.trm", options), c.failure) << c.writes;
    EXPECT_FALSE(dir.exists("full.trm"));
  }
}

TEST_F(ConvertFileTest, InternalErrorWritesNothingButLaterFilesConvert) {
  // A volume change before any note-on has no variant to play from.
  KvSongBuilder bad;
  bad.pcmChannels(1).sampleOfBlocks(1, [](std::size_t) -> std::uint8_t { return 100; });
  bad.stream({0xB8, 40, 0xFF, 0xFF, 0xFE});
  std::string badPath = bad.write(dir.path(), "bad");
  std::string goodPath = KvSongBuilder().stream({0xFE}).write(dir.path(), "good");
  BatchOutcome outcome = runBatch(*ws, {badPath, goodPath}, options);
  EXPECT_EQ(outcome.message, badPath + " : 内部エラー");
  EXPECT_FALSE(dir.exists("bad.trm"));
  EXPECT_TRUE(dir.exists("good.trm"));
}

}  // namespace
}  // namespace kvtram
