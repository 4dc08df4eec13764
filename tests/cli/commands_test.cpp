#include "cli/commands.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "run_command_line.h"
#include "support/hostile_inputs.h"
#include "support/kv_song_builder.h"
#include "support/temp_dir.h"

namespace kvtram {
namespace {

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
    EXPECT_EQ(r.err, std::string("--loops ") + loops + " : ループ数 が範囲外です ( 1-15 )\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(dir.exists("song.trm"));
  }
  Outcome psg = run({"convert", "--psg-reduction", "16", song});
  EXPECT_EQ(psg.status, 2);
  EXPECT_EQ(psg.err, "--psg-reduction 16 : PSG 補整音量が範囲外です ( 0-15 )\n");
  EXPECT_EQ(run({"convert", "--no-such-option", song}).status, 2);
  EXPECT_FALSE(dir.exists("song.trm"));
}

TEST_F(CommandLineTest, ConvertReportsAMissingFileAndGoesOn) {
  std::string song = smallSong().write(dir.path(), "song");
  Outcome r = run({"convert", path("missing.kv"), song});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, path("missing.kv") + " : ファイルが見つかりません")) << r.err;
  EXPECT_TRUE(contains(r.out, "終了しました: 変換 1、失敗 1、スキップ 0\n")) << r.out;
  EXPECT_TRUE(dir.exists("song.trm"));
}

TEST_F(CommandLineTest, ConvertSkipsPathsThatAreNoKvFiles) {
  std::string song = smallSong().write(dir.path(), "song");
  std::string text = dir.write("notes.txt", {'x'});
  Outcome r = run({"convert", text, song});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, path("song.trm") + " : " + std::to_string(dir.read("song.trm").size()) +
                       " バイト\n終了しました: 変換 1、失敗 0、スキップ 1\n");
  EXPECT_TRUE(contains(r.err, text + " : ")) << r.err;
  EXPECT_TRUE(dir.exists("song.trm"));
  EXPECT_FALSE(dir.exists("notes.trm"));

  Outcome quiet = run({"convert", "-q", text, song});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(quiet.out, "");
}

