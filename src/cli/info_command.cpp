// `kvtram info`: what a KV file holds and what its song plays. The song is
// loaded and played exactly as a conversion's sample usage pass plays it, so
// the figures are those the conversion works from.
#include <cstdio>
#include <algorithm>
#include <memory>
#include <ostream>

#include "app/batch.h"
#include "app/convert_file.h"
#include "app/options.h"
#include "app/printable.h"
#include "app/size_report.h"
#include "app/song_folders.h"
#include "app/workspace.h"
#include "cli/commands.h"
#include "image/image_format.h"
#include "input/shift_jis.h"
#include "input/song_player.h"
#include "io/file_io.h"
#include "messages/hex_text.h"
#include "messages/messages.h"

namespace kvtram {

namespace {

// Whether the file's bytes begin as a TRAM image's header does.
bool looksLikeTramImage(const FileBuffer& file) {
  return file.length() >= static_cast<std::size_t>(kMagicOffset) + kMagic.size() &&
         std::equal(kMagic.begin(), kMagic.end(), file.data() + kMagicOffset);
}

}  // namespace

std::string describeSong(Workspace& ws, const std::string& path, const InfoArgs& args, std::ostream& out) {
  // A file that is no song is said to be none, rather than played until the
  // interpreter stumbles; an image is pointed to the command that reads it.
  if (ws.files.music.read(path).empty() && looksLikeTramImage(ws.files.music)) {
    return msg::notKvSong(msg::kTramImageForDump);
  }
  if (!hasKvExtension(path)) return msg::notKvSong(msg::kNoKvExtension);
  SongInterpreter& interpreter = ws.interpreter;
  KvSong& song = ws.song;
  interpreter.options.loopCount = args.options.loopCount;
  interpreter.work.refill();
  if (std::string failure = loadSong(path, ws.files, song); !failure.empty()) return failure;
  interpreter.restart();
  interpreter.setRhythmMode(false);
  if (std::string reason = scanLoops(song, ws.samples); !reason.empty()) return reason;

  // The conversion's own survey of the song.
  const SongSurvey figures = surveySong(interpreter, ws.frame, args.options.highQuality, ws.samples);
  if (!interpreter.failure().empty()) return interpreter.failure();

  using msg::Id;
  auto number = [](long long n) { return std::to_string(n); };
  auto counted = [&number](long long n, Id one, Id many) { return msg::fill(n == 1 ? one : many, {number(n)}); };
  out << printable(path) << "\n";
  out << msg::fill(Id::InfoTitle, {shiftJisToUtf8(song.title)}) << "\n";
  out << msg::fill(Id::InfoFormatVersion, {number(song.formatVersion)}) << "\n";
  out << msg::fill(Id::InfoPcmChannels,
                   {number(song.pcmChannelCount), hex::number(song.pcmChannelMask & 0xFF, 2), hex::number(song.mixChannelMask & 0xFF, 2)})
      << "\n";
  out << msg::fill(Id::InfoSamples, {number(song.sampleCount)});
  if (song.sampleCount > 0) out << msg::fill(Id::InfoSampleFile, {printable(song.sampleShown)});
  out << "\n";
  for (int s = 0; s < song.sampleCount; ++s) {
    const SampleEntry& entry = song.samples[static_cast<std::size_t>(s)];
    out << "    " << s << ": " << counted(entry.blocks, Id::InfoOneBlock, Id::InfoBlocks);
    if (s == 0 && song.waveCount > 0) {
      out << msg::fill(Id::InfoWaveSet, {counted(song.waveCount, Id::InfoOneWave, Id::InfoWaves)});
    } else {
      int loop = ws.samples.loopBlocks[static_cast<std::size_t>(s)];
      if (loop < 0) out << msg::text(Id::InfoNoLoop);
      else out << msg::fill(Id::InfoLoop, {counted(loop, Id::InfoOneBlock, Id::InfoBlocks)});
    }
    out << "\n";
  }
  out << msg::fill(Id::InfoMacros, {number(song.macroCount)}) << "\n";
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.2f", figures.frames / 59.94);
  out << msg::fill(Id::InfoLength, {number(figures.frames), seconds, number(args.options.loopCount)}) << "\n";
  out << msg::fill(Id::InfoFmWrites, {number(figures.fmWrites)}) << "\n";
  out << msg::fill(Id::InfoPsgWrites, {number(figures.psgWrites)}) << "\n";
  out << msg::fill(Id::InfoWavetableNotes, {number(figures.sccEvents)}) << "\n";
  out << msg::fill(Id::InfoPcmNotes, {number(figures.pcmEvents)}) << "\n";
  out << msg::text(Id::InfoVariantsNeeded) << (args.options.highQuality ? msg::text(Id::InfoHighQuality) : "");
  bool any = false;
  for (int s = 0; s < kMaxSamples; ++s) {
    const auto& marks = ws.samples.variantUsage[static_cast<std::size_t>(s)];
    if (!marks[0] && !marks[1] && !marks[2]) continue;
    out << (any ? "; " : " ") << msg::fill(Id::InfoSampleVariants, {number(s)});
    for (int v = 0; v < 3; ++v) {
      if (marks[static_cast<std::size_t>(v)]) out << " " << v + 1;
    }
    if (s >= song.sampleCount) out << msg::text(Id::InfoNoSuchSample);
    any = true;
  }
  out << (any ? "" : msg::text(Id::InfoNone)) << "\n";

  // The image, measured by the conversion's own passes; a song too big for
  // the banks is what the report is for, not a failure here.
  SizeReport report;
  if (std::string reason = buildImage(ws, path, args.options, &report);
      !reason.empty() && reason != msg::imageBeyondBanks(kMaxBanks)) {
    return reason;
  }
  out << describeSize(report, "  ");
  return {};
}

int runInfo(const InfoArgs& args, std::ostream& out, std::ostream& err) {
  if (std::string optionError = validateOptions(args.options); !optionError.empty()) {
    err << optionError << "\n";
    return kExitBadArguments;
  }
  // Folders and the paths that name nothing as `convert` takes them.
  const FolderExpansion inputs = expandSongFolders(args.files, args.recursive);
  for (const std::string& folder : inputs.emptyFolders) {
    err << printable(msg::failureLine(folder, msg::kNoKvFileInFolder)) << "\n";
  }
  for (const std::string& line : inputs.failures) err << printable(line) << "\n";
  bool failed = !inputs.failures.empty();
  std::size_t described = 0;
  auto workspace = std::make_unique<Workspace>();
  for (const std::string& path : inputs.paths) {
    if (pathKind(path) == PathKind::Missing) {
      err << printable(msg::failureLine(path, msg::kFileNotFound)) << "\n";
      failed = true;
      continue;
    }
    std::string failure = describeSong(*workspace, path, args, out);
    // The same warning as a conversion's, whether the song went on or not.
    if (const KvSong& song = workspace->song; song.sampleBytesMissing > 0) {
      err << printable(msg::failureLine(song.sampleShown, msg::sampleFileShort(song.sampleBytesMissing))) << "\n";
    }
    if (!failure.empty()) {
      err << printable(msg::failureLine(path, failure)) << "\n";
      failed = true;
    } else {
      ++described;
    }
  }
  if (failed) return kExitFileFailed;
  return described == 0 ? kExitNothingConverted : kExitOk;
}

CommandSpec infoCommand() {
  using msg::Id;
  auto args = std::make_shared<InfoArgs>();
  CommandSpec c = commandSpec("info", Id::HelpInfo, Id::HelpInfoFiles, Id::HelpInfoFooter);
  addConversionOptions(c.options, args->options);
  c.options.push_back(switchOption('r', "--recursive", "", args->recursive, msg::text(Id::HelpInfoRecursive)));
  c.arguments = &args->files;
  c.run = [args](std::ostream& out, std::ostream& err) { return runInfo(*args, out, err); };
  return c;
}

}  // namespace kvtram
