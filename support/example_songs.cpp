#include "support/example_songs.h"

#include <cstdint>

#include "io/file_io.h"

namespace kvtram {

namespace {

void append(Bytes& to, const Bytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

void emptyFrames(Bytes& to, int count) { to.insert(to.end(), static_cast<std::size_t>(count), kv::kFrameEnd); }

// A loop jump to `target`, an offset from the first byte of the music stream.
Bytes loopJump(std::size_t target) {
  return {kv::kLoopJump, static_cast<std::uint8_t>(target / kv::kLoopBankBytes), static_cast<std::uint8_t>(target & 0xFF),
          static_cast<std::uint8_t>((target / 256) % 64)};
}

}  // namespace

KvSongBuilder fmPsgSccExample() {
  KvSongBuilder song;
  // "FM/PSG/SCC れい ｻﾝﾌﾟﾙ": ASCII, hiragana and half-width katakana; 21 bytes.
  song.version(4).pcmChannels(2).pcmMask(0x00).mixMask(0x03).rowsInstrument(0x30);
  song.title("FM/PSG/SCC \x82\xEA\x82\xA2 \xBB\xDD\xCC\xDF\xD9");
  song.macro({0x48, 0x0A, 0x49, 0x08, 0x4A, 0x1F});  // 0: PSG volumes, channel C on the envelope
  song.macro({0x22, 0x12, 0xFF, 0x22, 0x02});        // 1: FM key on, and off in the next frame

  Bytes s;
  // Frame 1: the user instrument, two FM notes, PSG set-up, a SCC note on channel 0.
  append(s, {0xA8, 0x61, 0x61, 0x1E, 0x17, 0xF0, 0x7F, 0x00, 0x17});
  append(s, {0x30, 0x03, 0x10, 0xAB, 0x20, 0x1C});
  append(s, {0x31, 0x35, 0x11, 0x57, 0x21, 0x1B});
  append(s, {0x47, 0x38, 0x40, 0xFE, 0x41, 0x00, 0x48, 0x0C});
  append(s, {0x80, 0x3C, 0x00, 0xE8, 0x03, 0xFF});
  emptyFrames(s, 1);
  // Frame 3: compact SCC notes on channels 0 and 1, PSG channel A on the envelope.
  append(s, {0xD1, 0x23, 0x1F, 0x40, 0x2C, 0x48, 0x10, 0xFF});
  // Frame 4: row mode on FM channels 0-1: a dense row (volume nibbles F and F,
  // notes 0x28 and 0x2C), whose last byte's low nibble 3 is the next row: a
  // wait of three silent rows (frames 5-7).
  append(s, {0xAD, 0x02, 0x9F, 0x28, 0xF3, 0x2C, 0xFF});
  emptyFrames(s, 3);
  // Frame 8: the row step reads the mask row 00 00, which ends row mode.
  append(s, {0x00, 0x00, 0x21, 0x0B, 0xFF});
  // A long rest: more frames than one short wait covers.
  emptyFrames(s, 260);

  // The looped section, played twice.
  const std::size_t loopTarget = s.size();
  append(s, {0xE0, 0x61, 0xF4, 0x01, 0xFF});  // macro 0; channel 1's frequency
  append(s, {0x51, 0x30, 0x32, 0x17, 0xFF});  // channel 1's volume; FM channel 2
  append(s, {0xE1, 0xFF});                    // macro 1 ends this frame from inside
  emptyFrames(s, 12);
  append(s, loopJump(loopTarget));
  append(s, {0xFE});
  song.stream(s);
  return song;
}

KvSongBuilder pcmExample() {
  KvSongBuilder song;
  // "PCM ｻﾝﾌﾟﾙ ＃２": ASCII, half-width katakana, full-width symbol and digit.
  song.version(4).pcmChannels(2).pcmMask(0x03).mixMask(0x03).sampleFileName("pcm");
  song.title("PCM \xBB\xDD\xCC\xDF\xD9 \x81\x94\x82\x51");

  // Sample 0: two waves (only every eighth byte of a block counts): a
  // triangle and a square.
  Bytes waves(512, 128);
  for (int j = 0; j < 32; ++j) {
    waves[static_cast<std::size_t>(8 * j)] = static_cast<std::uint8_t>(j < 16 ? 8 + 15 * j : 248 - 15 * (j - 16));
    waves[static_cast<std::size_t>(256 + 8 * j)] = j < 16 ? 224 : 32;
  }
  song.sample(waves, "SCC ");
  // Sample 1: four blocks of a sawtooth, its last two blocks looped.
  Bytes saw(1024);
  for (std::size_t i = 0; i < saw.size(); ++i) saw[i] = static_cast<std::uint8_t>(32 + (i % 64) * 3);
  song.sample(saw).loop(1, 2);
  // Sample 2: three blocks of noise dying away, not looped.
  Bytes noise(768);
  std::uint32_t x = 12345;
  for (std::size_t i = 0; i < noise.size(); ++i) {
    x = x * 1103515245u + 12345u;
    int amplitude = static_cast<int>(x >> 24) - 128;
    noise[i] = static_cast<std::uint8_t>(128 + amplitude * static_cast<int>(noise.size() - i) / 768);
  }
  song.sample(noise);

  Bytes s;
  // Frame 1: channel 0 note-on (sample 1, pitch 100: mid variant); channel 1
  // plays a SCC note (wave 0, volume 60); a little PSG.
  append(s, {0xA0, 0x3C, 0x01, 0x64, 0x71, 0x00, 0x3C, 0x47, 0x3E, 0x48, 0x0A, 0x40, 0x80, 0xFF});
  emptyFrames(s, 1);
  append(s, {0xC0, 0x96, 0xFF});              // 3: pitch 150 in the same note: the note needs a higher variant
  append(s, {0x79, 0x01, 0xF4, 0x01, 0xFF});  // 4: channel 1 SCC note, wave 1, frequency 500
  append(s, {0xB8, 0x28, 0xFF});              // 5: channel 0 volume 40
  emptyFrames(s, 2);
  append(s, {0xA0, 0x3F, 0x02, 0x80, 0xFF});  // 8: note-on, sample 2, pitch 128
  append(s, {0xA1, 0x3C, 0x02, 0x40, 0xFF});  // 9: channel 1 turns to samples: pitch 64
  emptyFrames(s, 1);
  append(s, {0x51, 0x30, 0xFF});              // 11: channel 1 volume (a PCM channel's volume command)
  append(s, {0xB0, 0x32, 0x01, 0xFF});        // 12: channel 0 note-on at pitch 0x80
  append(s, {0x61, 0xC8, 0x00, 0xFF});        // 13: channel 1 frequency: pitch 200
  emptyFrames(s, 2);
  append(s, {0xA0, 0x3C, 0x01, 0xC8, 0xFF});  // 16: pitch 200: high variant
  emptyFrames(s, 1);
  append(s, {0xC0, 0xFF, 0xFF});              // 18: pitch 255
  emptyFrames(s, 1);
  append(s, {0xA0, 0x37, 0x02, 0xBB, 0xA1, 0x37, 0x01, 0xBA, 0xFF});  // 20: pitches 187 and 186
  emptyFrames(s, 1);
  append(s, {0xA0, 0x30, 0x01, 0x81, 0xFF});  // 22: pitch 129
  append(s, {0x59, 0x00, 0xFF});              // 23: channel 1 back to SCC notes
  // 24: a PCM and an SCC note on channel 1 in one frame: the stream keeps the PCM note.
  append(s, {0xA1, 0x3C, 0x01, 0x81, 0x79, 0x01, 0xE8, 0x03, 0xFF});
  emptyFrames(s, 6);
  append(s, {0xFE});
  song.stream(s);
  return song;
}

std::vector<ExampleSong> exampleSongs() {
  return {{"fm_psg_scc", "", fmPsgSccExample()}, {"pcm", "pcm", pcmExample()}};
}

std::string writeExampleSongs(const std::string& folder, std::vector<std::string>* written) {
  for (const ExampleSong& example : exampleSongs()) {
    std::string path = folder + "/" + example.name + ".kv";
    if (std::string failure = writeWholeFile(path, example.song.musicBytes()); !failure.empty()) {
      return path + " : " + failure;
    }
    if (written) written->push_back(path);
    Bytes samples = example.song.sampleBytes();
    if (samples.empty()) continue;
    std::string samplePath = folder + "/" + example.sampleName + ".kvp";
    if (std::string failure = writeWholeFile(samplePath, samples); !failure.empty()) {
      return samplePath + " : " + failure;
    }
    if (written) written->push_back(samplePath);
  }
  return {};
}

}  // namespace kvtram
