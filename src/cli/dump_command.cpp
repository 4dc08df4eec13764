// `kvtram dump`: a listing of a TRAM image -- the header, bank 0 and every
// command stream, command by command with the frame at which the player
// reaches it.
#include <cstdio>
#include <memory>
#include <ostream>
#include <string_view>

#include "app/printable.h"
#include "app/size_report.h"
#include "cli/commands.h"
#include "input/shift_jis.h"
#include "image/trm_decoder.h"
#include "io/file_io.h"
#include "messages/hex_text.h"
#include "messages/messages.h"

namespace kvtram {

namespace {

using msg::Id;

// The largest file read: the header and 256 banks are all an image can hold
// (a pointer's bank number is one byte).
constexpr std::size_t kMaxDumpFileBytes = kImageBytes;

// What --waves may say: the decoder looks for at most this many wavetables.
constexpr OptionRange kWaveCountRange{0, kMaxDecodedWaves, msg::Id::WavesRange};

std::string format(const char* pattern, long long a, long long b = 0, long long c = 0) {
  char text[96];
  std::snprintf(text, sizeof text, pattern, a, b, c);
  return text;
}

std::string address(int a) { return hex::number(static_cast<std::uint64_t>(static_cast<long long>(a)), 6); }

std::string hexBytes(std::span<const std::uint8_t> bytes, std::size_t limit) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    if (i) text += ' ';
    text += hex::digits(bytes[i], 2);
  }
  if (bytes.size() > limit) text += " ..";
  return text;
}

std::string pointerText(const TrmPointer& p) {
  std::string raw = hexBytes(p.raw, 3);
  if (p.null) return raw + "  " + msg::text(Id::DumpNone);
  if (!p.valid) return raw + "  " + msg::text(Id::DumpNoPointer);
  return raw + "  " + address(p.address);
}

std::string number(long long n) { return std::to_string(n); }

std::string textOf(const std::uint8_t* bytes, std::size_t length) {
  return shiftJisToUtf8(std::string_view(reinterpret_cast<const char*>(bytes), length));
}

// Which sample and variant a sample selection addresses, when the table says.
std::string entryName(const TrmImage& image, int entry) {
  int base = sampleEntryAddress(image.waveCount, 0, 1);
  int offset = entry - base;
  if (offset < 0 || offset % kVariantEntryBytes != 0) return msg::text(Id::DumpNoVariantEntry);
  const bool beyond = offset / kSampleEntryBytes >= static_cast<int>(image.samples.size());
  return msg::fill(beyond ? Id::DumpEntryBeyondTable : Id::DumpEntryVariant,
                   {number(offset / kSampleEntryBytes), number(offset % kSampleEntryBytes / kVariantEntryBytes + 1)});
}

std::string describe(const TrmImage& image, const TrmCommand& c) {
  switch (c.kind) {
    case TrmCommandKind::Wait: return msg::fill(Id::DumpWaitCommand, {number(c.count)});
    case TrmCommandKind::End: return msg::text(Id::DumpEndCommand);
    case TrmCommandKind::NextBank: return msg::fill(Id::DumpNextBankCommand, {number(c.address / kBankBytes + 1)});
    case TrmCommandKind::PsgWrite: return msg::fill(Id::DumpPsgWriteCommand, {number(c.reg), format("0x%02llX", c.value)});
    case TrmCommandKind::FmInit: return msg::fill(Id::DumpFmInitCommand, {number(c.count)});
    case TrmCommandKind::FmWrite:
      return msg::fill(Id::DumpFmWriteCommand, {format("0x%02llX", c.reg), format("0x%02llX", c.value)});
    case TrmCommandKind::SelectSample:
      return msg::fill(Id::DumpSelectSampleCommand, {format("0x%04llX", c.pointer)}) + entryName(image, c.pointer);
    case TrmCommandKind::NoteVolume:
      return msg::fill(Id::DumpVolumeCommand, {number(static_cast<std::int8_t>(static_cast<std::uint8_t>(c.value)))});
    case TrmCommandKind::NoteChange: return msg::text(Id::DumpChangeCommand);
    case TrmCommandKind::Note: return msg::fill(Id::DumpNoteCommand, {number(c.reg), number(c.count)});
    case TrmCommandKind::WaveAddress: return msg::fill(Id::DumpWaveAddressCommand, {format("0x%04llX", c.pointer)});
    case TrmCommandKind::SccNote:
      return msg::fill(Id::DumpToneCommand, {number(c.reg), number(c.value), number(c.count)});
  }
  return "?";
}

