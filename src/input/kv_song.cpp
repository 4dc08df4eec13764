#include "input/kv_song.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "input/shift_jis.h"
#include "io/byte_reader.h"
#include "messages/hex_text.h"
#include "messages/messages.h"

namespace kvtram {

namespace {

bool isWaveSetTag(const std::uint8_t tag[4]) {
  static const char* const kTags[] = {"SCC ", "scc ", "Sine", "sine"};
  for (const char* t : kTags) {
    if (std::memcmp(tag, t, 4) == 0) return true;
  }
  return false;
}

// The block index table bounds everything the samples take: it holds 2 bytes
// per block and 4 per sample, so a song that passes its check has at most
// (4096 - 4) / 2 blocks of sample data, which lie within the sample file's
// zero tail however short the file is; and each sample's copy with its
// reserve (its blocks twice over and 8 more) takes at most the table's
// bytes plus 4 per sample in store blocks, well inside the store.
static_assert((kBlockIndexBytes - 4) / 2 * kBlockBytes <= kZeroTailBytes,
              "sample data the block index table admits may lie past the zero tail");
static_assert(kBlockIndexBytes + 4 * kMaxSamples <= static_cast<std::size_t>(kStoreBlocks),
              "samples the block index table admits may not fit the sample store");

}  // namespace

KvSong::KvSong() : store(static_cast<std::size_t>(kStoreBlocks) * kBlockBytes) {}

void KvSong::reset() {
  formatVersion = 0;
  pcmChannelCount = 0;
  mixChannelMask = 0;
  pcmChannelMask = 0;
  rowsInstrument = 15;
  title.clear();
  sampleName.clear();
  samplePath.clear();
  sampleShown.clear();
  sampleCount = 0;
  sampleBytesMissing = 0;
  waveCount = 0;
  macroCount = 0;
  music = {};
  loopBase = 0;
  patchCount_ = 0;
  macroByteCount_ = 0;
  macroBytesAt_ = 0;
  headerPastEnd_ = false;
  hasWaveSet_ = false;
  totalBlocks_ = 0;
}

bool isBaseName(const std::string& name) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    auto c = static_cast<std::uint8_t>(name[i]);
    // The trail byte of ソ or 表 is 0x5C, which is no separator there.
    auto next = i + 1 < name.size() ? static_cast<std::uint8_t>(name[i + 1]) : 0;
    if (isShiftJisLeadByte(c) && isShiftJisTrailByte(next)) {
      ++i;
      continue;
    }
    if (c == '/' || c == '\\') return false;
  }
  // "C:name" would be relative to drive C's current folder on Windows.
  bool driveLetter = name.size() >= 2 && name[1] == ':' &&
                     ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
  return !driveLetter;
}

std::string sampleFilePath(const std::string& musicPath, const std::string& name) {
  return resolveNameIgnoringCase(folderOf(musicPath), name + ".kvp");
}

namespace {

bool isPlainAscii(const std::string& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<std::uint8_t>(c) < 0x80; });
}

// Where the sample file named `name` (Shift-JIS bytes) is looked for, and how
// messages show it: always in UTF-8, never the header's raw bytes.
struct SampleFile {
  std::string path;
  std::string shown;
};

SampleFile findSampleFile(const std::string& musicPath, const std::string& name, const std::string& spelled,
                          const std::optional<std::string>& decoded) {
  SampleFile file{sampleFilePath(musicPath, spelled), {}};
  if (isPlainAscii(name) || spelled == decoded) {
    file.shown = file.path;
    return file;
  }
  // Names are bytes here: the header's, as a Japanese system wrote them; a
  // copy or an archive tool leaves the same name in UTF-8.
  if (decoded && pathKind(file.path) == PathKind::Missing) {
    if (std::string utf8 = sampleFilePath(musicPath, *decoded); pathKind(utf8) != PathKind::Missing) {
      file.path = file.shown = utf8;
      return file;
    }
  }
  const std::string extension = file.path.substr(file.path.size() - 4);  // ".kvp" in the case found
  file.shown = folderOf(file.path) + (decoded ? *decoded : shiftJisToUtf8(name)) + extension;
  return file;
}

}  // namespace

