// Builds whole KV music files (and their sample files) for the tests, the
// benchmarks and the example songs (it lives in support/ so that all three may use it): header, sample directory, patch list, rows-instrument byte,
// macro table and music stream, laid out as the format version says.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The command codes that streams and macros are written with.
#include "input/kv_format.h"

namespace kvtram {

using Bytes = std::vector<std::uint8_t>;

class KvSongBuilder {
 public:
  KvSongBuilder& version(int v) { version_ = v; return *this; }
  KvSongBuilder& pcmChannels(int n) { pcmChannels_ = n; return *this; }
  KvSongBuilder& mixMask(int m) { mixMask_ = m; return *this; }
  KvSongBuilder& pcmMask(int m) { pcmMask_ = m; return *this; }
  // The title field's bytes; padded with zero bytes to 42.
  KvSongBuilder& title(const std::string& bytes) { title_ = bytes; return *this; }
  // The sample file's base name (at most 8 bytes; padded with spaces).
  KvSongBuilder& sampleFileName(const std::string& name) { sampleName_ = name; return *this; }
  // Adds a sample; its data are padded with 128 to whole 256-byte blocks.
  // Returns the builder; the sample's number is the count of samples before it.
  KvSongBuilder& sample(const Bytes& data, const std::string& tag = "PCM ");
  // Adds a sample of `blocks` blocks whose bytes are given by a formula.
  KvSongBuilder& sampleOfBlocks(int blocks, std::uint8_t (*byteAt)(std::size_t), const std::string& tag = "PCM ");
  // A loop of `blocks` blocks at the end of sample `index` (a patch over its
  // end marker; needs version 3 or later).
  KvSongBuilder& loop(int index, int blocks);
  KvSongBuilder& patch(int address, std::uint8_t d1, std::uint8_t d2);
  KvSongBuilder& rowsInstrument(int value) { rowsInstrument_ = value; return *this; }
  // Adds a macro (laid out one after the other in the macro bytes).
  KvSongBuilder& macro(const Bytes& bytes);
  // Adds a macro table entry as given (`address` is 0x6300 + its offset in the
  // macro bytes), without adding bytes; for macros that overlap or lie
  // elsewhere. The file holds as many macro bytes as the entries' lengths add
  // up to: those of macro() and macroBytes() in order, padded with zeros or cut.
  KvSongBuilder& macroEntry(int length, int address);
  // Appends raw bytes to the macro bytes.
  KvSongBuilder& macroBytes(const Bytes& bytes);
  // Appends to the music stream.
  KvSongBuilder& stream(const Bytes& bytes);
  // The stream's length so far: the offset (from the stream's start) of the
  // next byte appended, as loop jumps count it.
  int streamLength() const { return static_cast<int>(stream_.size()); }
  // The value of every byte the format reads and does not use (header bytes
  // 1-3, and per directory entry the byte after the length and the attribute).
  KvSongBuilder& filler(std::uint8_t value) { filler_ = value; return *this; }

  Bytes musicBytes() const;
  Bytes sampleBytes() const;
  // Writes folder/name.kv and, when there are samples, folder/<sample name>.kvp;
  // returns the music file's path.
  std::string write(const std::string& folder, const std::string& name) const;

  // Offset of the end marker of sample `index` in the block index table.
  int endMarkerOffset(int index) const;

 private:
  struct Sample {
    Bytes data;
    std::string tag;
  };
  struct Patch {
    int address;
    std::uint8_t d1, d2;
  };
  int version_ = 4;
  int pcmChannels_ = 0;
  int mixMask_ = 0;
  int pcmMask_ = 0;
  std::string title_;
  std::string sampleName_ = "SAMPLES";
  std::vector<Sample> samples_;
  std::vector<Patch> patches_;
  int rowsInstrument_ = 15;
  struct MacroEntry {
    int length;
    int address;
  };
  std::vector<MacroEntry> macroEntries_;
  Bytes macroBytes_;
  Bytes stream_;
  std::uint8_t filler_ = 0;
};

class KvSong;
struct SongFiles;

// Parses the builder's song from its bytes in memory, as loadSong does from
// the files that write() makes (without a sample path); returns "" or the reason.
std::string parseInMemory(const KvSongBuilder& builder, SongFiles& files, KvSong& song);

// The first field in which two parsed songs differ for the passes that read
// them (header fields, tables, store, wave set, macros, stream), "" if none.
std::string songDifference(const KvSong& a, const KvSong& b);

// Writes bytes to a file (a test or tool helper).
void writeBytes(const std::string& path, const Bytes& bytes);

}  // namespace kvtram