// Whatever goes wrong with a path is said, names the file concerned and
// counts as a failure; only an existing file that is no song is passed over.
TEST_F(CommandLineTest, PathsThatNameNothingFailAndEveryProblemIsNamed) {
  const std::string song = smallSong().write(dir.path(), "song");
  KvSongBuilder withFolderSamples = smallSong();
  withFolderSamples.sampleFileName("zz");
  const std::string folderSamples = withFolderSamples.write(dir.path(), "fs");
  std::filesystem::remove(path("zz.kvp"));
  std::filesystem::create_directories(path("zz.kvp"));
  KvSongBuilder shortSamples = smallSong();
  shortSamples.sampleFileName("cut");
  const std::string cut = shortSamples.write(dir.path(), "cut");
  std::filesystem::resize_file(path("cut.kvp"), 256);  // of 5 blocks
  const std::string text = dir.write("notes.txt", {'x'});

  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;  // one line of it
    std::string summary;
  } cases[] = {
      {{song, path("my_sogns/")}, 1, path("my_sogns/") + " : ファイルが見つかりません", "変換 1、失敗 1、スキップ 0"},
      {{path("gone/x.kv")}, 1, path("gone/x.kv") + " : ファイルが見つかりません", "変換 0、失敗 1、スキップ 0"},
      {{text}, 3, text + " : .kv ファイルではないので飛ばしました", "変換 0、失敗 0、スキップ 1"},
      {{folderSamples}, 1, folderSamples + " : " + path("zz.kvp") + " : ファイルをオープンできません",
       "変換 0、失敗 1、スキップ 0"},
      {{cut}, 0, path("cut.kvp") + " : サンプルファイルが曲の指定より 1024 バイト短いです (足りない部分は 0 として変換します)",
       "変換 1、失敗 0、スキップ 0"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"convert"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Outcome r = run(args);
    EXPECT_EQ(r.status, c.status) << c.err;
    EXPECT_TRUE(contains(r.err, c.err + "\n")) << r.err;
    EXPECT_TRUE(contains(r.out, c.summary)) << r.out;
  }
  Outcome info = run({"info", cut});
  EXPECT_EQ(info.status, 0);
  EXPECT_TRUE(contains(info.err, path("cut.kvp") + " : サンプルファイルが曲の指定より 1024 バイト短いです")) << info.err;

#ifndef _WIN32
#ifndef __EMSCRIPTEN__  // node shows the WebAssembly build neither FIFOs nor folders by descriptor
  // A FIFO named as a song and a song beyond the path limit, met by a scan.
  std::filesystem::create_directories(path("scan"));
  ASSERT_EQ(::mkfifo(path("scan/pipe.kv").c_str(), 0600), 0);
  int fd = ::open(path("scan").c_str(), O_RDONLY | O_DIRECTORY);
  const std::string longName(200, 'd');
  std::vector<int> folders{fd};
  for (int depth = 0; depth < 22; ++depth) {  // 22 x 201 bytes: beyond PATH_MAX
    ASSERT_EQ(::mkdirat(folders.back(), longName.c_str(), 0700), 0);
    folders.push_back(::openat(folders.back(), longName.c_str(), O_RDONLY | O_DIRECTORY));
  }
  Outcome scan = run({"convert", "-r", path("scan")});
  EXPECT_EQ(scan.status, 1);
  EXPECT_TRUE(contains(scan.err, path("scan/pipe.kv") + " : ファイルをオープンできません\n")) << scan.err;
  EXPECT_TRUE(contains(scan.err, " : パスをたどれません (名前が長すぎます)\n")) << scan.err;
  EXPECT_TRUE(contains(scan.out, "変換 0、失敗 2、スキップ 0")) << scan.out;
  for (std::size_t k = folders.size() - 1; k > 0; --k) {
    ::close(folders[k]);
    ::unlinkat(folders[k - 1], longName.c_str(), AT_REMOVEDIR);
  }
  ::close(fd);
#endif

  // Control characters in names are printed escaped, never raw.
  const std::string hostile = smallSong().write(dir.path(), "a\x1B[2J\nb");
  Outcome escaped = run({"convert", hostile, path("x\ty.txt")});
  EXPECT_TRUE(contains(escaped.out, path("a\\x1B[2J\\nb.trm") + " : ")) << escaped.out;
  EXPECT_TRUE(contains(escaped.err, path("x\\ty.txt") + " : ファイルが見つかりません\n")) << escaped.err;
  EXPECT_EQ(escaped.out.find('\x1B'), std::string::npos);
#endif
}

TEST_F(CommandLineTest, FoldersConvertTheirSongsInNameOrder) {
  std::filesystem::create_directories(path("songs/sub"));
  std::filesystem::create_directories(path("none"));
  smallSong().write(path("songs"), "b");
  writeBytes(path("songs/A.KV"), smallSong().musicBytes());
  smallSong().write(path("songs/sub"), "c");
  dir.write("songs/notes.txt", {1});

  Outcome flat = run({"convert", path("songs")});
  EXPECT_EQ(flat.status, 0) << flat.err;
  EXPECT_TRUE(contains(flat.out, path("songs/A.trm") + " : ")) << flat.out;
  EXPECT_LT(flat.out.find("/A.trm"), flat.out.find("/b.trm"));
  EXPECT_TRUE(contains(flat.out, "終了しました: 変換 2、失敗 0、スキップ 0\n")) << flat.out;
  EXPECT_FALSE(dir.exists("songs/sub/c.trm"));

  Outcome deep = run({"convert", "-r", "-q", path("songs")});
  EXPECT_EQ(deep.status, 0);
  EXPECT_TRUE(dir.exists("songs/sub/c.trm"));

  // Nothing convertible: reported, and the status says nothing was converted.
  Outcome empty = run({"convert", path("none"), path("songs/notes.txt")});
  EXPECT_EQ(empty.status, 3);
  EXPECT_TRUE(contains(empty.err, path("none") + " : KV ファイルがありません\n")) << empty.err;
  EXPECT_TRUE(contains(empty.out, "変換 0、失敗 0、スキップ 2")) << empty.out;
}