std::string loadSong(const std::string& path, SongFiles& files, KvSong& song) {
  // A failed read leaves nothing of the last song to be reported as this one's.
  song.samplePath.clear();
  song.sampleShown.clear();
  song.sampleBytesMissing = 0;
  if (std::string reason = files.music.read(path); !reason.empty()) return reason;
  if (std::string reason = song.parseMusic(files.music.bytes()); !reason.empty()) return reason;
  if (song.sampleCount == 0) {
    files.samples.clear();
    return song.parseSamples(files.samples.bytes());
  }
  // The header names a file beside the song; a name that leads elsewhere
  // ("../x", "/tmp/x", "C:x") is never followed. That is judged on the
  // header's Shift-JIS bytes; the file is looked for as the file system
  // spells the name.
  const std::optional<std::string> decoded = decodeShiftJis(song.sampleName);
  if (!isBaseName(song.sampleName)) {
    return msg::sampleNameWithFolder(decoded.value_or(shiftJisToUtf8(song.sampleName)));
  }
  const std::optional<std::string> spelled = fileNameFromShiftJis(song.sampleName);
  if (!spelled) return msg::sampleNameNotShiftJis(hex::bytes(song.sampleName));
  const SampleFile file = findSampleFile(path, song.sampleName, *spelled, decoded);
  song.samplePath = file.path;
  song.sampleShown = file.shown;
  // Whatever is wrong with the sample file (missing, a FIFO or a folder,
  // too short), the user must learn which file it is.
  std::string reason = files.samples.read(song.samplePath);
  if (reason.empty()) reason = song.parseSamples(files.samples.bytes());
  return reason.empty() ? reason : msg::failureLine(song.sampleShown, reason);
}

std::string KvSong::parse(const LoadedBytes& musicBytes, const LoadedBytes& sampleBytes) {
  if (std::string reason = parseMusic(musicBytes); !reason.empty()) return reason;
  return parseSamples(sampleBytes);
}

void KvSong::decodeHeader() {
  ByteReader in(music);
  std::uint8_t first = in.u8();
  formatVersion = first >> 4;
  pcmChannelCount = first & 0x0F;
  in.u16();
  in.u8();
  mixChannelMask = in.u8();
  pcmChannelMask = in.u8();

  // Title: 42 bytes, less the full-width spaces (0x81 0x40) standing in the
  // pairs at even offsets from the end; then a text up to its first zero byte.
  std::uint8_t titleBytes[kTitleBytes];
  for (std::uint8_t& b : titleBytes) b = in.u8();
  std::size_t titleLength = kTitleBytes;
  for (int offset = 40; offset >= 0; offset -= 2) {
    if (titleBytes[offset] != 0x81 || titleBytes[offset + 1] != 0x40) break;
    titleLength = static_cast<std::size_t>(offset);
  }
  titleLength = static_cast<std::size_t>(
      std::find(titleBytes, titleBytes + titleLength, std::uint8_t{0}) - titleBytes);
  title.assign(reinterpret_cast<const char*>(titleBytes), titleLength);

  // Sample file name: up to the first space (or zero byte) of its 8 bytes.
  bool nameEnded = false;
  for (int i = 0; i < 8; ++i) {
    std::uint8_t c = in.u8();
    if (c == ' ' || c == 0) nameEnded = true;
    if (!nameEnded) sampleName += static_cast<char>(c);
  }
  sampleCount = in.u8();

  // Sample directory.
  std::array<std::uint8_t, 4> tag0{};
  for (int i = 0; i < sampleCount; ++i) {
    SampleEntry& entry = samples[static_cast<std::size_t>(i)];
    entry.blocks = in.u16();
    totalBlocks_ += static_cast<std::size_t>(entry.blocks);
    if (formatVersion >= 1) in.u8();
    in.u8();  // attribute byte
    std::uint8_t tag[4];
    for (std::uint8_t& b : tag) b = in.u8();
    if (i == 0) std::copy(tag, tag + 4, tag0.begin());
  }
  hasWaveSet_ = sampleCount > 0 && isWaveSetTag(tag0.data());

  if (formatVersion >= 3) {
    patchCount_ = in.u8();
    for (int i = 0; i < patchCount_; ++i) {
      PatchEntry& p = patches_[static_cast<std::size_t>(i)];
      p.address = in.u16();
      p.d1 = in.u8();
      p.d2 = in.u8();
    }
  }
  if (formatVersion >= 4) rowsInstrument = in.u8();

  macroLength.fill(0);
  macroOffset.fill(0);
  if (formatVersion >= 2) {
    macroCount = in.u8();
    for (int i = 0; i < macroCount; ++i) {
      macroLength[static_cast<std::size_t>(i)] = in.u8();
      macroOffset[static_cast<std::size_t>(i)] = in.u16() - 0x6300;
      macroByteCount_ += static_cast<std::size_t>(macroLength[static_cast<std::size_t>(i)]);
    }
    // The macro bytes are copied only once their count is known to fit.
    macroBytesAt_ = in.position();
    in.skip(macroByteCount_);
  }
  headerPastEnd_ = in.failed();
  loopBase = in.position();
}

