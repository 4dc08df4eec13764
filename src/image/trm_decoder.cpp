#include "image/trm_decoder.h"

#include <algorithm>

#include "messages/hex_text.h"
#include "messages/messages.h"

namespace kvtram {

namespace {

constexpr int kHeader = kHeaderBytes;
constexpr int kBank = kBankBytes;
constexpr int kBankZeroEnd = kHeader + kBank;  // file offset behind bank 0

// 0x and six digits; 0x and two digits.
std::string hexAddress(int address) { return hex::number(static_cast<std::uint32_t>(address), 6); }
std::string hexByte(int value) { return hex::number(static_cast<std::uint32_t>(value & 0xFF), 2); }

// Walks one stream forwards from its start pointer. Every command's bytes lie
// within one bank; 0x68 moves on to the next bank start, so the address grows
// with every command and the walk ends at the file's end at the latest.
class StreamWalker {
 public:
  // `budget` is the number of commands still allowed in the image; the walk
  // takes its commands from it.
  // `decodedBy` (channel streams only) has one entry per file byte: 1 + the
  // channel number of the stream that decoded a command there, or 0.
  StreamWalker(const std::vector<std::uint8_t>& file, TrmStream& stream, int rhythmMode, std::size_t& budget,
               std::vector<std::uint8_t>* decodedBy = nullptr)
      : file_(file), stream_(stream), rhythmMode_(rhythmMode), budget_(budget), decodedBy_(decodedBy) {}

  std::string walk();

 private:
  bool has(int address, int count) const {
    return address >= 0 && count >= 0 &&
           static_cast<std::size_t>(address) + static_cast<std::size_t>(count) + kHeader <= file_.size();
  }
  std::uint8_t at(int address) const { return file_[static_cast<std::size_t>(address + kHeader)]; }
  // `what` names the address, given to it in hexadecimal.
  template <typename Describe, typename... More>
  std::string fault(int address, Describe what, More... more) const {
    return msg::streamFault(streamName(stream_), what(hexAddress(address), more...));
  }
  std::string truncated(int address) const { return fault(address, msg::streamCutOff); }
  // Reads a wait count (1-255, or 0 lo hi for 256 and more) at `address`.
  std::string count(int address, int& value, int& length) const;
  std::string fmInit(int address, TrmCommand& command) const;
  // The bytes of a command of `length` bytes, or of a fixed part followed by a wait count.
  std::string operands(int address, int length, TrmCommand& c) const;
  std::string withCount(int address, int fixed, TrmCommand& c) const;
  // One command of the stream's kind at `address` (not 0x68 or 0x69); `known`
  // becomes false for a byte that is no command of this kind of stream.
  std::string psgCommand(int address, int op, TrmCommand& c, bool& known) const;
  std::string fmCommand(int address, int op, bool first, TrmCommand& c, bool& known) const;
  std::string channelCommand(int address, int op, bool first, TrmCommand& c, bool& known) const;

