// The conversion of one file, front to back (read, every pass, write), on two
// songs where the passes rather than the resamplers take the time: a long
// song without samples (20000 frames of PSG and FM writes) and a song with
// eight PCM channels (one short sample, a note on every channel every few
// frames), resampled linearly so that the spectral resampler does not hide
// what the passes cost.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "app/convert_file.h"
#include "app/workspace.h"
#include "support/kv_song_builder.h"
#include "support/temp_dir.h"

namespace {

using kvtram::KvSongBuilder;

KvSongBuilder longSongWithoutSamples() {
  KvSongBuilder song;
  for (int frame = 0; frame < 20000; ++frame) {
    const auto v = static_cast<std::uint8_t>(frame);
    song.stream({0x48, static_cast<std::uint8_t>(v & 0x0F), 0x30, v, 0x10, v, 0xFF});
  }
  song.stream({0xFE});
  return song;
}

KvSongBuilder eightChannelSong() {
  KvSongBuilder song;
  song.pcmChannels(8).pcmMask(0xFF).sampleOfBlocks(4, [](std::size_t i) {
    return static_cast<std::uint8_t>(96 + (i * 5) % 64);
  });
  for (int frame = 0; frame < 6000; ++frame) {
    if (frame % 4 == 0) {
      for (std::uint8_t ch = 0; ch < 8; ++ch) {
        song.stream({static_cast<std::uint8_t>(0xA0 + ch), 48, 0,
                     static_cast<std::uint8_t>(64 + (frame + 20 * ch) % 190)});
      }
    }
    song.stream({0x47, static_cast<std::uint8_t>(frame), 0xFF});
  }
  song.stream({0xFE});
  return song;
}

void runConversion(benchmark::State& state, const KvSongBuilder& song) {
  kvtram::TempDir dir;
  const std::string path = song.write(dir.path(), "song");
  const std::string image = dir.path() + "/song.trm";
  kvtram::ConversionOptions options;
  options.strictMid = options.strictMidHigh = options.strictHigh = false;
  auto workspace = std::make_unique<kvtram::Workspace>();
  for (auto _ : state) {
    std::string failure = kvtram::convertFile(*workspace, path, image, options);
    if (!failure.empty()) state.SkipWithError(failure.c_str());
  }
}

void BM_ConvertLongSongWithoutSamples(benchmark::State& state) {
  runConversion(state, longSongWithoutSamples());
}
BENCHMARK(BM_ConvertLongSongWithoutSamples)->Unit(benchmark::kMillisecond);

void BM_ConvertEightChannelSong(benchmark::State& state) { runConversion(state, eightChannelSong()); }
BENCHMARK(BM_ConvertEightChannelSong)->Unit(benchmark::kMillisecond);

}  // namespace