void printHeader(const TrmImage& image, std::ostream& out) {
  const TrmHeader& h = image.header;
  out << msg::text(Id::DumpHeader) << "\n";
  out << msg::fill(Id::DumpMagic, {textOf(h.magic.data(), 4)}) << "\n";
  out << msg::fill(Id::DumpTitle, {shiftJisToUtf8(h.title)}) << "\n";
  out << msg::fill(Id::DumpRhythmMode, {number(h.rhythmMode)}) << "\n";
  out << msg::fill(Id::DumpConstants, {number(h.constants[0]), number(h.constants[1]), number(h.constants[2])})
      << "\n";
  out << msg::fill(Id::DumpPlayerName, {textOf(h.playerName.data(), h.playerName.size())}) << "\n";
  out << msg::fill(Id::DumpPsgStream, {pointerText(h.psg)}) << "\n";
  out << msg::fill(Id::DumpFmStream, {pointerText(h.fm)}) << "\n";
  out << msg::text(Id::DumpChannelSlots) << "\n";
  for (std::size_t i = 0; i < kChannelSlotOffsets.size(); ++i) {
    out << format("    %3lld: ", kChannelSlotOffsets[i]) << pointerText(h.slots[i]);
    for (const TrmStream& s : image.channels) {
      if (s.headerOffset == kChannelSlotOffsets[i]) out << msg::fill(Id::DumpSlotChannel, {pcmChannelName(s.channel)});
    }
    out << "\n";
  }
  if (h.strayBytes > 0) out << msg::fill(Id::DumpStrayBytes, {number(h.strayBytes)}) << "\n";
}

void printBankZero(const TrmImage& image, std::ostream& out) {
  out << msg::text(Id::DumpBankZero) << "\n";
  out << msg::fill(Id::DumpWaves, {number(image.waveCount)})
      << msg::text(image.waveCountGiven ? Id::DumpWavesGiven : Id::DumpWavesFound) << "\n";
  for (int w = 0; w < image.waveCount; ++w) {
    out << format("    %3lld: ", w) << hexBytes(image.wave(w), kWaveTableBytes) << "\n";
  }
  const long long samples = static_cast<long long>(image.samples.size());
  out << msg::fill(Id::DumpSampleTable,
                   {format("0x%04llX", sampleEntryAddress(image.waveCount, 0, 1)),
                    msg::fill(samples == 1 ? Id::DumpOneSample : Id::DumpSamples, {number(samples)})})
      << "\n";
  for (std::size_t s = 0; s < image.samples.size(); ++s) {
    for (int v = 0; v < 3; ++v) {
      const TrmVariantPointers& p = image.samples[s].variants[static_cast<std::size_t>(v)];
      out << msg::fill(Id::DumpVariantAt,
                       {format("%3lld", static_cast<long long>(s)), number(v + 1), format("0x%04llX", p.entryAddress)});
      out << msg::fill(Id::DumpStart, {p.start.valid ? address(p.start.address) : hexBytes(p.start.raw, 3)});
      out << msg::fill(Id::DumpEnd, {p.end.valid ? address(p.end.address) : hexBytes(p.end.raw, 3)});
      out << msg::fill(Id::DumpLoop, {p.loop.null    ? std::string(msg::text(Id::DumpNone))
                                      : p.loop.valid ? address(p.loop.address)
                                                     : hexBytes(p.loop.raw, 3)});
      if (p.start.valid && p.end.valid && p.end.address > p.start.address) {
        out << msg::fill(Id::DumpVariantBytes, {number(p.end.address - p.start.address)});
      }
      out << "\n";
    }
  }
}