std::string KvSong::validate() const {
  if (macroByteCount_ > kMacroByteCapacity) {
    return msg::macroBytesTooMany(kMacroByteCapacity, macroByteCount_);
  }
  for (int i = 0; i < macroCount; ++i) {
    int length = macroLength[static_cast<std::size_t>(i)];
    int offset = macroOffset[static_cast<std::size_t>(i)];
    if (length > 0 && (offset < 0 || static_cast<std::size_t>(offset + length) > macroByteCount_)) {
      return msg::macroOutsideArea(i);
    }
  }
  if (headerPastEnd_) return msg::kHeaderPastEnd;
  if (pcmChannelCount > kMaxPcmChannels) return msg::tooManyPcmChannels(pcmChannelCount);
  if (hasWaveSet_ && samples[0].blocks > kMaxWaves) return msg::tooManyWaves(samples[0].blocks);
  std::size_t indexBytes = 2 * totalBlocks_ + 4 * static_cast<std::size_t>(sampleCount);
  if (indexBytes > kBlockIndexBytes) {
    return msg::blockTableTooLarge(kBlockIndexBytes, indexBytes);
  }
  for (int i = 0; i < patchCount_; ++i) {
    int address = patches_[static_cast<std::size_t>(i)].address;
    if (address < 0x3000 || address > 0x3FFD) {
      return msg::patchOutOfRange(hex::number(static_cast<unsigned>(address) & 0xFFFF, 4));
    }
  }
  return {};
}

std::string KvSong::parseMusic(const LoadedBytes& musicBytes) {
  reset();
  music = musicBytes;
  // A file too short for the header, or whose header breaks the format's
  // limits, is something else than a KV song; say so before any detail.
  if (music.length < kFixedHeaderBytes) return msg::notKvSong(msg::onlyBytes(music.length));
  decodeHeader();
  if (std::string reason = validate(); !reason.empty()) return msg::notKvSong(reason);
  macroBytes.fill(0);
  if (macroByteCount_ > 0) {
    std::memcpy(macroBytes.data(), music.data + macroBytesAt_, macroByteCount_);
  }
  return {};
}

std::string KvSong::parseSamples(const LoadedBytes& sampleFile) {
  // Within the zero tail (see the static_asserts), but the user is told.
  const std::size_t needed = totalBlocks_ * kBlockBytes;
  sampleBytesMissing = sampleCount > 0 && needed > sampleFile.length ? needed - sampleFile.length : 0;

  // Copies, block index table and wave set. Stale bytes of an earlier song
  // never reach this one: the tables are cleared first.
  store.clearWritten();
  // The copies and their reserves (the linear resampler writes its tails
  // there): each sample takes its blocks twice over and 8 more.
  store.markWritten((8 * static_cast<std::size_t>(sampleCount) + 2 * totalBlocks_) * kBlockBytes);
  blockIndexTable.fill(0);
  std::size_t r = 0;  // running block count in the sample file
  std::size_t t = 0;  // running position in the block index table
  for (int i = 0; i < sampleCount; ++i) {
    SampleEntry& entry = samples[static_cast<std::size_t>(i)];
    if (i == 0 && hasWaveSet_) {
      waveCount = entry.blocks;
      for (int w = 0; w < waveCount; ++w) {
        for (int j = 0; j < kWaveBytes; ++j) {
          std::uint8_t b = sampleFile.data[static_cast<std::size_t>(w) * kBlockBytes + 8 * static_cast<std::size_t>(j)];
          waveSet[static_cast<std::size_t>(w * kWaveBytes + j)] = static_cast<std::int8_t>(static_cast<std::uint8_t>(b - 128));
        }
      }
      entry.sampleBlocks = 0;
    } else {
      entry.sampleBlocks = entry.blocks;
    }
    entry.storeSlot = static_cast<int>(8 * static_cast<std::size_t>(i) + 2 * r);
    std::size_t length = static_cast<std::size_t>(entry.blocks) * kBlockBytes;
    if (length > 0) {
      std::memcpy(store.data() + static_cast<std::size_t>(entry.storeSlot) * kBlockBytes,
                  sampleFile.data + r * kBlockBytes, length);
    }
    for (int k = 0; k < entry.blocks; ++k) {
      std::size_t block = r + static_cast<std::size_t>(k);
      blockIndexTable[t++] = static_cast<std::uint8_t>(block & 0xFF);
      blockIndexTable[t++] = static_cast<std::uint8_t>((block >> 8) & 0xFF);
    }
    for (int k = 0; k < 4; ++k) blockIndexTable[t++] = 0xFF;
    r += static_cast<std::size_t>(entry.blocks);
  }
  for (int i = 0; i < patchCount_; ++i) {
    const PatchEntry& p = patches_[static_cast<std::size_t>(i)];
    std::size_t at = static_cast<std::size_t>(p.address - 0x3000);
    blockIndexTable[at] = 0xFE;
    blockIndexTable[at + 1] = p.d1;
    blockIndexTable[at + 2] = p.d2;
  }
  return {};
}

}  // namespace kvtram