  const std::vector<std::uint8_t>& file_;
  TrmStream& stream_;
  int rhythmMode_;
  std::size_t& budget_;
  std::vector<std::uint8_t>* decodedBy_;
};

std::string StreamWalker::count(int address, int& value, int& length) const {
  if (!has(address, 1)) return truncated(address);
  int first = at(address);
  if (first != kLongWaitMark) {
    value = first;
    length = 1;
    return {};
  }
  if (!has(address, 3)) return truncated(address);
  value = at(address + 1) + 256 * at(address + 2);
  length = 3;
  if (value <= 255) return fault(address, msg::longFormShortWait, value);
  return {};
}

std::string StreamWalker::fmInit(int address, TrmCommand& command) const {
  // 0xAD, then for each melody channel u: (0xD0 + u, 0x00) key off and
  // (0xE0 + u, 0x0F) attenuation 15; six channels in rhythm mode, else nine.
  // The header's rhythm byte tells which; the other length is accepted too.
  auto matches = [&](int channels) {
    if (!has(address, 1 + 4 * channels)) return false;
    for (int u = 0; u < channels; ++u) {
      int p = address + 1 + 4 * u;
      if (at(p) != kFmKeyOffBase + u || at(p + 1) != 0x00 || at(p + 2) != kFmAttenuationBase + u ||
          at(p + 3) != kFmSilentAttenuation) {
        return false;
      }
    }
    return true;
  };
  int expected = rhythmMode_ == 1 ? 6 : 9;
  int other = expected == 6 ? 9 : 6;
  int channels = matches(expected) ? expected : matches(other) ? other : 0;
  if (channels == 0) return fault(address, msg::fmInitBlockBroken);
  command.kind = TrmCommandKind::FmInit;
  command.length = 1 + 4 * channels;
  command.count = channels;
  return {};
}

std::string StreamWalker::operands(int address, int length, TrmCommand& c) const {
  c.length = length;
  return has(address, length) ? std::string() : truncated(address);
}

std::string StreamWalker::withCount(int address, int fixed, TrmCommand& c) const {
  int value = 0, length = 0;
  std::string failure = count(address + fixed, value, length);
  c.count = value;
  c.length = fixed + length;
  return failure;
}

std::string StreamWalker::psgCommand(int address, int op, TrmCommand& c, bool& known) const {
  if (op == kWaitCommand) {
    c.kind = TrmCommandKind::Wait;
    return withCount(address, 1, c);
  }
  if (op != kPsgWriteCommand) {
    known = false;
    return {};
  }
  c.kind = TrmCommandKind::PsgWrite;
  if (std::string failure = operands(address, 3, c); !failure.empty()) return failure;
  c.reg = at(address + 1);
  c.value = at(address + 2);
  if (c.reg > kPsgRegisters - 1) return fault(address, msg::psgRegisterBeyond, c.reg, kPsgRegisters - 1);
  return {};
}

std::string StreamWalker::fmCommand(int address, int op, bool first, TrmCommand& c, bool& known) const {
  if (first) {
    if (op != kFmInitCommand) return fault(address, msg::noFmInitBlock, hexByte(kFmInitCommand));
    return fmInit(address, c);
  }
  if (op == kWaitCommand) {
    c.kind = TrmCommandKind::Wait;
    return withCount(address, 1, c);
  }
  if (op < kFmWriteCommand || op > kFmWriteCommand + 0x3F) {
    known = false;
    return {};
  }
  c.kind = TrmCommandKind::FmWrite;
  c.reg = op - kFmWriteCommand;
  if (std::string failure = operands(address, 2, c); !failure.empty()) return failure;
  c.value = at(address + 1);
  return {};
}

std::string StreamWalker::channelCommand(int address, int op, bool first, TrmCommand& c, bool& known) const {
  if (first) {
    if (op != kWaitCommand) return fault(address, msg::noOpeningWait, hexByte(kWaitCommand));
    c.kind = TrmCommandKind::Wait;
    return withCount(address, 1, c);
  }
  if (op <= kMaxPitchIndex) {
    c.kind = TrmCommandKind::Note;
    c.reg = op;
    return withCount(address, 1, c);
  }
  if (op == kSelectSampleCommand) {
    c.kind = TrmCommandKind::SelectSample;
    if (std::string failure = operands(address, 5, c); !failure.empty()) return failure;
    int hi = at(address + 2);
    c.pointer = at(address + 1) + 256 * (hi - kBankZeroWindow);
    if (hi < kBankZeroWindow || hi >= kBankZeroWindow + kBank / 256 || at(address + 3) != 0 ||
        at(address + 4) != 0) {
      return fault(address, msg::badSampleSelection, hexByte(kSelectSampleCommand));
    }
    return {};
  }
  if (op == kNoteVolumeCommand) {
    c.kind = TrmCommandKind::NoteVolume;
    if (std::string failure = operands(address, 2, c); !failure.empty()) return failure;
    c.value = at(address + 1);
    return {};
  }
  if (op == kNoteChangeCommand) {
    c.kind = TrmCommandKind::NoteChange;
    c.length = 1;
    return {};
  }
  if (op == kWaveAddressCommand) {
    c.kind = TrmCommandKind::WaveAddress;
    if (std::string failure = operands(address, 3, c); !failure.empty()) return failure;
    c.pointer = at(address + 1) + 256 * at(address + 2);
    return {};
  }
  if (op == kSccNoteCommand) {
    c.kind = TrmCommandKind::SccNote;
    if (!has(address, 3)) return truncated(address);
    c.reg = at(address + 1) + 256 * (at(address + 2) >> 4);
    c.value = at(address + 2) & 0x0F;
    return withCount(address, 3, c);
  }
  known = false;
  return {};
}

std::string StreamWalker::walk() {
  int address = stream_.start;
  std::int64_t time = 0;
  bool first = true;  // the first command other than 0x68 is still to come
  for (;;) {
    if (decodedBy_ != nullptr && has(address, 1) && (*decodedBy_)[static_cast<std::size_t>(address + kHeader)] != 0) {
      stream_.joins = (*decodedBy_)[static_cast<std::size_t>(address + kHeader)] - 1;
      stream_.joinAddress = address;
      stream_.endTime = time;  // the caller adds the rest of the shared stream
      return {};
    }
    if (budget_ == 0) return fault(address, msg::tooManyCommands);
    --budget_;
    if (!has(address, 1)) return truncated(address);
    if (decodedBy_ != nullptr) (*decodedBy_)[static_cast<std::size_t>(address + kHeader)] = static_cast<std::uint8_t>(stream_.channel + 1);
    TrmCommand c;
    c.address = address;
    c.time = time;
    const int op = at(address);
    std::string failure;

    if (op == kNextBankCommand) {
      c.kind = TrmCommandKind::NextBank;
      c.length = 1;
      int next = (address / kBank + 1) * kBank;
      for (int a = address + 1; a < next; ++a) {
        if (!has(a, 1)) return truncated(a);
        if (at(a) != 0) return fault(a, msg::notZeroBehindNextBank);
      }
      stream_.commands.push_back(c);
      address = next;
      continue;
    }
    if (op == kEndCommand) {
      c.kind = TrmCommandKind::End;
      c.length = 1;
      stream_.commands.push_back(c);
      stream_.complete = true;
      stream_.end = address + 1;
      stream_.endTime = time;
      return {};
    }

    bool known = true;
    switch (stream_.kind) {
      case TrmStreamKind::Psg: failure = psgCommand(address, op, c, known); break;
      case TrmStreamKind::Fm: failure = fmCommand(address, op, first, c, known); break;
      case TrmStreamKind::PcmChannel: failure = channelCommand(address, op, first, c, known); break;
    }
    if (!known) return fault(address, msg::unknownCommand, hexByte(op));
    if (!failure.empty()) return failure;
    if (address / kBank != (address + c.length - 1) / kBank) {
      return fault(address, msg::commandAcrossBanks);
    }
    first = false;
    if (c.kind == TrmCommandKind::Wait || c.kind == TrmCommandKind::Note || c.kind == TrmCommandKind::SccNote) {
      time += c.count;
    }
    stream_.commands.push_back(c);
    address += c.length;
  }
}

// A stream that ran into `shared` at its join address ends as `shared` ends,
// after the frames that `shared` waits from that command on.
void joinShared(TrmStream& stream, const TrmStream& shared) {
  auto at = std::lower_bound(shared.commands.begin(), shared.commands.end(), stream.joinAddress,
                             [](const TrmCommand& c, int address) { return c.address < address; });
  stream.complete = shared.complete;
  stream.end = shared.end;
  if (at != shared.commands.end()) stream.endTime += shared.endTime - at->time;
}

// The sample pointer table of `sampleCount` entries at bank-0 address `base`.
std::vector<TrmSampleEntry> readTable(const std::vector<std::uint8_t>& file, int base, int sampleCount) {
  std::vector<TrmSampleEntry> table(static_cast<std::size_t>(sampleCount));
  for (int s = 0; s < sampleCount; ++s) {
    for (int v = 0; v < 3; ++v) {
      TrmVariantPointers& p = table[static_cast<std::size_t>(s)].variants[static_cast<std::size_t>(v)];
      p.entryAddress = base + kSampleEntryBytes * s + kVariantEntryBytes * v;
      const std::uint8_t* bytes = file.data() + kHeader + p.entryAddress;
      p.start = decodeBankPointer(bytes);
      p.end = decodeBankPointer(bytes + kPointerBytes);
      p.loop = decodeBankPointer(bytes + 2 * kPointerBytes);
    }
  }
  return table;
}

// Whether the table found at `base` is one the converter can have written
// (see the header): first pointer 01 00 40, well-formed pointers, start
// addresses in order and before `streamsStart`, and every sample selection of
// the channel streams on its grid of variant entries.
bool tableFits(const std::vector<TrmSampleEntry>& table, int base, int streamsStart,
               const std::vector<int>& selections) {
  if (table.empty()) return false;
  const TrmPointer& first = table[0].variants[0].start;
  if (!first.valid || first.address != kFirstBankedAddress) return false;
  auto banked = [&](const TrmPointer& p) {
    return p.valid && p.address >= kFirstBankedAddress && p.address <= streamsStart;
  };
  int previous = kFirstBankedAddress;
  for (const TrmSampleEntry& entry : table) {
    for (const TrmVariantPointers& p : entry.variants) {
      if (!banked(p.start) || p.start.address < previous) return false;
      if (!banked(p.end)) return false;
      if (!p.loop.null && (!banked(p.loop) || p.loop.address < p.start.address)) return false;
      previous = p.start.address;
    }
  }
  // A selection may name a sample the song does not have (the converter
  // does not check note sample numbers), but it always lies on the table's
  // 9-byte grid.
  for (int e : selections) {
    if (e < base || (e - base) % kVariantEntryBytes != 0) return false;
  }
  return true;
}

std::string decodeBankZero(TrmImage& image, int givenWaveCount) {
  const std::vector<std::uint8_t>& file = image.file;
  int last = -1;  // bank-0 address of the last non-zero byte
  for (int a = kBank - 1; a >= 0; --a) {
    if (file[static_cast<std::size_t>(kHeader + a)] != 0) {
      last = a;
      break;
    }
  }
  image.waveCountGiven = givenWaveCount >= 0;
  if (image.waveCountGiven) {
    // Read as told; the table reaches up to the last non-zero byte.
    image.waveCount = std::min(givenWaveCount, kBank / kWaveTableBytes);
    int base = kWaveTableBytes * image.waveCount;
    int count = last < base ? 0 : (last - base) / kSampleEntryBytes + 1;
    count = std::min(count, (kBank - base) / kSampleEntryBytes);
    image.samples = readTable(file, base, count);
    return {};
  }
  image.waveCount = 0;
  if (last < 0) return {};  // no waves, no samples

  std::vector<int> selections;
  for (const TrmStream& s : image.channels) {
    for (const TrmCommand& c : s.commands) {
      if (c.kind == TrmCommandKind::SelectSample) selections.push_back(c.pointer);
    }
  }
  const int streamsStart = image.header.psg.valid ? image.header.psg.address : 0;
  // The last sample's high variant ends the table; its start pointer's third
  // byte (0x40 or more) is the last byte that cannot be zero.
  constexpr int kLastNonZero = 2 * kVariantEntryBytes + 2;
  const std::uint8_t firstBank = bankPointer(kFirstBankedAddress)[0];
  for (int w = 0; kWaveTableBytes * w + kLastNonZero <= last && w <= kMaxDecodedWaves; ++w) {
    const int base = kWaveTableBytes * w;
    if (file[static_cast<std::size_t>(kHeader + base)] != firstBank) continue;
    const int count = (last - base - kLastNonZero) / kSampleEntryBytes + 1;
    // Non-zero bytes behind the table.
    if (last - (base + kSampleEntryBytes * (count - 1)) > kSampleEntryBytes - 1) continue;
    if (base + kSampleEntryBytes * count > kBank) continue;
    std::vector<TrmSampleEntry> table = readTable(file, base, count);
    if (tableFits(table, base, streamsStart, selections)) {
      image.waveCount = w;
      image.samples = std::move(table);
      return {};
    }
  }
  return msg::kNoSamplePointerTable;
}

// The header's fields, and how many bytes it holds outside them.
std::string decodeHeader(const std::vector<std::uint8_t>& bytes, TrmHeader& h) {
  std::copy(bytes.begin() + kMagicOffset, bytes.begin() + kMagicOffset + kMagic.size(), h.magic.begin());
  if (h.magic != kMagic) {
    return msg::imageWithoutMagic(kMagicOffset, std::string(kMagic.begin(), kMagic.end()));
  }
  h.psg = decodeBankPointer(bytes.data() + kPsgStreamPointer);
  h.fm = decodeBankPointer(bytes.data() + kFmStreamPointer);
  for (std::size_t i = 0; i < kChannelSlotOffsets.size(); ++i) {
    h.slots[i] = decodeBankPointer(bytes.data() + kChannelSlotOffsets[i]);
  }
  h.rhythmMode = bytes[kRhythmModeOffset];
  std::copy(bytes.begin() + kTitleOffset, bytes.begin() + kTitleOffset + kTitleFieldBytes, h.titleField.begin());
  std::size_t titleEnd = static_cast<std::size_t>(
      std::find(h.titleField.begin(), h.titleField.end(), std::uint8_t{0}) - h.titleField.begin());
  while (titleEnd > 0 && h.titleField[titleEnd - 1] == ' ') --titleEnd;
  h.title.assign(h.titleField.begin(), h.titleField.begin() + static_cast<long>(titleEnd));
  std::copy(bytes.begin() + kConstantsOffset, bytes.begin() + kConstantsOffset + kHeaderConstants.size(), h.constants.begin());
  std::copy(bytes.begin() + kPlayerNameOffset, bytes.begin() + kPlayerNameOffset + kPlayerName.size(), h.playerName.begin());
  auto within = [](int offset, int from, std::size_t count) {
    return offset >= from && offset < from + static_cast<int>(count);
  };
  for (int offset = 0; offset < kHeader; ++offset) {
    bool field = within(offset, kPsgStreamPointer, kPointerBytes) || offset == kRhythmModeOffset ||
                 within(offset, kMagicOffset, kMagic.size()) || within(offset, kTitleOffset, kTitleFieldBytes) ||
                 within(offset, kConstantsOffset, kHeaderConstants.size()) || within(offset, kPlayerNameOffset, kPlayerName.size()) ||
                 within(offset, kFmStreamPointer, kPointerBytes);
    for (int slot : kChannelSlotOffsets) field = field || within(offset, slot, kPointerBytes);
    if (!field && bytes[static_cast<std::size_t>(offset)] != 0) ++h.strayBytes;
  }
  return {};
}

}  // namespace

TrmPointer decodeBankPointer(const std::uint8_t* bytes) {
  TrmPointer p;
  std::copy(bytes, bytes + kPointerBytes, p.raw.begin());
  p.null = bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0;
  p.valid = !p.null && bytes[2] >= kPointerWindowBase && bytes[2] < kPointerWindowBase + kBank / 256;
  if (p.valid) p.address = bytes[0] * kBank + (bytes[2] - kPointerWindowBase) * 256 + bytes[1];
  return p;
}

std::string streamName(const TrmStream& stream) {
  switch (stream.kind) {
    case TrmStreamKind::Psg: return msg::kPsgStreamName;
    case TrmStreamKind::Fm: return msg::kFmStreamName;
    case TrmStreamKind::PcmChannel: break;
  }
  return msg::pcmStreamName(stream.channel + 1, stream.headerOffset);
}

std::string decodeTrm(std::span<const std::uint8_t> file, TrmImage& image, int waveCount) {
  image = TrmImage{};
  image.file.assign(file.begin(), file.end());
  const std::vector<std::uint8_t>& bytes = image.file;
  if (bytes.size() < static_cast<std::size_t>(kHeader)) {
    return msg::imageShorterThanHeader(kHeader, bytes.size());
  }
  TrmHeader& h = image.header;
  if (std::string failure = decodeHeader(bytes, h); !failure.empty()) return failure;
  if (bytes.size() < static_cast<std::size_t>(kBankZeroEnd)) {
    return msg::imageEndsInBankZero(bytes.size());
  }

  // The streams first: the channel streams' sample selections help to find
  // the sample pointer table. The first failure is the one reported; every
  // part is still decoded as far as it goes.
  std::string failure;
  std::size_t budget = kMaxImageCommands;
  auto keep = [&failure](const std::string& f) {
    if (failure.empty()) failure = f;
  };
  auto walk = [&](TrmStream& stream, const TrmPointer& pointer, std::vector<std::uint8_t>* decodedBy) {
    if (!pointer.valid || pointer.address < kFirstBankedAddress) {
      keep(msg::badStartPointer(streamName(stream), hexByte(pointer.raw[0]) + " " + hexByte(pointer.raw[1]) + " " +
                                                        hexByte(pointer.raw[2])));
      return;
    }
    stream.start = pointer.address;
    keep(StreamWalker(bytes, stream, h.rhythmMode, budget, decodedBy).walk());
    if (stream.joins >= 0) joinShared(stream, image.channels[static_cast<std::size_t>(stream.joins)]);
    image.streamsEnd = std::max(image.streamsEnd, stream.end);
  };
  image.psg.kind = TrmStreamKind::Psg;
  image.psg.headerOffset = kPsgStreamPointer;
  walk(image.psg, h.psg, nullptr);
  image.fm.kind = TrmStreamKind::Fm;
  image.fm.headerOffset = kFmStreamPointer;
  walk(image.fm, h.fm, nullptr);

  // Channel streams follow one another behind the FM stream, channel 0 first,
  // so their order in the image numbers them.
  std::vector<std::size_t> used;
  for (std::size_t i = 0; i < h.slots.size(); ++i) {
    if (!h.slots[i].null) used.push_back(i);
  }
  std::stable_sort(used.begin(), used.end(),
                   [&h](std::size_t a, std::size_t b) { return h.slots[a].address < h.slots[b].address; });
  std::vector<std::uint8_t> decodedBy(used.empty() ? 0 : bytes.size(), 0);
  for (std::size_t slot : used) {
    TrmStream stream;
    stream.kind = TrmStreamKind::PcmChannel;
    stream.headerOffset = kChannelSlotOffsets[slot];
    stream.channel = static_cast<int>(image.channels.size());
    image.channels.push_back(std::move(stream));
    walk(image.channels.back(), h.slots[slot], &decodedBy);
  }

  keep(decodeBankZero(image, waveCount));
  return failure;
}

}  // namespace kvtram
