// What the channel commands write: FM and PSG register writes and the note
// events, with the volume reductions applied at the moment a command is
// produced.
#pragma once

#include <cstdint>

#include "input/frame_output.h"

namespace kvtram {

// The note state of one of the eight note channels; the same state serves
// SCC and PCM notes.
struct ChannelState {
  int volume = 0;           // last volume operand, 0-255
  int waveOrSample = 0;     // last wave number (SCC notes) or sample number (PCM notes), 0-255
  int frequency = 0xFFFF;   // last frequency value or pitch byte, 0-65535
};

// The FM registers that the emission itself addresses.
inline constexpr int kFmRhythmRegister = 0x0E;     // bit 5: rhythm mode
inline constexpr int kFmFNumberLow = 0x10;         // + channel
inline constexpr int kFmKeyBlock = 0x20;           // + channel: key 0x10, block, F-number bit 8
inline constexpr int kFmInstrumentVolume = 0x30;   // + channel: instrument, attenuation

// One FM register write of the song (register 0x00-0x3F). The attenuation
// nibble of registers 0x30-0x38 grows by the reduction (stopping at 15); in
// rhythm mode registers 0x36-0x38 carry two rhythm volumes, both reduced (0x36
// keeps only its low one). Register 0x0E switches rhythm mode by its bit 5,
// which later writes see. Returns false when the frame buffer is full.
bool emitFmRegister(FrameOutput& out, int reg, std::uint8_t raw, bool& rhythmMode,
                    int fmVolumeReduction);

// One PSG register write (register 0-15). The channel amplitudes 8-10 lose the
// reduction (stopping at 0) unless bit 4 selects the envelope.
bool emitPsgRegister(FrameOutput& out, int reg, std::uint8_t raw, int psgVolumeReduction);

// Writes one FM channel from a row entry: F-number low, key + block + F-number
// bit 8, instrument + attenuation. `high` holds block x 2 + F-number bit 8 in its
// high nibble and a volume (15 = loudest) in its low nibble.
bool emitRowWrite(FrameOutput& out, int channel, int low, int high, int rowsInstrument,
                  int fmVolumeReduction);

// Rewrites the channel's SCC note event from its state.
void writeSccEvent(FrameOutput& out, int channel, const ChannelState& state);

// Adds `changeBit` to the channel's PCM note event and rewrites its bytes.
void writePcmEvent(FrameOutput& out, int channel, const ChannelState& state,
                   std::uint8_t changeBit);

// SCC volumes of the compact note command's 16 volume indices.
inline constexpr int kCompactVolumes[16] = {0, 1, 2, 3, 4, 5, 6, 8, 10, 13, 17, 22, 29, 37, 48, 63};

}  // namespace kvtram