void printStream(const TrmImage& image, const TrmStream& stream, std::ostream& out) {
  std::string title = stream.kind == TrmStreamKind::Psg  ? "PSG"
                      : stream.kind == TrmStreamKind::Fm ? "FM"
                                                         : pcmChannelName(stream.channel);
  out << msg::fill(Id::DumpStream, {title, address(stream.start), number(stream.headerOffset)}) << "\n";
  out << msg::text(Id::DumpColumns) << "\n";
  for (const TrmCommand& c : stream.commands) {
    out << format("  %10lld  ", c.time) << address(c.address) << "  ";
    std::string bytes = hexBytes(image.bytesOf(c), 6);
    bytes.resize(std::max<std::size_t>(bytes.size(), 18), ' ');
    out << bytes << "  " << describe(image, c) << "\n";
  }
  if (stream.joins >= 0) {
    // Listed once, where it was first decoded.
    out << msg::fill(Id::DumpJoins, {address(stream.joinAddress), pcmChannelName(stream.joins)}) << "\n";
  }
  if (stream.complete) {
    out << msg::fill(Id::DumpStreamEnds, {address(stream.end), number(stream.endTime),
                                          number(static_cast<long long>(stream.commands.size()))})
        << "\n";
  } else {
    out << msg::text(Id::DumpStreamBreaks) << "\n";
  }
}

}  // namespace

int runDump(const DumpArgs& args, std::ostream& out, std::ostream& err) {
  auto buffer = std::make_unique<FileBuffer>(kMaxDumpFileBytes, 0);
  int status = kExitOk;
  // Each listing is headed by its image's path; a blank line between two.
  for (std::size_t i = 0; i < args.files.size(); ++i) {
    const std::string& file = args.files[i];
    if (i > 0) out << "\n";
    if (std::string failure = buffer->read(file); !failure.empty()) {
      err << printable(msg::failureLine(file, failure)) << "\n";
      status = kExitFileFailed;
      continue;
    }
    if (dumpImage(std::span<const std::uint8_t>(buffer->data(), buffer->length()), file, args.waveCount, out,
                  err) != kExitOk) {
      status = kExitFileFailed;
    }
  }
  return status;
}

int dumpImage(std::span<const std::uint8_t> file, const std::string& name, int waveCount, std::ostream& out,
              std::ostream& err) {
  auto image = std::make_unique<TrmImage>();
  std::string failure = decodeTrm(file, *image, waveCount);

  const bool hasHeader = image->file.size() >= static_cast<std::size_t>(kHeaderBytes) && image->header.magic == kMagic;
  if (hasHeader) {
    out << msg::fill(Id::DumpFile, {printable(name), number(static_cast<long long>(image->file.size()))}) << "\n";
    printHeader(*image, out);
    if (image->file.size() >= static_cast<std::size_t>(kHeaderBytes + kBankBytes)) {
      printBankZero(*image, out);
      printStream(*image, image->psg, out);
      printStream(*image, image->fm, out);
      for (const TrmStream& s : image->channels) printStream(*image, s, out);
      if (failure.empty() && image->streamsEnd + kHeaderBytes < static_cast<int>(image->file.size())) {
        out << msg::fill(Id::DumpBytesBehind,
                         {number(static_cast<long long>(image->file.size()) - (image->streamsEnd + kHeaderBytes))})
            << "\n";
      }
    }
  }
  if (!failure.empty()) {
    err << printable(msg::failureLine(name, failure)) << "\n";
    return kExitFileFailed;
  }
  return kExitOk;
}

CommandSpec dumpCommand() {
  auto args = std::make_shared<DumpArgs>();
  CommandSpec c = commandSpec("dump", Id::HelpDump, Id::HelpDumpFile, Id::HelpDumpFooter);
  OptionSpec waves = numberOption(0, "--waves", args->waveCount, kWaveCountRange, "");
  waves.valueName = msg::fill(Id::HelpWavesValue, {std::to_string(kWaveCountRange.low) + " - " +
                                                   std::to_string(kWaveCountRange.high)});
  waves.help = msg::text(Id::HelpWaves);
  c.options.push_back(waves);
  c.arguments = &args->files;
  c.run = [args](std::ostream& out, std::ostream& err) { return runDump(*args, out, err); };
  return c;
}

}  // namespace kvtram
