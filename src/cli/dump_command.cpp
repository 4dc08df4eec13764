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
  if (p.null) return raw + "  none";
  if (!p.valid) return raw + "  (no pointer)";
  return raw + "  " + address(p.address);
}

std::string textOf(const std::uint8_t* bytes, std::size_t length) {
  return shiftJisToUtf8(std::string_view(reinterpret_cast<const char*>(bytes), length));
}

// Which sample and variant a sample selection addresses, when the table says.
std::string entryName(const TrmImage& image, int entry) {
  int base = sampleEntryAddress(image.waveCount, 0, 1);
  int offset = entry - base;
  if (offset < 0 || offset % kVariantEntryBytes != 0) return " (no variant entry)";
  std::string name = format(" (sample %lld variant %lld", offset / kSampleEntryBytes,
                            offset % kSampleEntryBytes / kVariantEntryBytes + 1);
  if (offset / kSampleEntryBytes >= static_cast<int>(image.samples.size())) name += ", beyond the table";
  return name + ")";
}

std::string describe(const TrmImage& image, const TrmCommand& c) {
  switch (c.kind) {
    case TrmCommandKind::Wait: return format("wait %lld", c.count);
    case TrmCommandKind::End: return "end";
    case TrmCommandKind::NextBank: return format("next bank -> bank %lld", c.address / kBankBytes + 1);
    case TrmCommandKind::PsgWrite: return format("psg  reg %lld = 0x%02llX", c.reg, c.value);
    case TrmCommandKind::FmInit: return format("fm init: key off, attenuation 15 on %lld channels", c.count);
    case TrmCommandKind::FmWrite: return format("fm   reg 0x%02llX = 0x%02llX", c.reg, c.value);
    case TrmCommandKind::SelectSample: return format("sample entry 0x%04llX", c.pointer) + entryName(image, c.pointer);
    case TrmCommandKind::NoteVolume:
      return format("volume %lld", static_cast<std::int8_t>(static_cast<std::uint8_t>(c.value)));
    case TrmCommandKind::NoteChange: return "change (next note changes the sounding note)";
    case TrmCommandKind::Note: return format("note %lld, %lld frames", c.reg, c.count);
    case TrmCommandKind::WaveAddress: return format("wave address 0x%04llX", c.pointer);
    case TrmCommandKind::SccNote: return format("tone period %lld volume %lld, %lld frames", c.reg, c.value, c.count);
  }
  return "?";
}

void printHeader(const TrmImage& image, std::ostream& out) {
  const TrmHeader& h = image.header;
  out << "header\n";
  out << "  magic          \"" << textOf(h.magic.data(), 4) << "\"\n";
  out << "  title          \"" << shiftJisToUtf8(h.title) << "\"\n";
  out << "  rhythm mode    " << h.rhythmMode << "\n";
  out << "  constants      " << int{h.constants[0]} << " " << int{h.constants[1]} << " " << int{h.constants[2]}
      << "\n";
  out << "  player name    \"" << textOf(h.playerName.data(), h.playerName.size()) << "\"\n";
  out << "  PSG stream     " << pointerText(h.psg) << "\n";
  out << "  FM stream      " << pointerText(h.fm) << "\n";
  out << "  channel slots\n";
  for (std::size_t i = 0; i < kChannelSlotOffsets.size(); ++i) {
    out << format("    %3lld: ", kChannelSlotOffsets[i]) << pointerText(h.slots[i]);
    for (const TrmStream& s : image.channels) {
      if (s.headerOffset == kChannelSlotOffsets[i]) out << "  (" << pcmChannelName(s.channel) << ")";
    }
    out << "\n";
  }
  if (h.strayBytes > 0) out << "  " << h.strayBytes << " non-zero bytes outside the header's fields\n";
}

void printBankZero(const TrmImage& image, std::ostream& out) {
  out << "bank 0\n";
  out << "  waves          " << image.waveCount << (image.waveCountGiven ? " (as given)" : " (from the pointer table)")
      << "\n";
  for (int w = 0; w < image.waveCount; ++w) {
    out << format("    %3lld: ", w) << hexBytes(image.wave(w), kWaveTableBytes) << "\n";
  }
  out << "  sample pointer table at " << format("0x%04llX", sampleEntryAddress(image.waveCount, 0, 1)) << ", " << image.samples.size()
      << (image.samples.size() == 1 ? " sample" : " samples") << "\n";
  for (std::size_t s = 0; s < image.samples.size(); ++s) {
    for (int v = 0; v < 3; ++v) {
      const TrmVariantPointers& p = image.samples[s].variants[static_cast<std::size_t>(v)];
      out << format("    sample %3lld variant %lld at 0x%04llX", static_cast<long long>(s), v + 1, p.entryAddress);
      out << "  start " << (p.start.valid ? address(p.start.address) : hexBytes(p.start.raw, 3));
      out << "  end " << (p.end.valid ? address(p.end.address) : hexBytes(p.end.raw, 3));
      out << "  loop " << (p.loop.null ? "none" : p.loop.valid ? address(p.loop.address) : hexBytes(p.loop.raw, 3));
      if (p.start.valid && p.end.valid && p.end.address > p.start.address) {
        out << "  (" << p.end.address - p.start.address << " bytes)";
      }
      out << "\n";
    }
  }
}

void printStream(const TrmImage& image, const TrmStream& stream, std::ostream& out) {
  std::string title = stream.kind == TrmStreamKind::Psg  ? "PSG"
                      : stream.kind == TrmStreamKind::Fm ? "FM"
                                                         : pcmChannelName(stream.channel);
  out << "stream " << title << " at " << address(stream.start) << " (header offset " << stream.headerOffset
      << ")\n";
  out << "        time  address   bytes               command\n";
  for (const TrmCommand& c : stream.commands) {
    out << format("  %10lld  ", c.time) << address(c.address) << "  ";
    std::string bytes = hexBytes(image.bytesOf(c), 6);
    bytes.resize(std::max<std::size_t>(bytes.size(), 18), ' ');
    out << bytes << "  " << describe(image, c) << "\n";
  }
  if (stream.joins >= 0) {
    // Listed once, where it was first decoded.
    out << "  " << address(stream.joinAddress) << "  from here on the same commands as "
        << pcmChannelName(stream.joins) << " (listed there)\n";
  }
  if (stream.complete) {
    out << "  ends at " << address(stream.end) << " after " << stream.endTime << " frames, "
        << stream.commands.size() << " commands\n";
  } else {
    out << "  (the stream breaks off here)\n";
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
    out << printable(name) << " (" << image->file.size() << " bytes)\n";
    printHeader(*image, out);
    if (image->file.size() >= static_cast<std::size_t>(kHeaderBytes + kBankBytes)) {
      printBankZero(*image, out);
      printStream(*image, image->psg, out);
      printStream(*image, image->fm, out);
      for (const TrmStream& s : image->channels) printStream(*image, s, out);
      if (failure.empty() && image->streamsEnd + kHeaderBytes < static_cast<int>(image->file.size())) {
        out << image->file.size() - static_cast<std::size_t>(image->streamsEnd + kHeaderBytes)
            << " bytes behind the last stream\n";
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
  using msg::Id;
  auto args = std::make_shared<DumpArgs>();
  CommandSpec c;
  c.name = "dump";
  c.summary = msg::text(Id::HelpDump);
  c.argumentHelp = msg::text(Id::HelpDumpFile);
  c.footer = msg::text(Id::HelpDumpFooter);
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
