// Fuzz target: every play of a conversion without the resampling. The song is
// parsed from memory, surveyed (the PCM channels' events logged), played for
// the PSG and the FM stream, and its channel streams are planned and emitted
// with no variant marked, so no sample is resampled. Every play from the
// song's start takes the same way: the three plays end in the same frame and
// the same way. A play fails only with one of the interpreter's refusals, and
// an image built without failure decodes.
#include <algorithm>
#include <array>
#include <memory>
#include <span>

#include "app/workspace.h"
#include "fuzz/fuzz_support.h"
#include "image/trm_decoder.h"
#include "input/song_player.h"
#include "messages/messages.h"

using namespace kvtram;

namespace {

bool knownPlayFailure(const std::string& failure) {
  static const std::array<std::string, 7> kKnown = {msg::kStreamPastEnd,
                                                     msg::queueOverflow(SongInterpreter::kQueueBytes),
                                                     msg::kNoSuchMacro,
                                                     msg::tooManyRowChannels(SongInterpreter::kRowChannels),
                                                     msg::kEndlessFrame,
                                                     msg::kEndlessSong,
                                                     msg::kFrameTooBig};
  return std::find(kKnown.begin(), kKnown.end(), failure) != kKnown.end();
}

// One register stream's play; returns its frames, or -1 when the stream does
// not fit its banks.
int registerStream(Workspace& ws, int pointerOffset, bool fm, bool rhythmMode) {
  int counter = 0;
  ws.interpreter.restart();
  ws.interpreter.skipNoteEvents();
  ws.image.putPointer(pointerOffset, ws.image.address());
  ws.framer.start();
  bool placed = true;
  const int frames = playSong(
      ws.interpreter, ws.frame, counter,
      [&](int frame, bool goesOn, const FrameOutput& out, int) {
        if (!placed) return;
        placed = fm ? ws.framer.fmFrame(ws.image, {out.fmCommands.data(), out.fmCommandLength}, !goesOn, frame == 1,
                                        rhythmMode)
                    : ws.framer.psgFrame(ws.image, {out.psgCommands.data(), out.psgCommandLength}, !goesOn);
      },
      [&](int frame, FrameOutput& out) {
        if (fm && frame == 1) out.fmRoom -= fmInitBlockRoom(rhythmMode);
      });
  return placed ? frames : -1;
}

// Whether a play after the survey (which did not fail) went on: false when
// it spent the budget; any other failure is a fault.
bool laterPlayHolds(const std::string& failure, const char* which) {
  if (failure.empty()) return true;
  fuzz::check(failure == msg::kEndlessSong, std::string("the ") + which + " play fails where the survey did not: " + failure);
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto ws = fuzz::makeWorkspace();
  static const auto decoded = std::make_unique<TrmImage>();
  const fuzz::SongInput in = fuzz::splitInput(data, size);
  if (!ws->files.music.assign(in.music) || !ws->files.samples.assign(in.samples)) return 0;
  if (!ws->song.parse(ws->files.music.bytes(), ws->files.samples.bytes()).empty()) return 0;

  SongInterpreter& interpreter = ws->interpreter;
  interpreter.options = {in.options.loopCount, in.options.fmVolumeReduction, in.options.psgVolumeReduction};
  interpreter.work.refill();
  interpreter.restart();
  interpreter.setRhythmMode(false);
  if (!scanLoops(ws->song, ws->samples).empty()) return 0;
  ws->image.setUpHeader(ws->song.title);
  ws->events.start(ws->song.pcmChannelCount);
  const SongSurvey survey = surveySong(interpreter, ws->frame, in.options.highQuality, ws->samples, &ws->events);
  if (const std::string& failure = interpreter.failure(); !failure.empty()) {
    fuzz::check(knownPlayFailure(failure), "unknown play failure: " + failure);
    return 0;
  }
  // No variant is resampled: the pointer table is written, the banks stay empty.
  for (auto& usage : ws->samples.variantUsage) usage = {false, false, false};
  if (!placeSamples(ws->song, {false, false, false}, ws->samples, ws->spectral, ws->image).empty()) return 0;

  // The plays share one work budget: a later one may find it spent, and
  // fail for no other reason.
  const int psgFrames = registerStream(*ws, kPsgStreamPointer, false, false);
  if (!laterPlayHolds(interpreter.failure(), "PSG")) return 0;
  const int fmFrames = registerStream(*ws, kFmStreamPointer, true, interpreter.rhythmMode());
  if (!laterPlayHolds(interpreter.failure(), "FM")) return 0;
  if (psgFrames < 0 || fmFrames < 0) return 0;
  fuzz::check(psgFrames == survey.frames && fmFrames == survey.frames,
              "plays of " + std::to_string(survey.frames) + ", " + std::to_string(psgFrames) + " and " +
                  std::to_string(fmFrames) + " frames");

  const int channels = ws->song.pcmChannelCount;
  const std::array<int, 8> slots = channelSlots(channels, in.options.useSccI);
  ws->plan.clear();
  for (int c = 0; c < channels; ++c) planChannel(ws->plan, c, ws->events.events(c), in.options.highQuality);
  for (int c = 0; c < channels; ++c) {
    ws->image.putPointer(slots[static_cast<std::size_t>(c)], ws->image.address());
    // The plan comes from the events alone, so the streams are the
    // conversion's own even though the variants are empty. An internal
    // error cuts the stream short, and the conversion writes no image then.
    if (emitChannel(ws->image, ws->plan, c, ws->events.events(c), ws->song.waveCount) !=
        ChannelStreamResult::Ok) {
      return 0;
    }
  }
  if (ws->image.overflowed()) return 0;
  ws->image.finish(ws->song.waveSet.data(), ws->song.waveCount, interpreter.rhythmMode());
  const std::string decodeFailure = decodeTrm(ws->image.bytes(), *decoded);
  fuzz::check(decodeFailure.empty(), "the decoder refuses a built image: " + decodeFailure);
  return 0;
}
