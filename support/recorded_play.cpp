#include "support/recorded_play.h"

#include <memory>

#include "image/stream_framer.h"

namespace kvtram {

RecordedPlay recordPlay(SongInterpreter& interpreter, int maxFrames) {
  RecordedPlay play;
  auto out = std::make_unique<FrameOutput>();
  for (int i = 0; i < maxFrames; ++i) {
    out->clear();
    RecordedFrame frame;
    frame.result = interpreter.advanceFrames(1, play.frameCounter, *out);
    play.frameCounter += 1;
    frame.fm = fmBytes(*out);
    frame.psg = psgBytes(*out);
    frame.pcmBytes = out->pcmEventBytes;
    frame.pcm = out->pcm;
    frame.sccBytes = out->sccEventBytes;
    frame.scc = out->scc;
    play.frames.push_back(std::move(frame));
    if (play.frames.back().result == 0) break;
  }
  play.failure = interpreter.failure();
  return play;
}

RecordedPlay recordSong(const std::string& path, const PlaybackOptions& options, int maxFrames) {
  // One song's storage serves every call (as one serves every file of a
  // batch); each call has an interpreter of its own, so rhythm mode starts off.
  static const std::unique_ptr<SongFiles> files = std::make_unique<SongFiles>();
  static const std::unique_ptr<KvSong> song = std::make_unique<KvSong>();
  SongInterpreter interpreter(*song);
  interpreter.options = options;
  std::string loaded = loadSong(path, *files, *song);
  interpreter.restart();
  if (!loaded.empty()) {
    RecordedPlay play;
    play.failure = loaded;
    return play;
  }
  return recordPlay(interpreter, maxFrames);
}

std::vector<std::uint8_t> fmBytes(const FrameOutput& out) {
  std::vector<std::uint8_t> bytes(out.fmCommandLength * kFmWriteBytes);
  encodeFmWrites({out.fmCommands.data(), out.fmCommandLength}, bytes.data());
  return bytes;
}

std::vector<std::uint8_t> psgBytes(const FrameOutput& out) {
  std::vector<std::uint8_t> bytes(out.psgCommandLength * kPsgWriteBytes);
  encodePsgWrites({out.psgCommands.data(), out.psgCommandLength}, bytes.data());
  return bytes;
}

bool operator==(const RecordedFrame& a, const RecordedFrame& b) {
  if (a.fm != b.fm || a.psg != b.psg || a.result != b.result) return false;
  for (int ch = 0; ch < kNoteChannels; ++ch) {
    std::size_t c = static_cast<std::size_t>(ch);
    if (a.pcmBytes[c] != b.pcmBytes[c] || a.sccBytes[c] != b.sccBytes[c]) return false;
    // Event bytes only count where the frame wrote an event.
    if (a.pcmBytes[c] != 0 && a.pcm[c] != b.pcm[c]) return false;
    if (a.sccBytes[c] != 0 && a.scc[c] != b.scc[c]) return false;
  }
  return true;
}

}  // namespace kvtram
