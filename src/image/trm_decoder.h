// Reads a TRAM image back: the header, bank 0 (wavetables and sample pointer
// table) and every command stream, command by command with the frame at which
// the player reaches it. Used by `kvtram dump` and by the tests that check the
// streams the converter writes.
//
// Every read is bounds-checked and every stream is walked strictly forwards,
// so a truncated, garbled or foreign file ends in a failure text, never in a
// crash or an endless walk.
//
// The wave count is not stored in the image; bank 0 shows it. The wavetables
// (32 bytes each) come first and the sample pointer table follows at once,
// 27 bytes per sample. The first variant placed always starts at address
// 0x4000, so the table opens with the pointer 01 00 40, and behind the table
// bank 0 is zero. The decoder tries the wave counts 0, 1, 2, ... and takes the
// first one at which
//   - the bytes 01 00 40 stand at 32 x count,
//   - the table that reaches from there to the last non-zero byte of bank 0
//     holds only well-formed pointers (bank 1 or later, bits 8-13 + 0x40 in the
//     third byte, loop pointers null or not before their start), start
//     addresses that never decrease and that end before the first stream, and
//   - every sample selection (0x7B) of the PCM channel streams lies on the
//     table's grid of 9-byte variant entries (32 x count + 9 x k; a note may
//     name a sample beyond the table, as the song is not checked for that).
// A bank 0 that is all zero has no waves and no samples. When no count fits,
// the caller can give it (`waveCount` >= 0), and then the table is read at
// 32 x count without these checks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "image/image_format.h"

namespace kvtram {

// A 3-byte bank pointer as it stands in the image.
struct TrmPointer {
  std::array<std::uint8_t, 3> raw{};
  bool null = true;    // 00 00 00: no address
  bool valid = false;  // not null, and the third byte is 0x40-0x7F
  int address = 0;     // the image address it stands for (when valid)
};
TrmPointer decodeBankPointer(const std::uint8_t* bytes);

enum class TrmCommandKind {
  Wait,          // AC n / AC 00 lo hi: count frames
  End,           // 69
  NextBank,      // 68: read on at the start of the next bank
  PsgWrite,      // 8F r v: reg, value
  FmInit,        // AD + key off / attenuation 15 for the melody channels (FM stream's first command)
  FmWrite,       // B0+r v: reg (0x00-0x3F), value
  SelectSample,  // 7B lo hi+80 00 00: pointer = bank-0 address of the variant's pointer entry
  NoteVolume,    // 66 v: value
  NoteChange,    // 64: the next note changes the sounding note
  Note,          // 00-5F + count: reg = pitch index, count frames
  WaveAddress,   // 7A lo hi: pointer = wave address
  SccNote,       // AD lo hi*16+vol + count: reg = period, value = volume, count frames
};

struct TrmCommand {
  std::int64_t time = 0;  // frames the player has waited when it reaches the command
  int address = 0;        // image address of its first byte
  int length = 0;         // its bytes, operands included
  TrmCommandKind kind = TrmCommandKind::End;
  int count = 0;    // Wait, Note, SccNote: the frames it waits
  int reg = 0;      // PsgWrite/FmWrite: register; Note: pitch index; SccNote: period
  int value = 0;    // PsgWrite/FmWrite: value; NoteVolume: its byte; SccNote: volume
  int pointer = 0;  // SelectSample: entry address; WaveAddress: wave address
};

enum class TrmStreamKind { Psg, Fm, PcmChannel };

struct TrmStream {
  TrmStreamKind kind = TrmStreamKind::Psg;
  int headerOffset = 0;  // where its start pointer stands in the header
  int channel = -1;      // PCM channel streams: their number, in the order they lie in the image
  int start = 0;         // image address of its first command
  std::vector<TrmCommand> commands;  // up to and including the end command
  bool complete = false;             // the end command was reached
  int end = 0;                       // address behind the end command
  std::int64_t endTime = 0;          // frames waited before the end command
  // A channel stream that runs into a command of an earlier channel stream
  // (two slots pointing into one stream) stops there: `commands` ends before
  // it, `joins` is that stream's channel number and `joinAddress` the
  // command's address; `complete`, `end` and `endTime` are the shared ones.
  int joins = -1;
  int joinAddress = 0;
};
std::string streamName(const TrmStream& stream);

struct TrmVariantPointers {
  int entryAddress = 0;  // bank-0 address of these 9 bytes
  TrmPointer start, end, loop;
};
struct TrmSampleEntry {
  std::array<TrmVariantPointers, 3> variants;  // variants 1, 2, 3
};

struct TrmHeader {
  TrmPointer psg;
  TrmPointer fm;
  std::array<TrmPointer, kChannelSlotOffsets.size()> slots;  // by kChannelSlotOffsets
  int rhythmMode = 0;
  std::array<std::uint8_t, 4> magic{};
  std::array<std::uint8_t, kTitleFieldBytes> titleField{};
  std::string title;  // the title field up to its first zero byte, less trailing spaces
  std::array<std::uint8_t, kHeaderConstants.size()> constants{};
  std::array<std::uint8_t, kPlayerName.size()> playerName{};
  int strayBytes = 0;  // non-zero bytes where the header has no field
};

struct TrmImage {
  std::vector<std::uint8_t> file;  // the whole file as read
  TrmHeader header;
  int waveCount = 0;
  bool waveCountGiven = false;  // false: inferred from bank 0
  std::vector<TrmSampleEntry> samples;
  TrmStream psg;
  TrmStream fm;
  std::vector<TrmStream> channels;  // in the order their streams lie in the image
  int streamsEnd = 0;               // address behind the stream that ends last

  // The bytes of a command.
  std::span<const std::uint8_t> bytesOf(const TrmCommand& command) const {
    return {file.data() + kHeaderBytes + command.address, static_cast<std::size_t>(command.length)};
  }
  // Wave w's 32 signed bytes.
  std::span<const std::uint8_t> wave(int w) const {
    return {file.data() + kHeaderBytes + kWaveTableBytes * w, kWaveTableBytes};
  }
};

// The most wavetables the sample pointer table is looked for behind (and that
// `kvtram dump --waves` takes).
inline constexpr int kMaxDecodedWaves = 512;

// Never more commands than this in all streams together: an image has at
// most 256 banks (4 MiB), and every command takes at least one byte. Channel
// streams never decode a command twice (see TrmStream::joins), so the
// commands are at most three per byte of the file (PSG, FM and channel
// readings of the same bytes) and a listing grows with the file, not with
// the number of slots that point into it.
inline constexpr std::size_t kMaxImageCommands = std::size_t{1} << 22;

// Decodes `file`. `waveCount` < 0 infers the wave count (see above). Returns ""
// or the first reason the file is no well-formed image; `image` then holds
// what was decoded before it.
std::string decodeTrm(std::span<const std::uint8_t> file, TrmImage& image, int waveCount = -1);

}  // namespace kvtram
