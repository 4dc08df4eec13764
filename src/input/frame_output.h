// What one frame of the song produces: the FM register pairs, the PSG register
// triplets and the note events of the eight note channels. The caller clears it
// before every frame; the interpreter only appends and overwrites.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kvtram {

inline constexpr int kNoteChannels = 8;

// A well-formed frame adds a few hundred bytes at most, and a frame's bytes
// must fit one 16 KiB bank of the image anyway; a frame that produces more is
// refused rather than grown into.
inline constexpr std::size_t kFrameCommandCapacity = 16384;

// The image's register write commands, made here frame by frame: PSG
// kPsgWriteCommand, register, value; FM kFmWriteCommand + register, value.
inline constexpr std::uint8_t kPsgWriteCommand = 0x8F;
inline constexpr std::uint8_t kFmWriteCommand = 0xB0;

// Change bits of a PCM note event.
inline constexpr std::uint8_t kPcmNoteOn = 0x01;
inline constexpr std::uint8_t kPcmVolumeChange = 0x02;
inline constexpr std::uint8_t kPcmPitchChange = 0x04;
inline constexpr std::uint8_t kPcmChannelVolume = 0x08;
inline constexpr std::uint8_t kPcmChannelFrequency = 0x10;
inline constexpr std::uint8_t kPcmChannelFrequencyVolume = 0x20;

struct PcmNoteEvent {
  std::uint8_t changes = 0;  // OR of the change bits since the caller last cleared it
  std::uint8_t volume = 0;   // low 8 bits of the channel's volume
  std::uint8_t sample = 0;   // low 8 bits of the channel's wave (the sample number)
  std::uint8_t pitch = 0;    // low 8 bits of the channel's frequency (the pitch byte)
};

// "f" volume, "y" period low, period high, "z" wave address low, high.
using SccNoteEvent = std::array<std::uint8_t, 8>;

struct FrameOutput {
  std::array<std::uint8_t, kFrameCommandCapacity> fmCommands{};
  std::size_t fmCommandLength = 0;
  std::array<std::uint8_t, kFrameCommandCapacity> psgCommands{};
  std::size_t psgCommandLength = 0;

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
    pcmEventBytes.fill(0);
    sccEventBytes.fill(0);
    for (PcmNoteEvent& event : pcm) event.changes = 0;
  }

  // False when the buffer is full (nothing is appended then).
  bool appendFm(std::uint8_t command, std::uint8_t value) {
    if (fmCommandLength + 2 > fmCommands.size()) return false;
    fmCommands[fmCommandLength++] = command;
    fmCommands[fmCommandLength++] = value;
    return true;
  }
  bool appendPsg(std::uint8_t reg, std::uint8_t value) {
    if (psgCommandLength + 3 > psgCommands.size()) return false;
    psgCommands[psgCommandLength++] = kPsgWriteCommand;
    psgCommands[psgCommandLength++] = reg;
    psgCommands[psgCommandLength++] = value;
    return true;
  }
};

}  // namespace kvtram
