// What the fuzz targets share: turning one fuzz input into a song on disk
// (its music file, its sample file and a few option bytes), and a check that
// stops the run loudly when a property does not hold.
//
// Input layout:
//   byte 0   flags: bit 0 SCC-I, 1 strict mid, 2 strict mid-high, 3 strict
//            high, 4 high quality, 5 the sample file is a FIFO, 6 the song
//            itself is a FIFO
//   byte 1   PSG reduction (low nibble) and FM reduction (high nibble)
//   byte 2   loop count: 1 + byte % 15
//   byte 3-4 length of the music file (little-endian; cut to what follows)
//   then     the music file, then the sample file (the rest)
// The sample file is written as "S.kvp" beside the song, so a song naming
// the sample file "S" (in any case) finds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "app/options.h"

namespace kvtram {
class Workspace;
}

namespace kvtram::fuzz {

// One workspace for all inputs of a run, as a batch keeps one, without
// spectral helper threads. In the instrumented build (where a command byte
// costs some microseconds) the work budget is kFuzzWorkBytes, some 20,000
// frames or a few dozen banks of stream in all, and the spectral resampler
// takes at most kFuzzSpectralSamples source samples per song (the variants
// beyond them are resampled linearly): no input then costs more than some
// tens of milliseconds. The replay in an ordinary build keeps the real
// budgets.
inline constexpr std::int64_t kFuzzWorkBytes = 16384;
inline constexpr std::size_t kFuzzSpectralSamples = 1024;
std::unique_ptr<Workspace> makeWorkspace();

// A fuzz input cut into its parts (layout above).
struct SongInput {
  ConversionOptions options;
  std::span<const std::uint8_t> music;
  std::span<const std::uint8_t> samples;
  bool musicIsFifo = false;
  bool samplesAreFifo = false;
};
SongInput splitInput(const std::uint8_t* data, std::size_t size);

struct StagedSong {
  ConversionOptions options;
  std::string songPath;   // <folder>/song.kv
  std::string imagePath;  // <folder>/song.trm, removed before every run
};

// Writes the song of `data` into this process's work folder (made on first
// use, reused for every input).
StagedSong stageSong(const std::uint8_t* data, std::size_t size);

bool fileExists(const std::string& path);
std::string readFile(const std::string& path);

// Prints `what` and aborts (so that libFuzzer and the replay both report it).
[[noreturn]] void fail(const std::string& what);
inline void check(bool holds, const std::string& what) {
  if (!holds) fail(what);
}

}  // namespace kvtram::fuzz
