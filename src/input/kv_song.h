// A KV song as parsed from the bytes of its files: the music file (header,
// sample directory, patch list, macro table, music stream) and its companion
// sample file (".kvp"), with the samples copied into the sample store, the
// block index table built and the wave set extracted. The files are read once
// per conversion (loadSong); every pass then plays the parsed song.
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
#include "io/zeroed_memory.h"

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
// The fixed part of the header, up to and including the sample count: a
// shorter file is no KV song.
inline constexpr std::size_t kFixedHeaderBytes = 57;

struct SampleEntry {
  int blocks = 0;        // length in 256-byte blocks, as the directory says
  int sampleBlocks = 0;  // the same, but 0 for a wave set
  int storeSlot = 0;     // first store block of the sample's copy
};

struct PatchEntry {
  int address = 0;
  std::uint8_t d1 = 0, d2 = 0;
};

class KvSong {
 public:
  KvSong();
  KvSong(const KvSong&) = delete;
  KvSong& operator=(const KvSong&) = delete;

  // A song from the bytes of its two files, read beforehand (see loadSong):
  // parseMusic, then parseSamples when the song has samples. Returns "" or the
  // reason (without a path) the file is refused.
  std::string parse(const LoadedBytes& music, const LoadedBytes& samples);

  // Decodes the music file's header and tables and checks them against the
  // tables' limits (validate) before anything is copied. The song keeps a view
  // of `music` (its stream), which must outlive it. Returns "" or the reason.
  std::string parseMusic(const LoadedBytes& music);
  // Copies the samples from the sample file's bytes into the store, builds the
  // block index table and extracts the wave set. The bytes carry the zero
  // tail (kZeroTailBytes) as FileBuffer gives them: every sample the music
  // file's checks admit lies within it, so nothing is refused here and the
  // result is always "" (kept a reason for the callers' sake); what the file
  // lacks is noted in sampleBytesMissing.
  std::string parseSamples(const LoadedBytes& samples);

  // Header fields.
  int formatVersion = 0;
  int pcmChannelCount = 0;
  int mixChannelMask = 0;
  int pcmChannelMask = 0;
  int rowsInstrument = 15;
  std::string title;       // raw Shift-JIS bytes, trimmed, at most 42
  std::string sampleName;  // the sample file's base name from the header (Shift-JIS bytes)
  std::string samplePath;  // the sample file that was read ("" when none)
  // The same as messages show it: in UTF-8 also when the file's name is the
  // header's Shift-JIS bytes.
  std::string sampleShown;
  int sampleCount = 0;
  // How many bytes the sample file lacks of what the directory says: they
  // read as zeros, as the format defines, but the user is told.
  std::size_t sampleBytesMissing = 0;

  std::array<SampleEntry, kMaxSamples> samples{};
  // The samples' copies, each with as many blocks again plus 8 as reserve.
  // Bytes beyond the copies read as zero, as in a fresh store: each load
  // clears what the last song's copies and reserves took.
  ZeroedArray<std::uint8_t> store;
  std::array<std::uint8_t, kBlockIndexBytes> blockIndexTable{};
  std::array<std::int8_t, kMaxWaves * kWaveBytes> waveSet{};
  int waveCount = 0;

  int macroCount = 0;
  std::array<int, kMaxSamples> macroLength{};
  std::array<int, kMaxSamples> macroOffset{};
  std::array<std::uint8_t, kMacroByteCapacity> macroBytes{};

  // The music file's bytes, followed by the zero tail, and where the stream starts.
  LoadedBytes music;
  std::size_t loopBase = 0;

 private:
  void reset();
  void decodeHeader();
  std::string validate() const;

  // What the header decoding leaves for the validation and the copies.
  std::array<PatchEntry, 256> patches_{};
  int patchCount_ = 0;
  std::size_t macroByteCount_ = 0;
  std::size_t macroBytesAt_ = 0;  // offset of the macro bytes in the music file
  bool headerPastEnd_ = false;
  bool hasWaveSet_ = false;
  std::size_t totalBlocks_ = 0;
};

// The files of one song, each read once per conversion.
struct SongFiles {
  FileBuffer music;
  FileBuffer samples;
};

// Reads the music file at `path` and, when the song has samples, its sample
// file, each once, and parses them into `song`. Returns "" or the reason the
// song cannot be loaded, without the music file's path (the reporter puts it
// in front); a failure of the sample file names the sample file.
std::string loadSong(const std::string& path, SongFiles& files, KvSong& song);

// Whether a sample file name from a song's header names a file in the song's
// own folder: no '/' or '\\' and no drive letter.
bool isBaseName(const std::string& name);

// The sample file of a music file: its folder + name + ".kvp", found ignoring
// ASCII case when that exact name does not exist. `name` is spelled as the
// file system names files (fileNameFromShiftJis, or its UTF-8 decoding).
std::string sampleFilePath(const std::string& musicPath, const std::string& name);

}  // namespace kvtram
