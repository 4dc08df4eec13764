// The sample banks of the image: which variants of which samples the song's
// notes need (one survey of the song, which `kvtram info` shares), their
// resampling, and their placement from image address 0x4000 on, with the
// sample pointer table in bank 0.
//
// Every sample has three variants (mid, mid-high, high), each resampled to
// 11151 Hz from a different assumed source rate. A placed variant of L output
// samples takes L + 200 signed bytes: the samples and 200 of their
// continuation (the loop played on, or silence). A variant never starts in the
// last 192 bytes of a bank; when its data reach them, those bytes receive
// look-ahead copies of what follows, and the same bytes are written again from
// the start of the next bank, so the player can run past a bank end.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "image/output_image.h"
#include "input/frame_output.h"
#include "input/interpreter.h"
#include "input/kv_song.h"
#include "io/zeroed_memory.h"

namespace kvtram {

class SpectralResampler;
class ChannelEventLog;

// One variant's output, with room for the look-ahead copies read past its end.
inline constexpr std::size_t kResampleCapacity = 1048576;
inline constexpr std::size_t kResampleBufferBytes = kResampleCapacity + 512;

struct SampleBankState {
  std::array<int, kMaxSamples> loopBlocks{};                   // -1: no loop
  std::array<std::array<bool, 3>, kMaxSamples> variantUsage{};  // [sample][variant - 1]
  // Zero at the start of every file's placement beyond what its variants
  // write, as in a fresh process: look-ahead copies may read past a variant.
  ZeroedArray<std::uint8_t> resampleBuffer{kResampleBufferBytes};
};

// Reads every sample's loop length from the block index table: a sample's
// entries end at its end marker (FF FF ..) or at a loop marker (an entry of
// 0xFEFE or more whose high byte is not 0xFF) followed by V, giving a loop of
// (0x10003 - V) / 2 blocks. Returns "" or the reason the table is broken.
std::string scanLoops(const KvSong& song, SampleBankState& state);

// Marks the variants that the PCM note events of one frame need.
void markVariantUsage(const FrameOutput& out, bool highQuality, SampleBankState& state);

// What one play of a song shows: its length, its register writes and note
// events, and (in the bank state) the sample variants its PCM notes need.
struct SongSurvey {
  int frames = 0;
  long fmWrites = 0;
  long psgWrites = 0;
  long sccEvents = 0;  // per frame and channel
  long pcmEvents = 0;
};

// Plays the song once from where the interpreter stands (the caller restarts
// it) and marks the variants the notes need, after clearing every mark. The
// frame in which the song ends marks nothing. With `events`, the play also
// records the note events of the song's PCM channels there. The caller checks
// the interpreter's failure().
SongSurvey surveySong(SongInterpreter& interpreter, FrameOutput& frame, bool highQuality,
                      SampleBankState& state, ChannelEventLog* events = nullptr);

// Which variants (index 0 = mid) the spectral resampler makes; the others are
// resampled linearly.
using SpectralVariants = std::array<bool, 3>;

// Where a used variant went: image addresses from its start up to the
// address after its last byte (look-ahead copies included).
struct PlacedVariant {
  int sample = 0;
  int variant = 0;           // 1-3
  std::size_t length = 0;    // resampled length in samples
  bool spectral = false;     // made by the spectral resampler (else the linear one)
  int start = 0;
  int end = 0;
};

// Resamples every marked variant and places all variants' data and pointers.
// Placement starts at the image's address (0x4000 in a conversion). On return the image's address is where
// the streams start. Returns "" or the reason the file does not fit. With
// `placed`, every used variant is recorded there and placement goes on past
// the 256 banks (nothing is stored there), so that the whole size is known.
std::string placeSamples(KvSong& song, const SpectralVariants& spectralFor, SampleBankState& state,
                         SpectralResampler& spectral, OutputImage& image,
                         std::vector<PlacedVariant>* placed = nullptr);

}  // namespace kvtram
