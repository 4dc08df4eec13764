// kvtram-make-song-corpus OUTDIR [COUNT]: writes COUNT (default 300) generated
// KV songs with their sample files into OUTDIR, for comparing the images of
// two builds byte for byte. Every run writes the same bytes: the songs come
// from a fixed-seed xorshift generator and integer arithmetic only.
//
// The songs aim at the resamplers: PCM channels playing notes across the
// pitch ranges of all three variants, samples of noise, of tones (integer
// triangle and square waves at odd periods), of both mixed, of silence
// and of clipped extremes, from one block to a few dozen, looped or not.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "support/kv_song_builder.h"
#include "support/xorshift_random.h"

namespace {

using kvtram::Bytes;
using kvtram::KvSongBuilder;
namespace kv = kvtram::kv;

// The corpus keeps its own sequence of the shared generator.
class Random : public kvtram::XorshiftRandom {
 public:
  explicit Random(std::uint64_t seed) : XorshiftRandom(seed, 7) {}
};

std::uint8_t clampByte(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

Bytes sampleData(Random& rng) {
  const int blocks = rng.chance(70) ? 1 + rng.below(8) : 8 + rng.below(40);
  Bytes data(static_cast<std::size_t>(blocks) * 256);
  const int kind = rng.below(6);
  const int period = 3 + rng.below(200);
  const int amplitude = 10 + rng.below(118);
  const int noise = 1 + rng.below(64);
  for (std::size_t i = 0; i < data.size(); ++i) {
    const int phase = static_cast<int>(i % static_cast<std::size_t>(period));
    const int triangle = (phase < period / 2 ? phase : period - phase) * 4 * amplitude / period - amplitude;
    const int square = phase < period / 2 ? amplitude : -amplitude;
    const int hiss = rng.below(2 * noise + 1) - noise;
    int v = 0;
    switch (kind) {
      case 0: v = triangle; break;
      case 1: v = square; break;
      case 2: v = rng.below(256) - 128; break;
      case 3: v = triangle + hiss; break;
      case 4: v = (triangle + square) * 3 / 2 + hiss; break;  // clips at the extremes
      default: v = i < data.size() / 3 ? 0 : triangle / 2 + hiss; break;
    }
    data[i] = clampByte(128 + v);
  }
  return data;
}

KvSongBuilder generateSong(std::uint64_t seed) {
  Random rng(seed);
  KvSongBuilder b;
  const int channels = 1 + rng.below(3);
  char sampleName[16];
  std::snprintf(sampleName, sizeof sampleName, "c%u", static_cast<unsigned>(seed));
  b.version(4).pcmChannels(channels).pcmMask(rng.below(256)).sampleFileName(sampleName);
  const int samples = 1 + rng.below(4);
  for (int i = 0; i < samples; ++i) {
    Bytes data = sampleData(rng);
    const int blocks = static_cast<int>(data.size() / 256);
    b.sample(data);
    if (blocks >= 3 && rng.chance(40)) b.loop(i, 2 + rng.below(blocks - 1));
  }

  Bytes s;
  std::vector<bool> started(static_cast<std::size_t>(channels), false);
  const int frames = 30 + rng.below(150);
  for (int f = 0; f < frames; ++f) {
    for (int c = 0; c < channels; ++c) {
      if (!rng.chance(25)) continue;
      const auto ch = static_cast<std::uint8_t>(c);
      const auto sample = static_cast<std::uint8_t>(rng.below(samples));
      // Pitch bytes from every range, so that all three variants are made.
      const auto pitch = static_cast<std::uint8_t>(rng.chance(50) ? rng.byte() : 60 + rng.below(140));
      // A channel's first event is a note, as the PCM streams need it.
      const int roll = started[static_cast<std::size_t>(c)] ? rng.below(4) : 2;
      started[static_cast<std::size_t>(c)] = true;
      switch (roll) {
        case 0: s.insert(s.end(), {static_cast<std::uint8_t>(kv::kPcmNoteOnMidPitch + ch), pitch, sample}); break;
        case 1: s.insert(s.end(), {static_cast<std::uint8_t>(kv::kPcmPitch + ch), rng.byte()}); break;
        default: s.insert(s.end(), {static_cast<std::uint8_t>(kv::kPcmNoteOn + ch), pitch, sample, rng.byte()});
      }
    }
    if (rng.chance(30)) {
      s.insert(s.end(), {static_cast<std::uint8_t>(kv::kFmRegisterWrite + rng.below(64)), rng.byte()});
    }
    s.push_back(kv::kFrameEnd);
  }
  s.push_back(kv::kSongEnd);
  b.stream(s);
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::cerr << "usage: kvtram-make-song-corpus OUTDIR [COUNT]\n";
    return 2;
  }
  const std::string folder = argv[1];
  const int count = argc == 3 ? std::stoi(argv[2]) : 300;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::cerr << folder << " : フォルダを作成できませんでした\n";
    return 1;
  }
  for (int i = 0; i < count; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "c%04d", i);
    generateSong(static_cast<std::uint64_t>(i)).write(folder, name);
  }
  return 0;
}
