// Inputs built to cost or reach too much: a FIFO where a file should be, and
// songs that make every play of a conversion read as much as it may. Each is
// refused without blocking the batch, while a long well-formed song converts.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include <sys/stat.h>

#include "app/batch.h"
#include "app/workspace.h"
#include "image/trm_decoder.h"
#include "support/hostile_inputs.h"
#include "support/temp_dir.h"

namespace kvtram {
namespace {

class HostileInputTest : public ::testing::Test {
 protected:
  std::string plainSong(const std::string& name) {
    return KvSongBuilder().version(1).sampleFileName("S").sample(Bytes(256, 128)).stream({0xA0, 15, 0, 0x40, 0xFF, 0xFE})
        .write(dir.path(), name);
  }
#ifndef _WIN32
  void makeFifo(const std::string& name) { ASSERT_EQ(::mkfifo((dir.path() + "/" + name).c_str(), 0600), 0); }
#else
  void makeFifo(const std::string&) {}
#endif

  TempDir dir;
  std::unique_ptr<Workspace> ws = std::make_unique<Workspace>();
  ConversionOptions options;
};

TEST_F(HostileInputTest, FifosAreRefusedWithoutBlockingTheBatch) {
#ifdef _WIN32
  GTEST_SKIP() << "no FIFOs on Windows (devices are refused by FileIo.DevicesAreNeitherReadNorReplaced)";
#elif defined(__EMSCRIPTEN__)
  GTEST_SKIP() << "node shows the WebAssembly build no FIFOs: its file layer opens them as it opens files";
#endif
  // A song whose sample file is a FIFO, a FIFO named as a song, then a song
  // that converts: no open may wait for a writer that never comes.
  std::string fifoSamples = plainSong("a");
  std::filesystem::remove(dir.path() + "/S.kvp");
  makeFifo("S.kvp");
  makeFifo("b.kv");
  std::string fifoSong = dir.path() + "/b.kv";
  TempDir other;
  std::string good = KvSongBuilder().stream({0x47, 0x38, 0xFF, 0xFE}).write(other.path(), "c");

  BatchOutcome outcome = runBatch(*ws, {fifoSamples, fifoSong, good}, options);
  EXPECT_EQ(outcome.failures, (std::vector<std::string>{fifoSamples + " : " + dir.path() + "/S.kvp : ファイルをオープンできません",
                                                         fifoSong + " : ファイルをオープンできません"}));
  EXPECT_EQ(outcome.written, std::vector<std::string>{other.path() + "/c.trm"});
}

TEST_F(HostileInputTest, WorkOfAllPlaysTogetherIsBounded) {
  // Each play of these songs stays under what one play may read, but the
  // conversion plays them 3 + 2 x 8 times.
  const Bytes fillers[] = {ignoredBytesFiller(), sccNotesFiller()};
  for (const Bytes& filler : fillers) {
    std::string path = queueFloodSong(filler).write(dir.path(), "flood");
    BatchOutcome outcome = runBatch(*ws, {path}, options);
    EXPECT_EQ(outcome.message, path + " : 演奏データの処理量が上限を超えました");
    EXPECT_FALSE(dir.exists("flood.trm"));
  }
}

TEST_F(HostileInputTest, LongDenseSongStillConverts) {
  std::string path = longDenseSong(36000).write(dir.path(), "long");
  BatchOutcome outcome = runBatch(*ws, {path}, options);
  ASSERT_EQ(outcome.message, "終了しました");
  Bytes written = dir.read("long.trm");
  auto image = std::make_unique<TrmImage>();
  ASSERT_EQ(decodeTrm(written, *image), "");
  // Every one of the 36,000 frames before the last writes PSG registers.
  EXPECT_EQ(image->psg.endTime, 36001);
  EXPECT_EQ(image->channels.size(), 8u);
}

}  // namespace
}  // namespace kvtram
