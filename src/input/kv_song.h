// A KV song as loaded: the music file (header, sample directory, patch list,
// macro table, music stream) and its companion sample file (".kvp"), with the
// samples copied into the sample store, the block index table built and the
// wave set extracted.
//
// Music file layout (little-endian):
//   0      version (high nibble) and PCM channel count (low nibble)
//   1..3   unused
//   4      mix channel mask, 5 PCM channel mask
//   6..47  title (Shift-JIS), 48..55 sample file name (space padded), 56 sample count
//   then the sample directory (7-byte entries in version 0, else 8), the patch
//   list (version 3+), the rows-instrument byte (version 4+), the macro table
//   (version 2+), and the music stream up to the end of the file.
// The sample file is the samples' 256-byte blocks one after the other.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "io/file_io.h"

namespace kvtram {

inline constexpr int kMaxSamples = 256;
inline constexpr int kStoreBlocks = 16384;
inline constexpr std::size_t kBlockBytes = 256;
inline constexpr std::size_t kBlockIndexBytes = 4096;
inline constexpr std::size_t kMacroByteCapacity = 8192;
inline constexpr int kMaxWaves = 256;
inline constexpr int kWaveBytes = 32;
inline constexpr int kMaxPcmChannels = 8;
inline constexpr std::size_t kTitleBytes = 42;

struct SampleEntry {
  int blocks = 0;        // length in 256-byte blocks, as the directory says
  int sampleBlocks = 0;  // the same, but 0 for a wave set
  int storeSlot = 0;     // first store block of the sample's copy
};

class KvSong {
 public:
  KvSong();
  KvSong(const KvSong&) = delete;
  KvSong& operator=(const KvSong&) = delete;

  // Reads and decodes the music file at `path` and its sample file. Returns ""
  // or the failure text: a read failure of either file as the file services
  // word it, or path + " : " + the reason a file is beyond the tables.
  std::string load(const std::string& path);

  // Header fields.
  int formatVersion = 0;
  int pcmChannelCount = 0;
  int mixChannelMask = 0;
  int pcmChannelMask = 0;
  int rowsInstrument = 15;
  std::string title;       // raw Shift-JIS bytes, trimmed, at most 42
  std::string sampleName;  // the sample file's base name from the header
  std::string samplePath;  // the sample file that was read ("" when none)
  int sampleCount = 0;

  std::array<SampleEntry, kMaxSamples> samples{};
  // The samples' copies, each with as many blocks again plus 8 as reserve.
  std::vector<std::uint8_t> store;
  std::array<std::uint8_t, kBlockIndexBytes> blockIndexTable{};
  std::array<std::int8_t, kMaxWaves * kWaveBytes> waveSet{};
  int waveCount = 0;

  int macroCount = 0;
  std::array<int, kMaxSamples> macroLength{};
  std::array<int, kMaxSamples> macroOffset{};
  std::array<std::uint8_t, kMacroByteCapacity> macroBytes{};

  // The music file's bytes, followed by the zero tail, and where the stream starts.
  FileBuffer music;
  std::size_t loopBase = 0;
  FileBuffer sampleFile;

 private:
  void reset();
};

// The sample file of a music file: its folder + name + ".kvp", found ignoring
// ASCII case when that exact name does not exist.
std::string sampleFilePath(const std::string& musicPath, const std::string& name);

}  // namespace kvtram
