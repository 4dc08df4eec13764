// The command line's arguments as people type them, and its own messages for
// every mistake in them.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/commands.h"
#include "run_command_line.h"
#include "support/kv_song_builder.h"
#include "support/temp_dir.h"

namespace kvtram {
namespace {

std::string song(const TempDir& dir, const std::string& name) {
  return KvSongBuilder().stream({0x47, 0x38, 0xFF, 0xFE}).write(dir.path(), name);
}

TEST(ArgumentsTest, DoubleDashEndsTheOptions) {
  TempDir dir;
  song(dir, "-x");
  // A name that begins with '-' is typed as it stands, in its folder.
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  Outcome r = run({"convert", "-q", "--", "-x.kv"});
  Outcome missing = run({"convert", "-q", "--", "--loops.kv"});
  std::filesystem::current_path(before);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(dir.exists("-x.trm"));
  EXPECT_EQ(missing.err, "--loops.kv : ファイルが見つかりません\n");
}

TEST(ArgumentsTest, ASlashBeginsAPathNeverAnOption) {
  for (const char* path : {"/songs/a.kv", "//server/share/a.kv", "/h", "/?"}) {
    std::vector<std::string> files;
    CommandSpec command = infoCommand();
    command.arguments = &files;
    bool help = false;
    EXPECT_TRUE(parseCommandArguments(command, {path}, help).empty()) << path;
    EXPECT_FALSE(help);
    EXPECT_EQ(files, std::vector<std::string>{path});
  }
  TempDir dir;
  Outcome r = run({"convert", "-q", song(dir, "a"), dir.path() + "/b.kv"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, dir.path() + "/b.kv : ファイルが見つかりません\n");
  EXPECT_TRUE(dir.exists("a.trm"));
}

TEST(ArgumentsTest, QuietWinsOverVerbose) {
  TempDir dir;
  std::string path = song(dir, "a");
  for (std::vector<std::string> args : {std::vector<std::string>{"convert", "-q", "-v", path},
                                        {"convert", "-vq", path}, {"convert", "--verbose", "--quiet", path}}) {
    Outcome r = run(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
  }
  EXPECT_NE(run({"convert", "-v", path}).out.find("  image "), std::string::npos);
}

TEST(ArgumentsTest, ShortOptionsTakeTheirValueAttachedOrNext) {
  TempDir dir;
  std::string path = song(dir, "a");
  EXPECT_EQ(run({"convert", "-qj2", "-o" + dir.path() + "/out", path}).status, 0);
  EXPECT_TRUE(dir.exists("out/a.trm"));
  EXPECT_EQ(run({"convert", "-q", "--jobs=3", "--loops=1", path}).status, 0);
}

// Each mistake is the tool's own message naming the option, listed in the
// order of the command line, and nothing is converted.
TEST(ArgumentsTest, MistakesAreNamedInCommandLineOrder) {
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"convert"}, "convert : FILE が指定されていません\n"},
      {{"convert", "--loops"}, "--loops : 値がありません\nconvert : FILE が指定されていません\n"},
      {{"convert", "-o", "", "a.kv"}, "--output-dir : 空の値は指定できません\n"},
      {{"convert", "-o", "x", "--output-dir", "y", "a.kv"}, "--output-dir : 2 回以上指定されています\n"},
      {{"convert", "--loops", "3", "--loops", "4", "a.kv"}, "--loops : 2 回以上指定されています\n"},
      {{"convert", "--scc-i=1", "-z", "--jobs", "65", "a.kv"},
       "--scc-i=1 : 値は指定できません\n-z : そのようなオプションはありません\n--jobs 65 : 並列数が範囲外です ( 1-64 )\n"},
      {{"convert", "--loops", "16", "--psg-reduction", "x", "a.kv"},
       "--loops 16 : ループ数 が範囲外です ( 1-15 )\n--psg-reduction x : 整数ではありません\n"},
      {{"dump", "--waves", "abc", "a.trm"}, "--waves abc : 整数ではありません\n"},
      {{"dump", "--waves", "513", "a.trm"}, "--waves 513 : 波形数が範囲外です ( 0-512 )\n"},
      {{"info", "--waves", "3", "a.kv"}, "--waves : そのようなオプションはありません\n"},
      {{"--bogus", "convert", "a.kv"}, "--bogus : そのようなオプションはありません\n"},
      {{"konvert", "a.kv"}, "konvert : そのようなコマンドはありません (convert, info, dump のどれか)\n"},
      {{"help", "konvert"}, "konvert : そのようなコマンドはありません (convert, info, dump のどれか)\n"},
  };
  for (const auto& c : cases) {
    Outcome r = run(c.args);
    EXPECT_EQ(r.status, 2) << c.args[0];
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
}

TEST(ArgumentsTest, NoCommandShowsTheCommandsAndHelpShowsACommandsHelp) {
  Outcome bare = run({});
  EXPECT_EQ(bare.status, 2);
  EXPECT_EQ(bare.out, "");
  EXPECT_EQ(bare.err.rfind("Usage: kvtram COMMAND [OPTIONS] FILE...\nCommands:\n  convert ", 0), 0u) << bare.err;

  EXPECT_EQ(run({"help"}).out, run({"--help"}).out);
  for (const char* command : {"convert", "info", "dump"}) {
    Outcome help = run({"help", command});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, run({command, "--help"}).out);
    EXPECT_EQ(help.out, run({command, "--loops", "99", "-h"}).out) << "help wins over mistakes";
  }
}

// The help reads as it always has (the texts moved into the catalog).
TEST(ArgumentsTest, HelpIsLaidOutAsBefore) {
  EXPECT_EQ(run({"dump", "--help"}).out,
            "Disassemble TRAM images\n"
            "Usage: kvtram dump [OPTIONS] FILE...\n"
            "\n"
            "Positionals:\n"
            "  FILE TEXT ... REQUIRED      TRAM images (.trm)\n"
            "\n"
            "Options:\n"
            "  -h,--help                   Print this help message and exit\n"
            "  --help-all                  Show the help of every command\n"
            "  --waves N:INT in [0 - 512]  Number of wavetables at the start of bank 0 (default: found from the "
            "sample pointer table)\n"
            "\n"
            "Prints for each image its path, the header, bank 0 (wavetables, sample pointer table) and\n"
            "every stream command by command. The time column is the frames the player has waited when it\n"
            "reaches the command.\n"
            "Exit status: 0 every image well-formed, 1 a file that is no (complete) image, 2 bad arguments.\n");
  const std::string convert = run({"convert", "--help"}).out;
  for (const char* line : {"Usage: kvtram convert [OPTIONS] FILE...\n",
                           "  FILE TEXT ... REQUIRED      KV music files or folders of them\n",
                           "  --loops N                   Times the song's loop is played, 1-15 (default 2)\n",
                           "  --strict-mid,--no-strict-mid\n                              Make the mid variant",
                           "  -j,--jobs N                 Threads to convert with, files side by side, 1-64; the "
                           "images are the same for every N (default the number of processors)\n",
                           "  -q,--quiet                  Print nothing but failures (wins over -v)\n"}) {
    EXPECT_NE(convert.find(line), std::string::npos) << line;
  }
  const std::string all = run({"--help-all"}).out;
  EXPECT_NE(all.find("\nSubcommands:\nconvert\n  Convert each KV file"), std::string::npos) << all;
  EXPECT_NE(all.find("\n  Options:\n    --psg-reduction N           Amount"), std::string::npos) << all;
}

TEST(ArgumentsTest, EnglishMessagesNameTheOptionToo) {
  msg::setLanguage(msg::Language::English);
  Outcome r = run({"convert", "--loops", "16", "-o", "", "--frobnicate"});
  Outcome bare = run({});
  msg::setLanguage(msg::Language::Japanese);
  EXPECT_EQ(r.err,
            "--loops 16 : loop count is out of range (1-15)\n--output-dir : must not be empty\n"
            "--frobnicate : no such option\nconvert : no FILE given\n");
  EXPECT_EQ(bare.status, 2);
}

}  // namespace
}  // namespace kvtram
