#include "support/example_songs.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "app/convert_file.h"
#include "app/workspace.h"
#include "image/trm_decoder.h"
#include "support/temp_dir.h"

namespace kvtram {
namespace {

Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ExampleSongs, TheCheckedInFilesAreWhatTheGeneratorWrites) {
  TempDir dir;
  std::vector<std::string> written;
  ASSERT_EQ(writeExampleSongs(dir.path(), &written), "");
  ASSERT_EQ(written.size(), 3u);
  for (const std::string& path : written) {
    std::string name = path.substr(path.rfind('/') + 1);
    Bytes checkedIn = readFile(std::string(KVTRAM_SOURCE_DIR) + "/examples/" + name);
    ASSERT_FALSE(checkedIn.empty()) << "examples/" << name << " is missing";
    EXPECT_EQ(readFile(path), checkedIn) << "examples/" << name << " differs: run kvtram-make-examples examples";
  }
}

// Both examples convert under the default options and under the opposite
// switches, and their images read back whole.
TEST(ExampleSongs, ConvertToWellFormedImages) {
  TempDir dir;
  ASSERT_EQ(writeExampleSongs(dir.path()), "");
  auto ws = std::make_unique<Workspace>();
  ConversionOptions other;
  other.useSccI = other.highQuality = other.strictHigh = true;
  other.strictMid = other.strictMidHigh = false;
  for (const ConversionOptions& options : {ConversionOptions{}, other}) {
    for (const ExampleSong& example : exampleSongs()) {
      SCOPED_TRACE(example.name);
      std::string image = dir.path() + "/" + example.name + ".trm";
      ASSERT_EQ(convertFile(*ws, dir.path() + "/" + example.name + ".kv", image, options), "");
      auto decoded = std::make_unique<TrmImage>();
      ASSERT_EQ(decodeTrm(readFile(image), *decoded), "");
      EXPECT_EQ(decoded->channels.size(), 2u);
      bool tones = false, notes = false;
      for (const TrmStream& s : decoded->channels) {
        for (const TrmCommand& c : s.commands) {
          tones = tones || c.kind == TrmCommandKind::SccNote;
          notes = notes || c.kind == TrmCommandKind::Note;
        }
      }
      EXPECT_TRUE(tones);
      if (example.name == "pcm") {
        EXPECT_TRUE(notes);
        EXPECT_EQ(decoded->waveCount, 2);
        EXPECT_EQ(decoded->samples.size(), 3u);
      } else {
        EXPECT_FALSE(notes);
        EXPECT_TRUE(decoded->samples.empty());
        EXPECT_GT(decoded->psg.endTime, 255) << "the long rest";
      }
    }
  }
}

}  // namespace
}  // namespace kvtram