TEST_F(CommandLineTest, OutputFolderTakesTheImagesAndRefusesASecondSongOfTheSameName) {
  std::filesystem::create_directories(path("x"));
  std::filesystem::create_directories(path("y"));
  std::string first = smallSong().write(path("x"), "tune");
  std::string second = KvSongBuilder().stream({0x47, 0x38, 0xFF, 0xFE}).write(path("y"), "tune");
  Outcome r = run({"convert", "-o", path("out/new"), first, second});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, second + " : 出力ファイル " + path("out/new/tune.trm") + " は " + first +
                       " の出力と重なるので変換しません\n");
  ASSERT_EQ(run({"convert", "-q", first}).status, 0);
  EXPECT_EQ(dir.read("out/new/tune.trm"), dir.read("x/tune.trm"));
  EXPECT_FALSE(dir.exists("y/tune.trm"));
}

TEST_F(CommandLineTest, JobsGiveTheSameImagesAndMessagesInInputOrder) {
  std::vector<std::string> args{"convert", "--strict-high"};
  for (const char* name : {"a", "b", "c", "d", "e"}) {
    args.push_back(smallSong().title(name).write(dir.path(), name));
    args.push_back(path(std::string(name) + "-missing.kv"));
  }
  std::vector<Outcome> runs;
  std::vector<Bytes> images;
  for (const char* jobs : {"1", "3"}) {
    std::vector<std::string> withJobs = args;
    withJobs.insert(withJobs.begin() + 1, {"-j", jobs});
    runs.push_back(run(withJobs));
    for (const char* name : {"a", "b", "c", "d", "e"}) images.push_back(dir.read(std::string(name) + ".trm"));
  }
  EXPECT_EQ(runs[0].status, 1);
  EXPECT_EQ(runs[0].out, runs[1].out);
  EXPECT_EQ(runs[0].err, runs[1].err);
  EXPECT_LT(runs[0].err.find("a-missing"), runs[0].err.find("e-missing"));
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(images[i], images[i + 5]) << i;
}

TEST_F(CommandLineTest, WriteFailuresNameTheImageAndTheCause) {
  std::string song = smallSong().write(dir.path(), "song");
  std::filesystem::create_directory(path("song.trm"));
  Outcome folder = run({"convert", song});
  EXPECT_EQ(folder.err, path("song.trm") + " : ファイルを作成できませんでした (同じ名前のフォルダがあります)\n");

#ifdef _WIN32
  GTEST_SKIP() << "Windows limits the whole path (260 characters), not the name";
#endif
  // 251 bytes of base name make a 255-byte image name, the most a name may
  // have; one more is too long.
  std::string longest = smallSong().write(dir.path(), std::string(251, 'n'));
  EXPECT_EQ(run({"convert", "-q", longest}).status, 0);
  std::string tooLong = smallSong().write(dir.path(), std::string(252, 'n'));
  Outcome named = run({"convert", tooLong});
  EXPECT_TRUE(contains(named.err, ".trm : ファイルを作成できませんでした (名前が長すぎます)\n")) << named.err;
}

// A file system mounted for one test (as root only), unmounted afterwards.
class MountedFolder {
 public:
  explicit MountedFolder(const std::string& mountCommand) : ok_(std::system(mountCommand.c_str()) == 0) {}
  ~MountedFolder() {
    if (ok_) std::system(("umount " + target_).c_str());
  }
  bool ok() const { return ok_; }
  void target(const std::string& path) { target_ = path; }

 private:
  bool ok_;
  std::string target_;
};

TEST_F(CommandLineTest, WriteFailuresOnReadOnlyAndFullFileSystems) {
  std::string song = smallSong().write(dir.path(), "song");
  std::filesystem::create_directories(path("ro"));
  std::filesystem::create_directories(path("full"));
  MountedFolder readOnly("mount --bind " + path("ro") + " " + path("ro") + " 2>/dev/null && mount -o remount,ro,bind " +
                         path("ro") + " 2>/dev/null");
  readOnly.target(path("ro"));
  MountedFolder full("mount -t tmpfs -o size=16k tmpfs " + path("full") + " 2>/dev/null");
  full.target(path("full"));
  if (!readOnly.ok() || !full.ok()) GTEST_SKIP() << "mounting needs root";
  Outcome ro = run({"convert", "-o", path("ro"), song});
  EXPECT_EQ(ro.err, path("ro/song.trm") + " : ファイルを作成できませんでした (読み取り専用のファイルシステムです)\n");
  Outcome disk = run({"convert", "-o", path("full"), song});
  EXPECT_EQ(disk.err, path("full/song.trm") + " : ファイルを作成できませんでした (ディスクの空きが足りません)\n");
  EXPECT_TRUE(std::filesystem::is_empty(path("full"))) << "no partial file is left";
}

