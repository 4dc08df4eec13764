// The TRAM image format, in one place: the layout of the file, the header's
// fields, bank 0's tables, the bank pointer, the bank-end placement limits and
// the command codes of the streams. The writer (output image, stream framer,
// PCM channel streams, sample placement) and the decoder behind `kvtram dump`
// both spell the format with these names.
//
// File: a 576-byte header, then 16 KiB banks. Image address = the position
// counted from the first byte of bank 0 (file offset = address + 576). The
// player maps one bank at a time at 0x4000-0x7FFF; a pointer's bank number is
// one byte, so banks 0-255 are all it can reach.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kvtram {

// ---- Layout -----------------------------------------------------------------
inline constexpr int kHeaderBytes = 576;
inline constexpr int kBankBytes = 16384;
inline constexpr int kMaxBanks = 256;
// The header and every bank a pointer can reach.
inline constexpr std::size_t kImageBytes =
    static_cast<std::size_t>(kHeaderBytes) + static_cast<std::size_t>(kMaxBanks) * kBankBytes;
// Sample variants, then the streams, start at the first byte of bank 1.
inline constexpr int kFirstBankedAddress = kBankBytes;
// The player sees the mapped bank at this address.
inline constexpr int kWindowAddress = 0x4000;

// ---- Header (file offsets; every byte not listed is zero) ---------------------
inline constexpr int kPsgStreamPointer = 0;   // bank pointer to the PSG stream
inline constexpr int kFmStreamPointer = 48;   // bank pointer to the FM stream
inline constexpr int kRhythmModeOffset = 138;  // 0 or 1, as the last pass ended
inline constexpr int kMagicOffset = 139;
inline constexpr std::array<std::uint8_t, 4> kMagic = {'T', 'R', 'A', 'M'};
inline constexpr int kTitleOffset = 143;
inline constexpr int kTitleFieldBytes = 64;  // spaces, overwritten by the title
inline constexpr int kConstantsOffset = 486;
inline constexpr std::array<std::uint8_t, 3> kHeaderConstants = {2, 4, 3};
inline constexpr int kPlayerNameOffset = 489;
// "ＶＡＮＴＯＲＡ" in Shift-JIS: seven full-width letters.
inline constexpr std::array<std::uint8_t, 14> kPlayerName = {0x82, 0x75, 0x82, 0x60, 0x82, 0x6D, 0x82,
                                                             0x73, 0x82, 0x6E, 0x82, 0x71, 0x82, 0x60};

// The nine PCM channel stream slots: a group of five (the fifth used only with
// the SCC-I option) and a group of four.
inline constexpr std::array<int, 9> kChannelSlotOffsets = {18, 24, 30, 36, 42, 108, 114, 120, 126};

// The slot of each PCM channel, by the song's PCM channel count and the SCC-I
// option; only the first `pcmChannelCount` entries are used.
constexpr std::array<int, 8> channelSlots(int pcmChannelCount, bool useSccI) {
  if (!useSccI) {
    if (pcmChannelCount <= 4) return {18, 24, 30, 36, 108, 114, 120, 126};
    return {108, 114, 120, 126, 18, 24, 30, 36};
  }
  if (pcmChannelCount <= 5) return {18, 24, 30, 36, 42, 108, 114, 120};
  return {108, 114, 120, 18, 24, 30, 36, 42};
}

// ---- Bank pointer -------------------------------------------------------------
// Three bytes for an image address: bank, low byte, bits 8-13 + 0x40 (the last
// two read as a word are the address in the 0x4000 window). 00 00 00 is no
// address.
inline constexpr int kPointerBytes = 3;
inline constexpr int kPointerWindowBase = kWindowAddress / 256;
constexpr std::array<std::uint8_t, 3> bankPointer(int address) {
  return {static_cast<std::uint8_t>(address / kBankBytes), static_cast<std::uint8_t>(address % 256),
          static_cast<std::uint8_t>((address / 256) % 64 + kPointerWindowBase)};
}

// ---- Bank 0 -------------------------------------------------------------------
// The wavetables (32 signed bytes each, in the song's order), then the sample
// pointer table: per sample three variant entries (mid, mid-high, high) of
// three bank pointers each: start, end, loop (or zero).
inline constexpr int kWaveTableBytes = 32;
inline constexpr int kVariantEntryBytes = 3 * kPointerBytes;
inline constexpr int kSampleEntryBytes = 3 * kVariantEntryBytes;

