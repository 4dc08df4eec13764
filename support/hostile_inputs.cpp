#include "support/hostile_inputs.h"

namespace kvtram {

KvSongBuilder queueFloodSong(const Bytes& filler) {
  Bytes flood(14, 0xE1);
  flood.push_back(0xE0);
  flood.push_back(0xFF);
  return KvSongBuilder().version(2).pcmChannels(8).pcmMask(0xFF).macro(flood).macro(filler).stream({0xE0, 0xFF});
}

Bytes ignoredBytesFiller() { return Bytes(255, 0xF0); }

Bytes sccNotesFiller() {
  Bytes notes;
  for (int i = 0; i < 51; ++i) {
    Bytes note{static_cast<std::uint8_t>(0x80 + i % 8), 15, 0, static_cast<std::uint8_t>(0x10 + i), 0x01};
    notes.insert(notes.end(), note.begin(), note.end());
  }
  return notes;
}

KvSongBuilder longDenseSong(int frames) {
  KvSongBuilder song;
  song.version(2).pcmChannels(8).pcmMask(0xFF).sample(Bytes(512, 100)).sampleFileName("S");
  for (int f = 0; f < frames; ++f) {
    auto low = static_cast<std::uint8_t>(f);
    for (int ch = 0; ch < 8; ++ch) {
      // PCM note-on: volume, sample 0, a pitch that changes every frame.
      song.stream({static_cast<std::uint8_t>(0xA0 + ch), 15, 0, static_cast<std::uint8_t>(0x60 + (f + ch) % 64)});
    }
    for (int ch = 0; ch < 9; ++ch) {
      song.stream({static_cast<std::uint8_t>(0x10 + ch), low, static_cast<std::uint8_t>(0x20 + ch), 0x10});
    }
    song.stream({0x48, static_cast<std::uint8_t>(f & 15), 0x49, 0x0C, 0x4A, 0x08, 0xFF});
  }
  return song.stream({0xFE});
}

Bytes sharedStreamImage(int commands, int slots) {
  constexpr int kHeader = 576;
  constexpr int kBank = 16384;
  Bytes image(kHeader + kBank, 0);
  auto pointer = [&image](int offset, int address) {
    image[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(address / kBank);
    image[static_cast<std::size_t>(offset + 1)] = static_cast<std::uint8_t>(address & 0xFF);
    image[static_cast<std::size_t>(offset + 2)] = static_cast<std::uint8_t>(((address >> 8) & 63) + 0x40);
  };
  const char magic[] = "TRAM";
  for (int i = 0; i < 4; ++i) image[static_cast<std::size_t>(139 + i)] = static_cast<std::uint8_t>(magic[i]);
  for (int i = 0; i < 64; ++i) image[static_cast<std::size_t>(143 + i)] = ' ';
  auto put = [&image](const Bytes& bytes) { image.insert(image.end(), bytes.begin(), bytes.end()); };
  auto address = [&image] { return static_cast<int>(image.size()) - kHeader; };
  // PSG stream: one frame and the end; FM stream: the init block and the end.
  pointer(0, address());
  put({0xAC, 0x01, 0x69});
  pointer(48, address());
  put({0xAD});
  for (int u = 0; u < 9; ++u) put({static_cast<std::uint8_t>(0xD0 + u), 0x00, static_cast<std::uint8_t>(0xE0 + u), 0x0F});
  put({0x69});
  const int shared = address();
  const int slotOffsets[9] = {18, 24, 30, 36, 42, 108, 114, 120, 126};
  for (int s = 0; s < slots && s < 9; ++s) pointer(slotOffsets[s], shared);
  put({0xAC, 0x01});
  for (int c = 0; c < commands; ++c) {
    if (address() % kBank == kBank - 2) {  // the next-bank command and a zero
      put({0x68, 0x00});
    }
    put({0x64});
  }
  put({0x69});
  return image;
}

}  // namespace kvtram
