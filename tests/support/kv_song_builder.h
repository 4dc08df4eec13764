// Builds whole KV music files (and their sample files) for tests and for the
// example songs: header, sample directory, patch list, rows-instrument byte,
// macro table and music stream, laid out as the format version says.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
  // Appends to the music stream.
  KvSongBuilder& stream(const Bytes& bytes);

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
  std::vector<Bytes> macros_;
  Bytes stream_;
};

// Writes bytes to a file (a test or tool helper).
void writeBytes(const std::string& path, const Bytes& bytes);

}  // namespace kvtram