// Bank-0 address of the pointer entry of `sample`, variant `variant` (1-3).
constexpr int sampleEntryAddress(int waveCount, int sample, int variant) {
  return waveCount * kWaveTableBytes + sample * kSampleEntryBytes + kVariantEntryBytes * (variant - 1);
}

// ---- Sample variants in the banks ----------------------------------------------
// Signed 8-bit: the resamplers' unsigned bytes (128 = silence) less 128. Behind
// a variant's samples follow this many of its continuation.
inline constexpr int kUnsignedSilence = 128;
constexpr std::uint8_t bankSample(std::uint8_t resampled) {
  return static_cast<std::uint8_t>(resampled - kUnsignedSilence);
}
inline constexpr std::size_t kVariantContinuationBytes = 200;

// ---- Placement at bank ends (in-bank offsets) ----------------------------------
// No variant starts at or behind this offset, and a variant's data reaching it
// fill the rest of the bank with look-ahead copies of what follows.
inline constexpr int kBankTailOffset = 0x3F40;
// After the samples, an address this close to a bank end moves to the next bank.
inline constexpr int kStreamStartLimit = 0x3FF8;
// The longest run of stream bytes one bank takes: offsets 0 to 16381, so that
// the next-bank command still fits at 16382.
inline constexpr std::size_t kMaxFramedBytes = 16382;

// ---- Commands of every stream ---------------------------------------------------
inline constexpr std::uint8_t kWaitCommand = 0xAC;      // count: 1-255, or 0x00 lo hi
inline constexpr std::uint8_t kLongWaitMark = 0x00;     // first byte of a long count
inline constexpr std::uint8_t kEndCommand = 0x69;
inline constexpr std::uint8_t kNextBankCommand = 0x68;  // the rest of the bank is zero

// ---- PSG and FM streams ------------------------------------------------------------
// PSG register write: kPsgWriteCommand, register, value. FM register write:
// kFmWriteCommand + register (0x00-0x3F), value. The frame records' register
// writes are spelled so, in the order the frame made them.
inline constexpr std::uint8_t kPsgWriteCommand = 0x8F;
inline constexpr int kPsgRegisters = 16;
inline constexpr std::size_t kPsgWriteBytes = 3;
inline constexpr std::uint8_t kFmWriteCommand = 0xB0;
inline constexpr int kFmRegisters = 0x40;
inline constexpr std::size_t kFmWriteBytes = 2;
// The FM stream opens with kFmInitCommand, then per melody channel u (nine, or
// six in rhythm mode) key off and attenuation 15.
inline constexpr std::uint8_t kFmInitCommand = 0xAD;
inline constexpr std::uint8_t kFmKeyOffBase = 0xD0;      // + u, then 0x00
inline constexpr std::uint8_t kFmAttenuationBase = 0xE0;  // + u, then 0x0F
inline constexpr std::uint8_t kFmSilentAttenuation = 0x0F;

// ---- PCM channel streams -------------------------------------------------------------
// 0x7B lo, hi + 0x80, 0, 0: the sample variant whose pointer entry is at bank-0 address hi:lo.
inline constexpr std::uint8_t kSelectSampleCommand = 0x7B;
inline constexpr std::uint8_t kBankZeroWindow = 0x80;
inline constexpr std::uint8_t kNoteVolumeCommand = 0x66;  // v: volume / 4 - 15, 8-bit
inline constexpr int kNoteVolumeBias = 241;                 // -15 as a byte
inline constexpr std::uint8_t kNoteChangeCommand = 0x64;  // the next note changes the sounding note
// A note is its pitch index 0x00-0x5F followed by a wait count.
inline constexpr int kMaxPitchIndex = 0x5F;
inline constexpr std::uint8_t kWaveAddressCommand = 0x7A;  // lo hi
// SCC note: 0xAD period low, period high 4 bits x 16 + volume, wait count.
inline constexpr std::uint8_t kSccNoteCommand = 0xAD;

// Where the player sees wave `wave` of bank 0's wavetables.
constexpr int waveAddress(int wave) { return kWindowAddress + wave * kWaveTableBytes; }
// The second byte of an SCC note: period bits 8-11, then the volume (0-15).
constexpr std::uint8_t sccPeriodHighAndVolume(int period, int volume) {
  return static_cast<std::uint8_t>(((period / 256) & 0x0F) * 16 + volume);
}

}  // namespace kvtram
