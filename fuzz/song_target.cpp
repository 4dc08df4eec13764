// Fuzz target: a song parsed and validated from bytes in memory (no disk), and
// its loop markers scanned. A song the parser accepts must keep every table
// within its capacity; a refusal says the file is no KV song.
#include <memory>

#include "fuzz/fuzz_support.h"
#include "image/sample_layout.h"
#include "input/kv_song.h"
#include "messages/messages.h"

using namespace kvtram;

namespace {

bool startsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

void checkAccepted(const KvSong& song) {
  fuzz::check(song.loopBase <= song.music.readable, "the stream starts past the zero tail");
  fuzz::check(song.pcmChannelCount <= kMaxPcmChannels, "PCM channels beyond the slot tables");
  fuzz::check(song.waveCount <= kMaxWaves, "waves beyond the wave set");
  for (int i = 0; i < song.macroCount; ++i) {
    const auto m = static_cast<std::size_t>(i);
    if (song.macroLength[m] == 0) continue;
    fuzz::check(song.macroOffset[m] >= 0 &&
                    static_cast<std::size_t>(song.macroOffset[m] + song.macroLength[m]) <= kMacroByteCapacity,
                "macro " + std::to_string(i) + " outside the macro bytes");
  }
  // Each sample's copy and its reserve (as many blocks again plus 8) lie in the store.
  for (int i = 0; i < song.sampleCount; ++i) {
    const SampleEntry& e = song.samples[static_cast<std::size_t>(i)];
    fuzz::check(e.storeSlot + 2 * e.blocks + 8 <= kStoreBlocks, "sample " + std::to_string(i) + " beyond the store");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto files = std::make_unique<SongFiles>();
  static const auto song = std::make_unique<KvSong>();
  static const auto banks = std::make_unique<SampleBankState>();
  static const std::string refusal = msg::notKvSong("").substr(0, msg::notKvSong("").size() - 1);

  const fuzz::SongInput in = fuzz::splitInput(data, size);
  fuzz::check(files->music.assign(in.music) && files->samples.assign(in.samples), "input beyond the buffers");
  const std::string reason = song->parse(files->music.bytes(), files->samples.bytes());
  if (!reason.empty()) {
    fuzz::check(startsWith(reason, refusal), "unexpected refusal: " + reason);
    return 0;
  }
  checkAccepted(*song);
  scanLoops(*song, *banks);
  return 0;
}
