#include "app/batch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "app/workspace.h"
#include "support/kv_song_builder.h"
#include "support/temp_dir.h"

namespace kvtram {
namespace {

class BatchTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::unique_ptr<Workspace> ws = std::make_unique<Workspace>();
  ConversionOptions options;
  std::string song(const std::string& name) {
    return KvSongBuilder().stream({0x47, 0x38, 0xFF, 0xFE}).write(dir.path(), name);
  }
};

TEST_F(BatchTest, OptionErrorsStopBeforeAnyFileInOrder) {
  std::string a = song("a");
  struct Case {
    int psg, fm, loops;
    const char* message;
  };
  const Case cases[] = {{16, 99, 0, "PSG 補整音量が範囲外です ( 0-15 )"},
                        {-1, 1, 2, "PSG 補整音量が範囲外です ( 0-15 )"},
                        {0, 16, 0, "FM音源 補整音量が範囲外です ( 0-15 )"},
                        {15, 15, 0, "ループ数 が範囲外です ( 1-15 )"},
                        {0, 0, 16, "ループ数 が範囲外です ( 1-15 )"}};
  for (const Case& c : cases) {
    options.psgVolumeReduction = c.psg;
    options.fmVolumeReduction = c.fm;
    options.loopCount = c.loops;
    BatchOutcome outcome = runBatch(*ws, {a, a, a}, options);
    EXPECT_TRUE(outcome.stoppedByOptions);
    EXPECT_EQ(outcome.message, c.message);
    EXPECT_FALSE(dir.exists("a.trm"));
  }
  // An empty list checks nothing.
  BatchOutcome empty = runBatch(*ws, {}, options);
  EXPECT_FALSE(empty.stoppedByOptions);
  EXPECT_EQ(empty.message, "終了しました");
}

TEST_F(BatchTest, EveryFailedFileIsReportedAndLaterFilesStillConvert) {
  std::string missing = dir.path() + "/missing.kv";
  std::string b = song("b");
  BatchOutcome outcome = runBatch(*ws, {missing, b}, options);
  EXPECT_EQ(outcome.message, missing + " : ファイルが見つかりません");
  EXPECT_TRUE(dir.exists("b.trm"));

  std::string c = song("c");
  std::string gone = dir.path() + "/gone.kv";
  outcome = runBatch(*ws, {c, gone, missing}, options);
  EXPECT_EQ(outcome.message, gone + " : ファイルが見つかりません\n" + missing + " : ファイルが見つかりません");
  EXPECT_EQ(outcome.written, std::vector<std::string>{dir.path() + "/c.trm"});
}

TEST_F(BatchTest, NameRuleSkipsOthersAndKeepsTheGivenPath) {
  // A file whose name really ends in ".KV": read from that path as given.
  writeBytes(dir.path() + "/Tune.KV", KvSongBuilder().stream({0xFE}).musicBytes());
  writeBytes(dir.path() + "/notes.txt", {1, 2, 3});
  BatchOutcome outcome = runBatch(*ws, {dir.path() + "/notes.txt", dir.path() + "/Tune.KV", "kv"}, options);
  EXPECT_EQ(outcome.message, "終了しました");
  EXPECT_EQ(outcome.skipped, (std::vector<std::string>{dir.path() + "/notes.txt", "kv"}));
  EXPECT_TRUE(dir.exists("Tune.trm"));
  EXPECT_FALSE(dir.exists("notes.trm"));
}

TEST_F(BatchTest, FailureTextsBeginWithThePath) {
  // A folder that cannot be opened as a file: the reader's text has no path,
  // so the batch puts the path in front of it.
  std::string folder = dir.path() + "/folder.kv";
  std::filesystem::create_directory(folder);
  BatchOutcome outcome = runBatch(*ws, {folder}, options);
  EXPECT_EQ(outcome.message, folder + " : ファイルをオープンできません");
}

TEST(SplitThreads, BusyThreadsNeverExceedTheJobs) {
  struct Case {
    int jobs;
    std::size_t songs, workers, helpers;
  };
  const Case cases[] = {{1, 10, 1, 0}, {2, 1, 1, 1}, {2, 10, 2, 0}, {4, 2, 2, 1},
                        {3, 2, 2, 0}, {8, 0, 1, 7}, {0, 5, 1, 0},  {64, 100, 64, 0}};
  for (const Case& c : cases) {
    ThreadSplit split = splitThreads(c.jobs, c.songs);
    EXPECT_EQ(split.workers, c.workers) << c.jobs << " " << c.songs;
    EXPECT_EQ(split.spectralHelpers, c.helpers) << c.jobs << " " << c.songs;
  }
}

TEST(DialogInteger, ParsesLikeTheDialog) {
  struct Case {
    const char* text;
    int value;
  };
  const Case cases[] = {{"1", 1}, {"  7x", 7}, {"abc", 0}, {"", 0}, {"-3", -3}, {"+12", 12},
                        {"\t 15 ", 15}, {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1}};
  for (const Case& c : cases) EXPECT_EQ(parseDialogInteger(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace kvtram
