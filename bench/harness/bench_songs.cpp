#include "harness/bench_songs.h"

#include <string>

namespace kvtram::bench {

namespace {

void append(Bytes& to, std::initializer_list<std::uint8_t> bytes) { to.insert(to.end(), bytes); }

std::uint8_t byteOf(int value) { return static_cast<std::uint8_t>(value & 0xFF); }

// Two waves for the wavetable tones (every eighth byte of a block counts).
Bytes waveSet() {
  Bytes waves(512, 128);
  for (int j = 0; j < 32; ++j) {
    waves[static_cast<std::size_t>(8 * j)] = byteOf(j < 16 ? 8 + 15 * j : 248 - 15 * (j - 16));
    waves[static_cast<std::size_t>(256 + 8 * j)] = j < 16 ? 224 : 32;
  }
  return waves;
}

// Frame `f` (from 0) of a song of `frames` frames on `channels` channels,
// with `samples` samples after the wave set (sample numbers 1 .. samples).
void noteFrame(Bytes& s, int f, int channels, int samples, int pitchBase, int pitchRange) {
  append(s, {byteOf(0x10 + f % 6), byteOf(f * 5)});  // an FM register
  append(s, {0x48, byteOf(f % 16)});                // a PSG volume
  for (int c = 0; c < channels; ++c) {
    const int phase = (f + c) % 4;
    if (phase == 0) {
      const int sample = 1 + (f / 4 + c) % samples;
      const int pitch = pitchBase + (f * 7 + c * 13) % pitchRange;
      append(s, {byteOf(0xA0 + c), byteOf(40 + (f + c) % 20), byteOf(sample), byteOf(pitch)});
    } else if (phase == 2) {
      const int frequency = 200 + (f * 3 + c * 11) % 800;
      append(s, {byteOf(0x78 + c), byteOf(f / 2), byteOf(frequency), byteOf(frequency >> 8)});
    }
  }
}

KvSongBuilder noteSong(int channels, int frames, const std::vector<Bytes>& samples,
                       int pitchBase, int pitchRange) {
  KvSongBuilder song;
  song.version(4).pcmChannels(channels).pcmMask((1 << channels) - 1).sampleFileName("bench");
  song.title("bench");
  song.sample(waveSet(), "SCC ");
  for (const Bytes& sample : samples) song.sample(sample);
  Bytes s;
  for (int f = 0; f < frames; ++f) {
    noteFrame(s, f, channels, static_cast<int>(samples.size()), pitchBase, pitchRange);
    s.push_back(f + 1 < frames ? 0xFF : 0xFE);
  }
  song.stream(s);
  return song;
}

}  // namespace

std::vector<std::uint8_t> shapedSample(std::size_t bytes, std::uint32_t seed) {
  std::vector<std::uint8_t> out(bytes);
  std::uint32_t state = seed;
  for (std::size_t i = 0; i < out.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    const unsigned noise = (state >> 24) & 0x3F;
    const unsigned ramps = (i * 3 + (i * 7 >> 3)) & 0x7F;
    out[i] = static_cast<std::uint8_t>(64 + (ramps + noise) / 2 + (noise & 1) * 32);
  }
  return out;
}

KvSongBuilder allSpectralSong() {
  KvSongBuilder song;
  song.version(4).pcmChannels(1).pcmMask(0x01).sampleFileName("spectral").title("all spectral");
  song.sample(shapedSample(65536));
  Bytes s;
  append(s, {0xA0, 0x3F, 0x00, 100, 0xFF});  // mid
  append(s, {0xFF, 0xC0, 150, 0xFF});        // mid-high (pitch change in the note)
  append(s, {0xFF, 0xA0, 0x3F, 0x00, 200, 0xFF});  // high
  append(s, {0xFF, 0xFF, 0xFE});
  song.stream(s);
  return song;
}

ConversionOptions allSpectralOptions() {
  ConversionOptions options;
  options.strictMid = true;
  options.strictMidHigh = true;
  options.strictHigh = true;
  options.highQuality = true;
  return options;
}

KvSongBuilder longSong(int channels, int frames) {
  Bytes saw(256);
  for (std::size_t i = 0; i < saw.size(); ++i) saw[i] = byteOf(32 + static_cast<int>(i % 64) * 3);
  return noteSong(channels, frames, {saw}, 40, 80);
}

KvSongBuilder smallSong() {
  Bytes saw(256);
  for (std::size_t i = 0; i < saw.size(); ++i) saw[i] = byteOf(32 + static_cast<int>(i % 64) * 3);
  return noteSong(1, 40, {saw}, 60, 60);
}

KvSongBuilder typicalSong() {
  std::vector<Bytes> samples;
  for (int i = 0; i < 4; ++i) samples.push_back(shapedSample(8192 + 2048 * static_cast<std::size_t>(i), 77 + i));
  KvSongBuilder song = noteSong(4, 3000, samples, 60, 120);
  song.loop(2, 8).loop(4, 16);
  return song;
}

KvSongBuilder batchSong(int index) {
  const std::size_t blocks = 1 + static_cast<std::size_t>(index % 4);
  KvSongBuilder song = noteSong(1 + index % 4, 200 + 37 * (index % 11),
                                {shapedSample(blocks * 256, 1000 + static_cast<std::uint32_t>(index))}, 50, 100);
  song.sampleFileName("b" + std::to_string(index));
  return song;
}

}  // namespace kvtram::bench
