// The command codes of the KV music stream, named once for the interpreter,
// the song builder and the song generators. A family of eight codes carries
// the note channel in its low three bits (channel = code & 7).
#pragma once

#include <cstdint>

namespace kvtram::kv {

// value: FM register write, register = code (0x00-0x3F).
inline constexpr std::uint8_t kFmRegisterWrite = 0x00;
inline constexpr std::uint8_t kFmRegisterWriteLast = 0x3F;
// value: PSG register write, register = code - 0x40.
inline constexpr std::uint8_t kPsgRegisterWrite = 0x40;
inline constexpr std::uint8_t kPsgRegisterWriteLast = 0x4F;

// Note-channel commands (+ channel); a PCM or SCC note event per the PCM
// channel mask, or always an SCC one.
inline constexpr std::uint8_t kChannelVolume = 0x50;           // volume
inline constexpr std::uint8_t kChannelWave = 0x58;             // wave (SCC)
inline constexpr std::uint8_t kChannelFrequency = 0x60;        // frequency low, high
inline constexpr std::uint8_t kChannelFrequencyVolume = 0x68;  // frequency low, high, volume
inline constexpr std::uint8_t kChannelWaveVolume = 0x70;       // wave, volume (SCC)
inline constexpr std::uint8_t kChannelWaveFrequency = 0x78;    // wave, frequency low, high (SCC)
// volume, wave, frequency low, high (SCC); sixteen codes, 0x80-0x8F.
inline constexpr std::uint8_t kChannelFullNote = 0x80;
inline constexpr std::uint8_t kChannelFullNoteLast = 0x8F;

// Macro calls: 0x90-0x9E call macro code - 0x80 (16-30), 0x9F takes the index
// as its operand, 0xE0-0xEF call macro code - 0xE0 (0-15).
inline constexpr std::uint8_t kMacroCallHigh = 0x90;
inline constexpr std::uint8_t kMacroCallHighLast = 0x9E;
inline constexpr std::uint8_t kMacroCallHighBase = 0x80;
inline constexpr std::uint8_t kMacroCall = 0x9F;
inline constexpr std::uint8_t kMacroCallLow = 0xE0;
inline constexpr std::uint8_t kMacroCallLowLast = 0xEF;

// PCM notes (+ channel), whatever the PCM channel mask says.
inline constexpr std::uint8_t kPcmNoteOn = 0xA0;            // volume, sample, pitch
inline constexpr std::uint8_t kPcmNoteOnMidPitch = 0xB0;    // volume, sample; pitch 0x80
inline constexpr std::uint8_t kPcmVolume = 0xB8;            // volume
inline constexpr std::uint8_t kPcmPitch = 0xC0;             // pitch
inline constexpr std::uint8_t kPcmNoteOnMidPitchValue = 0x80;

inline constexpr std::uint8_t kFmUserInstrument = 0xA8;  // 8 values for FM registers 0x00-0x07
inline constexpr int kFmUserInstrumentValues = 8;
inline constexpr std::uint8_t kPcmChannelMask = 0xA9;    // mask
inline constexpr std::uint8_t kMixChannelMask = 0xAA;    // mask; no effect on the output
inline constexpr std::uint8_t kUnusedMask = 0xAB;        // mask; no effect on the output
inline constexpr std::uint8_t kWaveLoad = 0xAC;          // frequency low, high, 32 wave bytes
inline constexpr int kWaveLoadBytes = 32;
inline constexpr std::uint8_t kRowMode = 0xAD;         // channel count (0 ends row mode)
inline constexpr std::uint8_t kDirectRowAll = 0xAE;    // 9 pairs, FM channels 0-8
inline constexpr int kDirectRowAllChannels = 9;
inline constexpr std::uint8_t kIgnored = 0xAF;
// Two bytes read straight from the stream, without effect (+ channel).
inline constexpr std::uint8_t kStreamSkip = 0xC8;
inline constexpr std::uint8_t kStreamSkipLast = 0xCF;
// code - 0xCF pairs (frequency low, frequency high nibble and volume index):
// SCC notes for channels 0 to code - 0xD0.
inline constexpr std::uint8_t kCompactSccNotes = 0xD0;
inline constexpr std::uint8_t kCompactSccNotesLast = 0xD7;
// code - 0xD7 pairs (F-number low, block and volume): FM channels 0 to code - 0xD8.
inline constexpr std::uint8_t kDirectRows = 0xD8;
inline constexpr std::uint8_t kDirectRowsLast = 0xDF;
inline constexpr std::uint8_t kIgnoredRange = 0xF0;
inline constexpr std::uint8_t kIgnoredRangeLast = 0xFC;
// bank, offset low, high: the target is the stream's start + bank x 16384 + offset.
inline constexpr std::uint8_t kLoopJump = 0xFD;
inline constexpr int kLoopBankBytes = 16384;
inline constexpr std::uint8_t kSongEnd = 0xFE;
inline constexpr std::uint8_t kFrameEnd = 0xFF;

// The channel of a code of an eight-code family.
constexpr int channelOf(std::uint8_t code) { return code & 7; }

}  // namespace kvtram::kv
