// Fuzz target: `kvtram info` on a song and its sample file (options from the
// input's first bytes, as for the conversion target), one workspace reused.
#include <ostream>
#include <streambuf>

#include "app/workspace.h"
#include "cli/commands.h"
#include "fuzz/fuzz_support.h"

using namespace kvtram;

namespace {

struct NullBuffer : std::streambuf {
  int overflow(int c) override { return c; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static NullBuffer nothing;
  std::ostream out(&nothing);
  const fuzz::StagedSong song = fuzz::stageSong(data, size);
  static const auto workspace = fuzz::makeWorkspace();
  InfoArgs args;
  args.options = song.options;
  describeSong(*workspace, song.songPath, args, out);
  return 0;
}
