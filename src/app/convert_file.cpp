#include "app/convert_file.h"

#include "app/workspace.h"
#include "input/song_player.h"
#include "io/file_io.h"
#include "messages/messages.h"

namespace kvtram {

namespace {

// One conversion: the song's files read and parsed once, then the passes over
// it, each restarting the interpreter from the parsed song.
class Conversion {
 public:
  Conversion(Workspace& ws, const std::string& kvPath, const ConversionOptions& options)
      : ws_(ws), path_(kvPath), options_(options) {}

  std::string run(const std::string& imagePath);

 private:
  // Every pass starts from the parsed song, as a fresh load would leave it.
  void restart() {
    counter_ = 0;
    ws_.interpreter.restart();
  }
  // Why the song was stopped as malformed ("" when it was not).
  const std::string& playFailure() const { return ws_.interpreter.failure(); }
  std::string buildRegisterStream(int pointerOffset, bool fm, bool rhythmMode);

  Workspace& ws_;
  const std::string& path_;
  const ConversionOptions& options_;
  int counter_ = 0;
};

std::string Conversion::buildRegisterStream(int pointerOffset, bool fm, bool rhythmMode) {
  restart();
  OutputImage& image = ws_.image;
  image.putPointer(pointerOffset, image.address());
  ws_.framer.start();
  bool placed = true;
  playSong(
      ws_.interpreter, ws_.frame, counter_,
      [&](int, bool goesOn, const FrameOutput& out, int) {
        if (!placed) return;
        const std::uint8_t* bytes = fm ? out.fmCommands.data() : out.psgCommands.data();
        std::size_t length = fm ? out.fmCommandLength : out.psgCommandLength;
        placed = ws_.framer.frame(image, bytes, length, !goesOn);
      },
      [&](int frame, FrameOutput& out) {
        if (fm && frame == 1) out.fmCommandLength = fmInitBlock(rhythmMode, out.fmCommands.data());
      });
  if (!playFailure().empty()) return playFailure();
  if (!placed) return msg::kFrameTooLongForBank;
  return {};
}

std::string Conversion::run(const std::string& imagePath) {
  SongInterpreter& interpreter = ws_.interpreter;
  KvSong& song = ws_.song;
  OutputImage& image = ws_.image;
  interpreter.options = {options_.loopCount, options_.fmVolumeReduction, options_.psgVolumeReduction};

  if (std::string failure = loadSong(path_, ws_.files, song); !failure.empty()) return failure;
  restart();
  interpreter.setRhythmMode(false);

  if (std::string reason = scanLoops(song, ws_.samples); !reason.empty()) return reason;
  image.setUpHeader(song.title);

  // Which sample variants the notes need.
  surveySong(interpreter, ws_.frame, options_.highQuality, ws_.samples);
  if (!playFailure().empty()) return playFailure();

  const SpectralVariants spectralFor = {options_.strictMid, options_.strictMidHigh, options_.strictHigh};
  if (std::string reason = placeSamples(song, spectralFor, ws_.samples, ws_.spectral, image);
      !reason.empty()) {
    return reason;
  }
  if (image.overflowed()) return msg::kImageBeyondBanks;

  if (std::string failure = buildRegisterStream(kPsgStreamPointer, false, false); !failure.empty()) {
    return failure;
  }
  const bool rhythmAfterPsg = interpreter.rhythmMode();
  if (std::string failure = buildRegisterStream(kFmStreamPointer, true, rhythmAfterPsg);
      !failure.empty()) {
    return failure;
  }

  const int channels = song.pcmChannelCount;
  const std::array<int, 8> slots = channelSlots(channels, options_.useSccI);
  ws_.plan.clear();
  for (int c = 0; c < channels; ++c) {
    restart();
    ChannelPlanner planner(ws_.plan, c, options_.highQuality);
    playSong(interpreter, ws_.frame, counter_,
             [&](int, bool goesOn, const FrameOutput& out, int counter) {
               planner.frame(out, !goesOn, counter);
             });
    planner.finish();
    if (!playFailure().empty()) return playFailure();
  }

  bool internalError = false;
  for (int c = 0; c < channels; ++c) {
    restart();
    image.putPointer(slots[static_cast<std::size_t>(c)], image.address());
    ChannelEmitter emitter(ws_.plan, c, song.waveCount, options_.highQuality);
    ChannelEmitter::Result result = ChannelEmitter::Result::Ok;
    playSong(interpreter, ws_.frame, counter_,
             [&](int, bool goesOn, const FrameOutput& out, int counter) {
               if (result == ChannelEmitter::Result::Ok) result = emitter.frame(image, out, !goesOn, counter);
             });
    if (!playFailure().empty()) return playFailure();
    // An internal error ends this channel's stream where it stands; the other
    // channels are still built, and the image is not written.
    if (result == ChannelEmitter::Result::InternalError) internalError = true;
    if (result == ChannelEmitter::Result::FrameTooLongForBank) return msg::kFrameTooLongForBank;
  }
  if (internalError) return msg::kInternalError;
  if (image.overflowed()) return msg::kImageBeyondBanks;

  image.finish(song.waveSet.data(), song.waveCount, interpreter.rhythmMode());
  return writeWholeFile(imagePath, image.bytes());
}

}  // namespace

std::string convertFile(Workspace& workspace, const std::string& kvPath,
                        const std::string& imagePath, const ConversionOptions& options) {
  return Conversion(workspace, kvPath, options).run(imagePath);
}

}  // namespace kvtram
