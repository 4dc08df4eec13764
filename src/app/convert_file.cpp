#include "app/convert_file.h"

#include "app/workspace.h"
#include "input/song_player.h"
#include "io/file_io.h"
#include "messages/messages.h"

namespace kvtram {

namespace {

// One conversion: the song's files read and parsed once, then the passes over
// it. The song is played three times, each from the parsed song: the usage
// pass (which also records the PCM channels' note events), the PSG stream and
// the FM stream.
class Conversion {
 public:
  Conversion(Workspace& ws, const std::string& kvPath, const ConversionOptions& options)
      : ws_(ws), path_(kvPath), options_(options) {}

  // Builds the image in the workspace; with `report`, measures it there too
  // and goes on past the 256 banks to know its whole size.
  std::string run(SizeReport* report);

 private:
  // Every pass starts from the parsed song, as a fresh load would leave it.
  void restart() {
    counter_ = 0;
    ws_.interpreter.restart();
  }
  // Why the song was stopped as malformed ("" when it was not).
  const std::string& playFailure() const { return ws_.interpreter.failure(); }
  std::string buildRegisterStream(int pointerOffset, bool fm, bool rhythmMode);
  // Notes in the report that the part from `start` to the image's address is done.
  void measured(SizeReport* report, ImagePart::Kind kind, int start, int channel = 0) const {
    if (report != nullptr) report->parts.push_back({kind, channel, start, ws_.image.address()});
  }

  Workspace& ws_;
  const std::string& path_;
  const ConversionOptions& options_;
  int counter_ = 0;
};

std::string Conversion::buildRegisterStream(int pointerOffset, bool fm, bool rhythmMode) {
  restart();
  // The note events of every frame are in the event log already.
  ws_.interpreter.skipNoteEvents();
  OutputImage& image = ws_.image;
  image.putPointer(pointerOffset, image.address());
  ws_.framer.start();
  bool placed = true;
  playSong(
      ws_.interpreter, ws_.frame, counter_,
      [&](int frame, bool goesOn, const FrameOutput& out, int) {
        if (!placed) return;
        if (fm) {
          placed = ws_.framer.fmFrame(image, {out.fmCommands.data(), out.fmCommandLength}, !goesOn, frame == 1,
                                      rhythmMode);
        } else {
          placed = ws_.framer.psgFrame(image, {out.psgCommands.data(), out.psgCommandLength}, !goesOn);
        }
      },
      [&](int frame, FrameOutput& out) {
        // The opening block takes its room in the first frame's bank space.
        if (fm && frame == 1) out.fmRoom -= fmInitBlockRoom(rhythmMode);
      });
  if (!playFailure().empty()) return playFailure();
  if (!placed) return msg::kFrameTooLongForBank;
  return {};
}

std::string Conversion::run(SizeReport* report) {
  SongInterpreter& interpreter = ws_.interpreter;
  KvSong& song = ws_.song;
  OutputImage& image = ws_.image;
  interpreter.options = playbackOptions(options_);
  // One budget for all the plays of this file, however many there are.
  interpreter.work.refill();

  if (std::string failure = loadSong(path_, ws_.files, song); !failure.empty()) return failure;
  restart();
  interpreter.setRhythmMode(false);

  if (std::string reason = scanLoops(song, ws_.samples); !reason.empty()) return reason;
  image.setUpHeader(song.title);

  // Which sample variants the notes need; the same play keeps the PCM
  // channels' note events for their passes.
  ws_.events.start(song.pcmChannelCount);
  surveySong(interpreter, ws_.frame, options_.highQuality, ws_.samples, &ws_.events);
  if (!playFailure().empty()) return playFailure();

  const SpectralVariants spectralFor = {options_.strictMid, options_.strictMidHigh, options_.strictHigh};
  if (report != nullptr) report->clear();
  const int samplesStart = image.address();
  if (std::string reason = placeSamples(song, spectralFor, ws_.samples, ws_.spectral, image,
                                        report != nullptr ? &report->variants : nullptr);
      !reason.empty()) {
    return reason;
  }
  if (image.overflowed() && report == nullptr) return msg::imageBeyondBanks(kMaxBanks);
  measured(report, ImagePart::Kind::Samples, samplesStart);

  const int psgStart = image.address();
  if (std::string failure = buildRegisterStream(kPsgStreamPointer, false, false); !failure.empty()) {
    return failure;
  }
  measured(report, ImagePart::Kind::PsgStream, psgStart);
  const bool rhythmAfterPsg = interpreter.rhythmMode();
  const int fmStart = image.address();
  if (std::string failure = buildRegisterStream(kFmStreamPointer, true, rhythmAfterPsg);
      !failure.empty()) {
    return failure;
  }
  measured(report, ImagePart::Kind::FmStream, fmStart);

  // The channel passes read the events the usage pass recorded: every play
  // from the song's start takes the same way through it and makes the same
  // note events, whatever rhythm mode it starts in, and would end without a
  // failure as the usage pass did.
  const int channels = song.pcmChannelCount;
  const std::array<int, 8> slots = channelSlots(channels, options_.useSccI);
  ws_.plan.clear();
  for (int c = 0; c < channels; ++c) planChannel(ws_.plan, c, ws_.events.events(c), options_.highQuality);

  bool internalError = false;
  for (int c = 0; c < channels; ++c) {
    const int channelStart = image.address();
    image.putPointer(slots[static_cast<std::size_t>(c)], image.address());
    ChannelStreamResult result = emitChannel(image, ws_.plan, c, ws_.events.events(c), song.waveCount);
    // An internal error ends this channel's stream where it stands; the other
    // channels are still built, and the image is not written.
    if (result == ChannelStreamResult::InternalError) internalError = true;
    if (result == ChannelStreamResult::FrameTooLongForBank) return msg::kFrameTooLongForBank;
    measured(report, ImagePart::Kind::PcmChannel, channelStart, c);
  }
  if (internalError) return msg::kInternalError;
  if (report != nullptr) report->end = image.address();
  if (image.overflowed()) return msg::imageBeyondBanks(kMaxBanks);

  image.finish(song.waveSet.data(), song.waveCount, interpreter.rhythmMode());
  return {};
}

}  // namespace

std::string buildImage(Workspace& workspace, const std::string& kvPath, const ConversionOptions& options,
                       SizeReport* report) {
  return Conversion(workspace, kvPath, options).run(report);
}

std::string writeImage(Workspace& workspace, const std::string& imagePath) {
  return writeWholeFile(imagePath, workspace.image.bytes());
}

std::string convertFile(Workspace& workspace, const std::string& kvPath,
                        const std::string& imagePath, const ConversionOptions& options) {
  if (std::string reason = buildImage(workspace, kvPath, options); !reason.empty()) return reason;
  return writeImage(workspace, imagePath);
}

}  // namespace kvtram
