// What one frame of the song produces, as records with named fields: the FM
// and PSG register writes and the note events of the eight note channels
// (image/ alone turns them into the image's bytes). The caller clears it
// before every frame; the interpreter only appends and overwrites.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kvtram {

inline constexpr int kNoteChannels = 8;

// A well-formed frame makes a few hundred register writes at most, and a
// frame's writes must fit one 16 KiB bank of the image anyway (two bytes an FM
// write, three a PSG write there); a frame that makes more is refused rather
// than grown into.
inline constexpr std::size_t kMaxFmWritesPerFrame = 8192;
inline constexpr std::size_t kMaxPsgWritesPerFrame = 5461;

// Change bits of a PCM note event.
inline constexpr std::uint8_t kPcmNoteOn = 0x01;
inline constexpr std::uint8_t kPcmVolumeChange = 0x02;
inline constexpr std::uint8_t kPcmPitchChange = 0x04;
inline constexpr std::uint8_t kPcmChannelVolume = 0x08;
inline constexpr std::uint8_t kPcmChannelFrequency = 0x10;
inline constexpr std::uint8_t kPcmChannelFrequencyVolume = 0x20;

// One write of an FM register (0x00-0x3F) or a PSG register (0-15).
struct RegisterWrite {
  std::uint8_t reg = 0;
  std::uint8_t value = 0;
  friend bool operator==(const RegisterWrite&, const RegisterWrite&) = default;
};

struct PcmNoteEvent {
  std::uint8_t changes = 0;  // OR of the change bits since the caller last cleared it
  std::uint8_t volume = 0;   // low 8 bits of the channel's volume
  std::uint8_t sample = 0;   // low 8 bits of the channel's sample number
  std::uint8_t pitch = 0;    // low 8 bits of the channel's frequency (the pitch byte)
  friend bool operator==(const PcmNoteEvent&, const PcmNoteEvent&) = default;
};

struct SccNoteEvent {
  std::uint8_t volume = 0;   // 0-15
  std::uint16_t period = 0;  // 0-4095
  std::uint8_t wave = 0;     // the wave number, an index into the song's wave set
  friend bool operator==(const SccNoteEvent&, const SccNoteEvent&) = default;
};

struct FrameOutput {
  // The lengths count writes.
  std::array<RegisterWrite, kMaxFmWritesPerFrame> fmCommands{};
  std::size_t fmCommandLength = 0;
  std::array<RegisterWrite, kMaxPsgWritesPerFrame> psgCommands{};
  std::size_t psgCommandLength = 0;
  // FM writes this frame still takes; less than the buffer when something of
  // the caller's will share the frame's room in the image.
  std::size_t fmRoom = kMaxFmWritesPerFrame;

  std::array<PcmNoteEvent, kNoteChannels> pcm{};
  std::array<int, kNoteChannels> pcmEventBytes{};
  std::array<SccNoteEvent, kNoteChannels> scc{};
  std::array<int, kNoteChannels> sccEventBytes{};

  // Empties both command buffers and the event sizes, and clears every
  // channel's change bits. The event bytes themselves are left: each event
  // rewrites them whole.
  void clear() {
    fmCommandLength = 0;
    psgCommandLength = 0;
    fmRoom = kMaxFmWritesPerFrame;
    pcmEventBytes.fill(0);
    sccEventBytes.fill(0);
    for (PcmNoteEvent& event : pcm) event.changes = 0;
  }

  // False when the buffer is full (nothing is appended then).
  bool appendFm(int reg, std::uint8_t value) {
    if (fmCommandLength >= fmRoom) return false;
    fmCommands[fmCommandLength++] = {static_cast<std::uint8_t>(reg), value};
    return true;
  }
  bool appendPsg(int reg, std::uint8_t value) {
    if (psgCommandLength >= psgCommands.size()) return false;
    psgCommands[psgCommandLength++] = {static_cast<std::uint8_t>(reg), value};
    return true;
  }
};

}  // namespace kvtram
