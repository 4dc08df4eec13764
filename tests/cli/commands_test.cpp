#include "cli/commands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/kv_song_builder.h"
#include "support/temp_dir.h"

namespace kvtram {
namespace {

struct Outcome {
  int status;
  std::string out, err;
};

Outcome run(std::vector<std::string> args) {
  args.insert(args.begin(), "kvtram");
  std::ostringstream out, err;
  int status = runCommandLine(args, out, err);
  return {status, out.str(), err.str()};
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::uint8_t ramp(std::size_t i) { return static_cast<std::uint8_t>(i * 3); }

// Two PCM channels (channel 0 plays samples, channel 1 a tone), two samples,
// a macro and a loop back to the start after three frames.
KvSongBuilder smallSong() {
  KvSongBuilder song;
  song.version(4).pcmChannels(2).pcmMask(0x01).title("ABC");
  song.sampleOfBlocks(4, ramp).loop(0, 2).sampleOfBlocks(1, ramp);
  song.macro({0x47, 0x38});
  song.stream({0xE0, 0x33, 0x2C, 0xA0, 0x3C, 0x00, 0x64, 0xFF,  // PSG (macro), FM, note-on pitch 100
               0xC0, 0x96, 0x59, 0x01, 0xFF,                    // pitch 150; a tone on channel 1
               0xA0, 0x3C, 0x01, 0xC8, 0xFF,                    // sample 1 at pitch 200
               0xFD, 0x00, 0x00, 0x00, 0xFE});
  return song;
}

class CommandLineTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path(const std::string& name) const { return dir.path() + "/" + name; }
};

TEST_F(CommandLineTest, ConvertRefusesALoopCountOutOfRangeBeforeAnyFile) {
  std::string song = smallSong().write(dir.path(), "song");
  for (const char* loops : {"0", "16"}) {
    Outcome r = run({"convert", "--loops", loops, song});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "ループ数 が範囲外です ( 1-15 )\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(dir.exists("song.trm"));
  }
  Outcome psg = run({"convert", "--psg-reduction", "16", song});
  EXPECT_EQ(psg.status, 2);
  EXPECT_EQ(psg.err, "PSG 補整音量が範囲外です ( 0-15 )\n");
  EXPECT_EQ(run({"convert", "--no-such-option", song}).status, 2);
  EXPECT_FALSE(dir.exists("song.trm"));
}

TEST_F(CommandLineTest, ConvertReportsAMissingFileAndGoesOn) {
  std::string song = smallSong().write(dir.path(), "song");
  Outcome r = run({"convert", path("missing.kv"), song});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, path("missing.kv") + " : ファイルが見つかりません")) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(dir.exists("song.trm"));
}

TEST_F(CommandLineTest, ConvertSkipsPathsThatAreNoKvFiles) {
  std::string song = smallSong().write(dir.path(), "song");
  std::string text = dir.write("notes.txt", {'x'});
  Outcome r = run({"convert", text, song});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "終了しました\n");
  EXPECT_TRUE(contains(r.err, text + " : ")) << r.err;
  EXPECT_TRUE(dir.exists("song.trm"));
  EXPECT_FALSE(dir.exists("notes.trm"));

  Outcome quiet = run({"convert", "-q", text, song});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");
}

TEST_F(CommandLineTest, InfoDescribesTheSongAndWhatItPlays) {
  std::string song = smallSong().write(dir.path(), "song");
  Outcome r = run({"info", song});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  // The loop plays frames 1-3 again in frames 4-6; the jump in frame 7 ends the song.
  EXPECT_EQ(r.out, song + "\n"
                   "  title           \"ABC\"\n"
                   "  format version  4\n"
                   "  PCM channels    2 (PCM channel mask 0x01, mix channel mask 0x00)\n"
                   "  samples         2 (sample file " + path("SAMPLES.kvp") + ")\n"
                   "    0: 4 blocks, loop of 2 blocks\n"
                   "    1: 1 block, no loop\n"
                   "  macros          1\n"
                   "  length          7 frames (0.12 s) at loop count 2\n"
                   "  FM writes       2\n"
                   "  PSG writes      2\n"
                   "  wavetable notes 2\n"
                   "  PCM notes       6\n"
                   "  variants needed sample 0: 1 3; sample 1: 3\n");

  Outcome once = run({"info", "--loops", "1", song});
  EXPECT_TRUE(contains(once.out, "  length          4 frames (0.07 s) at loop count 1\n")) << once.out;
  EXPECT_TRUE(contains(once.out, "  PCM notes       3\n"));
  Outcome high = run({"info", "--high-quality", song});
  EXPECT_TRUE(contains(high.out, "  variants needed (high quality) sample 0: 1 2; sample 1: 3\n")) << high.out;
}

