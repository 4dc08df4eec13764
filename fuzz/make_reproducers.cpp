// Writes the reproducers of faults that fuzzing found, and seed inputs for a
// campaign, in the fuzz targets' input layout (fuzz_support.h):
//   <folder>/convert, <folder>/info   songs (and the floods for song, play)
//   <folder>/image                    images
//   <folder>/resample                 samples
//   <folder>/seeds/convert            the example songs, for a campaign's start
// The small minimized inputs are checked in under fuzz/corpus instead.
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/example_songs.h"
#include "support/hostile_inputs.h"

using namespace kvtram;

namespace {

namespace fs = std::filesystem;

enum Flags : std::uint8_t {
  kStrictMid = 2,
  kStrictMidHigh = 4,
  kSampleFifo = 32,
  kSongFifo = 64,
};

// The song's header names the sample file "S", as the targets stage it.
Bytes input(std::uint8_t flags, Bytes music, const Bytes& samples) {
  if (music.size() >= 56) {
    const char name[8] = {'S', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    for (int i = 0; i < 8; ++i) music[static_cast<std::size_t>(48 + i)] = static_cast<std::uint8_t>(name[i]);
  }
  Bytes out{flags, 0x11, 1, static_cast<std::uint8_t>(music.size() & 0xFF),
            static_cast<std::uint8_t>(music.size() >> 8)};
  out.insert(out.end(), music.begin(), music.end());
  out.insert(out.end(), samples.begin(), samples.end());
  return out;
}

// A song that names its sample file as given (the name field untouched).
Bytes namedInput(const std::string& sampleName) {
  KvSongBuilder song = KvSongBuilder().version(1).sample(Bytes(256, 128)).sampleFileName(sampleName);
  song.stream({0xFF, 0xFE});
  Bytes music = song.musicBytes();
  Bytes out{kStrictMid | kStrictMidHigh, 0x11, 1, static_cast<std::uint8_t>(music.size()), 0};
  out.insert(out.end(), music.begin(), music.end());
  Bytes samples = song.sampleBytes();
  out.insert(out.end(), samples.begin(), samples.end());
  return out;
}

void save(const fs::path& folder, const std::string& name, const Bytes& bytes) {
  fs::create_directories(folder);
  writeBytes((folder / name).string(), bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const fs::path out = argv[1];
  const std::uint8_t defaults = kStrictMid | kStrictMidHigh;

  const Bytes ignored = queueFloodSong(ignoredBytesFiller()).musicBytes();
  const Bytes notes = queueFloodSong(sccNotesFiller()).musicBytes();
  const Bytes plain = KvSongBuilder().version(1).sample(Bytes(256, 128)).stream({0xA0, 15, 0, 0x40, 0xFF, 0xFE})
                          .musicBytes();
  const Bytes plainSamples(256, 128);
  for (const char* target : {"convert", "info"}) {
    save(out / target, "queue-flood-ignored-bytes", input(defaults, ignored, {}));
    save(out / target, "queue-flood-wavetable-notes", input(defaults, notes, {}));
    save(out / target, "sample-file-is-a-fifo", input(defaults | kSampleFifo, plain, plainSamples));
    save(out / target, "song-is-a-fifo", input(defaults | kSongFifo, plain, plainSamples));
    save(out / target, "sample-name-parent-folder", namedInput("../B/S"));
    save(out / target, "sample-name-absolute", namedInput("/tmp/zz"));
    save(out / target, "sample-name-backslash", namedInput("..\\S"));
    save(out / target, "sample-name-drive-letter", namedInput("C:S"));
  }
  for (const char* target : {"song", "play"}) {
    save(out / target, "queue-flood-ignored-bytes", input(defaults, ignored, {}));
    save(out / target, "queue-flood-wavetable-notes", input(defaults, notes, {}));
  }
  save(out / "image", "nine-slots-share-one-stream", sharedStreamImage(466100, 9));
  // A loop from the last byte of a sample at a rate just above the target's.
  Bytes sample = {0x09, 1, 0, 0, 0, 0, 0, 0, 0, 43, 1, 0, 0, 0};
  for (int i = 0; i < 300; ++i) sample.push_back(static_cast<std::uint8_t>(128 + (i * 37) % 100 - 50));
  save(out / "resample", "loop-from-the-last-byte", sample);

  for (const ExampleSong& example : exampleSongs()) {
    save(out / "seeds" / "convert", example.name, input(defaults, example.song.musicBytes(), example.song.sampleBytes()));
  }
  return 0;
}
