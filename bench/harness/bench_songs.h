// The songs the benchmarks convert, made with the project's KV song builder,
// so every run measures the same bytes on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/options.h"
#include "support/kv_song_builder.h"

namespace kvtram::bench {

// A deterministic sample with some shape: wrapping ramps of different speeds
// plus noise from a linear congruential generator (no silent frame, so the
// spectral resampler does all its work).
std::vector<std::uint8_t> shapedSample(std::size_t bytes, std::uint32_t seed = 12345);

// One 64 KiB sample whose notes need all three variants (pitches 100, 150 and
// 200 with high quality on), all of them resampled spectrally with
// allSpectralOptions().
KvSongBuilder allSpectralSong();
ConversionOptions allSpectralOptions();

// A song of `frames` frames on `channels` PCM channels (1-8): every frame
// writes FM and PSG registers, and on every channel a sample note-on or a
// wavetable tone falls every other frame. Its one sample is a single block,
// so the passes over the song, not the resampling, make the cost.
KvSongBuilder longSong(int channels, int frames);

// One channel, one one-block sample, a few dozen frames.
KvSongBuilder smallSong();

// Four channels, four samples of 8-16 KiB (two looped), 3,000 frames with
// notes in the mid and high ranges: what a song usually holds.
KvSongBuilder typicalSong();

// Song `index` of a batch: 1-4 channels, a sample of 1-4 blocks, 200-570
// frames, varied by the index.
KvSongBuilder batchSong(int index);

}  // namespace kvtram::bench
