#include "support/kv_song_builder.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "input/kv_song.h"

namespace kvtram {

std::string parseInMemory(const KvSongBuilder& builder, SongFiles& files, KvSong& song) {
  if (!files.music.assign(builder.musicBytes()) || !files.samples.assign(builder.sampleBytes())) {
    return "too large";
  }
  return song.parse(files.music.bytes(), files.samples.bytes());
}

std::string songDifference(const KvSong& a, const KvSong& b) {
  auto sameSamples = [&] {
    for (std::size_t i = 0; i < static_cast<std::size_t>(a.sampleCount); ++i) {
      const SampleEntry& x = a.samples[i];
      const SampleEntry& y = b.samples[i];
      if (x.blocks != y.blocks || x.sampleBlocks != y.sampleBlocks || x.storeSlot != y.storeSlot) return false;
    }
    return true;
  };
  auto sameStream = [&] {
    if (a.music.readable - a.loopBase != b.music.readable - b.loopBase) return false;
    return std::equal(a.music.data + a.loopBase, a.music.data + a.music.readable, b.music.data + b.loopBase);
  };
  if (a.formatVersion != b.formatVersion || a.pcmChannelCount != b.pcmChannelCount ||
      a.mixChannelMask != b.mixChannelMask || a.pcmChannelMask != b.pcmChannelMask ||
      a.rowsInstrument != b.rowsInstrument || a.title != b.title || a.sampleCount != b.sampleCount) {
    return "header";
  }
  if (!sameSamples()) return "sample directory";
  if (!std::equal(a.store.begin(), a.store.end(), b.store.begin(), b.store.end())) return "sample store";
  if (a.blockIndexTable != b.blockIndexTable) return "block index table";
  if (a.waveCount != b.waveCount || a.waveSet != b.waveSet) return "wave set";
  if (a.macroCount != b.macroCount || a.macroLength != b.macroLength || a.macroOffset != b.macroOffset ||
      a.macroBytes != b.macroBytes) {
    return "macros";
  }
  if (!sameStream()) return "music stream";
  return {};
}

KvSongBuilder& KvSongBuilder::sample(const Bytes& data, const std::string& tag) {
  Bytes padded = data;
  while (padded.size() % 256 != 0) padded.push_back(128);
  samples_.push_back({padded, tag});
  return *this;
}

KvSongBuilder& KvSongBuilder::sampleOfBlocks(int blocks, std::uint8_t (*byteAt)(std::size_t),
                                             const std::string& tag) {
  Bytes data(static_cast<std::size_t>(blocks) * 256);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = byteAt(i);
  samples_.push_back({data, tag});
  return *this;
}

int KvSongBuilder::endMarkerOffset(int index) const {
  int t = 0;
  for (int i = 0; i < index; ++i) t += static_cast<int>(samples_[static_cast<std::size_t>(i)].data.size() / 256) * 2 + 4;
  return t + static_cast<int>(samples_[static_cast<std::size_t>(index)].data.size() / 256) * 2;
}

KvSongBuilder& KvSongBuilder::loop(int index, int blocks) {
  // A patch at the marker's second byte turns FF FF FF FF into FF FE V V, and
  // the loop length in blocks is (0x10003 - V) / 2.
  if (blocks < 2) throw std::logic_error("the loop marker holds loops of 2 blocks or more");
  int v = 0x10003 - 2 * blocks;
  return patch(0x3000 + endMarkerOffset(index) + 1, static_cast<std::uint8_t>(v & 0xFF),
               static_cast<std::uint8_t>(v >> 8));
}

KvSongBuilder& KvSongBuilder::patch(int address, std::uint8_t d1, std::uint8_t d2) {
  patches_.push_back({address, d1, d2});
  return *this;
}

KvSongBuilder& KvSongBuilder::macro(const Bytes& bytes) {
  macroEntries_.push_back({static_cast<int>(bytes.size()), 0x6300 + static_cast<int>(macroBytes_.size())});
  return macroBytes(bytes);
}

KvSongBuilder& KvSongBuilder::macroEntry(int length, int address) {
  macroEntries_.push_back({length, address});
  return *this;
}

KvSongBuilder& KvSongBuilder::macroBytes(const Bytes& bytes) {
  macroBytes_.insert(macroBytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

KvSongBuilder& KvSongBuilder::stream(const Bytes& bytes) {
  stream_.insert(stream_.end(), bytes.begin(), bytes.end());
  return *this;
}

Bytes KvSongBuilder::musicBytes() const {
  Bytes out;
  auto u8 = [&out](int v) { out.push_back(static_cast<std::uint8_t>(v)); };
  auto u16 = [&](int v) { u8(v & 0xFF); u8((v >> 8) & 0xFF); };
  u8((version_ << 4) | (pcmChannels_ & 0x0F));
  u16(filler_ * 0x101);
  u8(filler_);
  u8(mixMask_);
  u8(pcmMask_);
  std::string title = title_;
  title.resize(42, '\0');
  for (char c : title) u8(static_cast<unsigned char>(c));
  std::string name = sampleName_;
  name.resize(8, ' ');
  for (char c : name) u8(static_cast<unsigned char>(c));
  u8(static_cast<int>(samples_.size()));
  for (const Sample& s : samples_) {
    u16(static_cast<int>(s.data.size() / 256));
    if (version_ >= 1) u8(filler_);
    u8(filler_);  // attribute
    std::string tag = s.tag;
    tag.resize(4, ' ');
    for (char c : tag) u8(static_cast<unsigned char>(c));
  }
  if (version_ >= 3) {
    u8(static_cast<int>(patches_.size()));
    for (const Patch& p : patches_) {
      u16(p.address);
      u8(p.d1);
      u8(p.d2);
    }
  } else if (!patches_.empty()) {
    throw std::logic_error("patches need version 3 or later");
  }
  if (version_ >= 4) u8(rowsInstrument_);
  if (version_ >= 2) {
    u8(static_cast<int>(macroEntries_.size()));
    std::size_t total = 0;
    for (const MacroEntry& m : macroEntries_) {
      u8(m.length);
      u16(m.address);
      total += static_cast<std::size_t>(m.length & 0xFF);
    }
    Bytes data = macroBytes_;
    data.resize(total, 0);
    out.insert(out.end(), data.begin(), data.end());
  } else if (!macroEntries_.empty()) {
    throw std::logic_error("macros need version 2 or later");
  }
  out.insert(out.end(), stream_.begin(), stream_.end());
  return out;
}

Bytes KvSongBuilder::sampleBytes() const {
  Bytes out;
  for (const Sample& s : samples_) out.insert(out.end(), s.data.begin(), s.data.end());
  return out;
}

std::string KvSongBuilder::write(const std::string& folder, const std::string& name) const {
  std::string path = folder + "/" + name + ".kv";
  writeBytes(path, musicBytes());
  if (!samples_.empty()) writeBytes(folder + "/" + sampleName_ + ".kvp", sampleBytes());
  return path;
}

void writeBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace kvtram