TEST_F(CommandLineTest, ShortAndImpossibleFilesAreNoKvSongs) {
  std::string empty = dir.write("empty.kv", {});
  std::string text = dir.write("text.kv", Bytes(100, 'x'));
  Bytes nine = smallSong().musicBytes();
  nine[0] = 0x49;  // version 4, 9 PCM channels
  std::string tooMany = dir.write("nine.kv", nine);
  Outcome r = run({"convert", "-q", empty, text, tooMany});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, empty + " : KV ファイルではありません (空のファイルです)\n" + text +
                       " : KV ファイルではありません (ブロック表が 4096 バイトを超えます (370560 バイト))\n" + tooMany +
                       " : KV ファイルではありません (PCM チャンネル数が多すぎます (9))\n");
  Outcome info = run({"info", empty});
  EXPECT_EQ(info.err, empty + " : KV ファイルではありません (空のファイルです)\n");
}

TEST_F(CommandLineTest, ArgumentErrorsAreNamedAndReportedTogether) {
  std::string song = smallSong().write(dir.path(), "song");
  Outcome r = run({"convert", "--loops", "x", "--fm-reduction", "-1", "-j", "0", "--frobnicate", song});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "--loops x : 整数ではありません\n"
                   "--fm-reduction -1 : FM音源 補整音量が範囲外です ( 0-15 )\n"
                   "--jobs 0 : 並列数が範囲外です ( 1-64 )\n"
                   "--frobnicate : そのようなオプションはありません\n");
  EXPECT_FALSE(dir.exists("song.trm"));

  Outcome unknown = run({"konvert", song});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err, "konvert : そのようなコマンドはありません (convert, info, dump のどれか)\n");
  Outcome version = run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(contains(version.out, "kvtram ")) << version.out;
  Outcome help = run({"convert", "--help"});
  EXPECT_TRUE(contains(help.out, "--strict-mid,--no-strict-mid\n")) << help.out;
  EXPECT_TRUE(contains(help.out, "Exit status")) << help.out;
}