TEST_F(CommandLineTest, InfoShowsAWaveSetAndAShiftJisTitle) {
  KvSongBuilder song;
  song.title("\x81\x40\x83\x65\x83\x58\x83\x67 \xB1\xB2").sample(Bytes(3 * 256, 128), "SCC ");
  song.stream({0xFE});
  Outcome r = run({"info", song.write(dir.path(), "waves")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "  title           \"\u3000テスト ｱｲ\"\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "    0: 3 blocks, wave set of 3 waves\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "  variants needed none\n"));
}

TEST_F(CommandLineTest, InfoFailuresAndBadArguments) {
  std::string song = smallSong().write(dir.path(), "song");
  Outcome r = run({"info", path("missing.kv"), song});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, path("missing.kv") + " : ファイルが見つかりません")) << r.err;
  EXPECT_TRUE(contains(r.out, "  title           \"ABC\"")) << "the other file is still described";

  for (const char* loops : {"0", "16"}) {
    Outcome bad = run({"info", "--loops", loops, song});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err, "ループ数 が範囲外です ( 1-15 )\n");
    EXPECT_EQ(bad.out, "");
  }
  EXPECT_EQ(run({"info"}).status, 2);
  Outcome help = run({"info", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(contains(help.out, "Exit status")) << help.out;
}

TEST_F(CommandLineTest, DumpListsAConvertedImage) {
  std::string song = smallSong().write(dir.path(), "song");
  ASSERT_EQ(run({"convert", song}).status, 0);
  Outcome r = run({"dump", path("song.trm")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  for (const char* line : {"  magic          \"TRAM\"\n", "  title          \"ABC\"\n", "  constants      2 4 3\n",
                           "  player name    \"ＶＡＮＴＯＲＡ\"\n", "  PSG stream     ",
                           "  sample pointer table at 0x0000, 2 samples\n", "stream PCM channel 1 at ",
                           "           0  0x", "  psg  reg 7 = 0x38\n", "fm init: key off, attenuation 15 on 9 channels\n",
                           "sample entry 0x0012 (sample 0 variant 3)\n", " ends at 0x"}) {
    EXPECT_TRUE(contains(r.out, line)) << line << "\n" << r.out;
  }
  Outcome given = run({"dump", "--waves", "0", path("song.trm")});
  EXPECT_EQ(given.status, 0);
  EXPECT_TRUE(contains(given.out, "  waves          0 (as given)\n"));
}

TEST_F(CommandLineTest, DumpRefusesWhatIsNoImage) {
  Bytes garbage(3000);
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<std::uint8_t>(i * 131 + 7);
  std::string file = dir.write("garbage.trm", garbage);
  Outcome r = run({"dump", file});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(contains(r.err, file + " : TRAM イメージではありません")) << r.err;

  Outcome missing = run({"dump", path("none.trm")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(contains(missing.err, path("none.trm") + " : ファイルが見つかりません")) << missing.err;

  // A cut image: what can be read is listed, and the break is the failure.
  std::string song = smallSong().write(dir.path(), "song");
  ASSERT_EQ(run({"convert", song}).status, 0);
  Bytes image = dir.read("song.trm");
  image.pop_back();
  std::string cut = dir.write("cut.trm", image);
  Outcome c = run({"dump", cut});
  EXPECT_EQ(c.status, 1);
  EXPECT_TRUE(contains(c.out, "(the stream breaks off here)")) << c.out;
  EXPECT_TRUE(contains(c.err, "ファイルが終わっています")) << c.err;
}

}  // namespace
}  // namespace kvtram