TEST_F(CommandLineTest, InfoDescribesTheSongAndWhatItPlays) {
  std::string song = smallSong().write(dir.path(), "song");
  Outcome r = run({"info", song});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  // The loop plays frames 1-3 again in frames 4-6; the jump in frame 7 ends the song.
  // (The size report of the image follows; see ReportsTheSizeOfTheImageWritten.)
  EXPECT_EQ(r.out.substr(0, r.out.find("  image ")), song + "\n"
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

TEST_F(CommandLineTest, ReportsTheSizeOfTheImageWritten) {
  std::string song = smallSong().write(dir.path(), "song");
  for (std::vector<std::string> options : {std::vector<std::string>{}, {"--strict-high", "--high-quality", "--scc-i"}}) {
    std::vector<std::string> info{"info"}, convert{"convert", "-v"};
    info.insert(info.end(), options.begin(), options.end());
    convert.insert(convert.end(), options.begin(), options.end());
    info.push_back(song);
    convert.push_back(song);
    Outcome measured = run(info);
    Outcome written = run(convert);
    ASSERT_EQ(written.status, 0) << written.err;
    const std::size_t size = dir.read("song.trm").size();
    const std::string report = measured.out.substr(measured.out.find("  image "));
    EXPECT_EQ(report.rfind("  image           " + std::to_string(size) + " bytes in 2 banks", 0), 0u) << report;
    EXPECT_TRUE(contains(written.out, song + "\n" + report)) << written.out;
    // The parts add up to the banked bytes, and the free space is the rest.
    long parts = 0;
    for (const char* name : {"samples", "PSG stream", "FM stream", "PCM channel 1 stream", "PCM channel 2 stream"}) {
      std::size_t at = report.find(std::string("    ") + name);
      ASSERT_NE(at, std::string::npos) << name;
      parts += std::stol(report.substr(report.find_first_of("0123456789", at + 4 + std::string(name).size())));
    }
    EXPECT_EQ(576 + 0x4000 + parts, static_cast<long>(size));
    EXPECT_TRUE(contains(report, "free                    " + std::to_string(256 * 16384 + 576 - size) +
                                     " bytes of 256 banks\n")) << report;
  }
  EXPECT_TRUE(contains(run({"info", song}).out, "sample 0 variant 1    927 bytes (727 samples, spectral resampler)"));
  EXPECT_TRUE(contains(run({"info", "--no-strict-mid", song}).out, "727 samples, linear resampler"));
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
    EXPECT_EQ(bad.err, std::string("--loops ") + loops + " : ループ数 が範囲外です ( 1-15 )\n");
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

// info and dump take paths as convert does, and all three count PCM
// channels from 1.
TEST_F(CommandLineTest, InfoAndDumpTakeWhatConvertTakes) {
  std::filesystem::create_directories(path("songs/sub"));
  smallSong().write(path("songs"), "a");
  smallSong().write(path("songs/sub"), "b");
  ASSERT_EQ(run({"convert", "-q", "-r", path("songs")}).status, 0);
  const std::string text = dir.write("notes.txt", {'h', 'i'});
  const struct {
    std::vector<std::string> args;
    int status;
    std::vector<std::string> out, err;  // parts of each
    std::string notInOut;
  } cases[] = {
      {{"info", path("songs")}, 0, {path("songs/a.kv") + "\n", "  PCM channel 2 stream"}, {}, "b.kv"},
      {{"info", "-r", path("songs")}, 0, {path("songs/a.kv") + "\n", path("songs/sub/b.kv") + "\n"}, {}, ""},
      {{"info", path("nothing/")}, 1, {}, {path("nothing/") + " : ファイルが見つかりません\n"}, ""},
      {{"info", path("songs/a.trm"), text},
       1,
       {},
       {path("songs/a.trm") + " : KV ファイルではありません (TRAM イメージです。kvtram dump で読めます)\n",
        text + " : KV ファイルではありません (拡張子が .kv ではありません)\n"},
       ""},
      {{"dump", path("songs/a.trm"), path("songs/sub/b.trm")},
       0,
       {path("songs/a.trm") + " (", path("songs/sub/b.trm") + " (", "stream PCM channel 1 at ", "(PCM channel 2)"},
       {},
       "PCM channel 0"},
      {{"dump", path("songs/a.trm"), text}, 1, {path("songs/a.trm") + " ("}, {text + " : "}, ""},
  };
  for (const auto& c : cases) {
    Outcome r = run(c.args);
    SCOPED_TRACE(c.args[0] + " " + c.args[1] + "\n" + r.err);
    EXPECT_EQ(r.status, c.status);
    for (const std::string& part : c.out) EXPECT_TRUE(contains(r.out, part)) << part;
    for (const std::string& part : c.err) EXPECT_TRUE(contains(r.err, part)) << part;
    if (!c.notInOut.empty()) {
      EXPECT_FALSE(contains(r.out, c.notInOut));
    }
  }
}

TEST_F(CommandLineTest, DumpListsAStreamThatSeveralSlotsShareOnce) {
  // Nine slots point at one stream of 20,000 one-byte commands over two banks.
  Bytes bytes = sharedStreamImage(20000, 9);
  std::string file = dir.write("shared.trm", bytes);
  Outcome r = run({"dump", file});
  ASSERT_EQ(r.status, 0) << r.err;
  auto count = [&r](const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = r.out.find(part); at != std::string::npos; at = r.out.find(part, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("change (next note"), 20000u);
  EXPECT_EQ(count("from here on the same commands as PCM channel 1 (listed there)\n"), 8u);
  // Every channel ends as the shared stream does; so does the PSG stream.
  EXPECT_EQ(count(" after 1 frames, "), 10u);
  EXPECT_LT(r.out.size(), 100u * bytes.size());
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
