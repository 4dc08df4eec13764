#include "image/sample_layout.h"

#include <algorithm>

#include "image/channel_event_log.h"
#include "image/image_format.h"
#include "input/song_player.h"
#include "messages/messages.h"
#include "samples/linear_resampler.h"
#include "samples/sample_variants.h"
#include "samples/spectral_resampler.h"

namespace kvtram {

namespace {

int nextBankStart(int address) { return (address / kBankBytes + 1) * kBankBytes; }

// Where variant v of sample s comes from, and its length once resampled.
struct VariantSource {
  int sample;
  int variant;
  std::size_t srcPos, srcLength, loopStart, length;
};

// Resamples a variant into the resample buffer, from index 0.
std::string resampleVariant(KvSong& song, SampleBankState& state, SpectralResampler& spectral,
                            const VariantSource& v, bool spectralVariant) {
  std::uint8_t* buffer = state.resampleBuffer.data();
  const int s = v.sample;
  if (v.length + kLinearExtraOutput > kResampleCapacity) return msg::sampleTooLong(s);
  if (spectralVariant) {
    const double rate = kVariantSourceRate[v.variant - 1];
    if (!SpectralResampler::fits(v.srcLength) ||
        SpectralResampler::outputLength(v.srcLength, rate) > kResampleCapacity) {
      return msg::sampleTooLong(s);
    }
    if (!spectral.resample(song.store.data() + v.srcPos, v.srcLength, rate, v.loopStart,
                           std::span<std::uint8_t>(buffer, kResampleCapacity))) {
      return msg::sampleNotResampled(s);
    }
    state.resampleBuffer.markWritten(SpectralResampler::outputLength(v.srcLength, rate));
    return {};
  }
  if (!linearResample(song.store, v.srcPos, v.srcLength, v.loopStart, kVariantRatio[v.variant - 1], v.length,
                      std::span<std::uint8_t>(buffer, kResampleCapacity))) {
    return msg::sampleNotResampled(s);
  }
  state.resampleBuffer.markWritten(v.length + kLinearExtraOutput);
  // The tail written behind the sample is scratch: the reserve goes back to
  // the zeros of the parsed song, so nothing that reads the store later sees
  // anything a fresh parse would not give it.
  std::fill_n(song.store.begin() + static_cast<std::ptrdiff_t>(v.srcPos + v.srcLength), kLinearTailBytes,
              std::uint8_t{0});
  return {};
}

// Writes a variant's `length` samples and their continuation from the
// resample buffer at the image's address, with look-ahead copies in every bank
// tail it reaches; returns the end address (that of sample `length`).
int writeVariant(OutputImage& image, const std::uint8_t* buffer, std::size_t length) {
  int end = image.address();
  for (std::size_t j = 0; j < length + kVariantContinuationBytes; ++j) {
    if (image.address() % kBankBytes >= kBankTailOffset) {
      for (std::size_t f = 0; image.address() % kBankBytes != 0; ++f) image.put(bankSample(buffer[j + f]));
    }
    if (j == length) end = image.address();
    image.put(bankSample(buffer[j]));
  }
  return end;
}

// The address `loopOffset` samples behind a variant's start, counted as the
// variant was written: bank tails skipped.
int loopAddressOf(int start, std::size_t loopOffset) {
  int address = start;
  for (std::size_t i = 0; i < loopOffset; ++i) {
    if (address % kBankBytes >= kBankTailOffset) address = nextBankStart(address);
    ++address;
  }
  return address;
}

}  // namespace

std::string scanLoops(const KvSong& song, SampleBankState& state) {
  const auto& table = song.blockIndexTable;
  auto word = [&table](std::size_t at) { return table[at] | (table[at + 1] << 8); };
  std::size_t t = 0;
  for (int s = 0; s < song.sampleCount; ++s) {
    int& loop = state.loopBlocks[static_cast<std::size_t>(s)];
    loop = -1;
    for (;;) {
      if (t + 4 > table.size()) return msg::kNoEndMarker;
      int w = word(t);
      if (w >= 0xFEFE) {
        if ((w >> 8) != 0xFF) loop = (0x10003 - word(t + 2)) / 2;
        t += 4;
        break;
      }
      t += 2;
    }
  }
  return {};
}

void markVariantUsage(const FrameOutput& out, bool highQuality, SampleBankState& state) {
  for (std::size_t c = 0; c < static_cast<std::size_t>(kNoteChannels); ++c) {
    if (out.pcmEventBytes[c] == 0) continue;
    int variant = variantOfPitch(out.pcm[c].pitch, highQuality);
    state.variantUsage[out.pcm[c].sample][static_cast<std::size_t>(variant - 1)] = true;
  }
}

SongSurvey surveySong(SongInterpreter& interpreter, FrameOutput& frame, bool highQuality,
                      SampleBankState& state, ChannelEventLog* events) {
  SongSurvey survey;
  for (auto& marks : state.variantUsage) marks.fill(false);
  int counter = 0;
  survey.frames = playSong(interpreter, frame, counter, [&](int index, bool goesOn, const FrameOutput& f,
                                                            int counterAfter) {
    if (events) events->record(f, index, !goesOn, counterAfter);
    survey.fmWrites += static_cast<long>(f.fmCommandLength);
    survey.psgWrites += static_cast<long>(f.psgCommandLength);
    for (std::size_t c = 0; c < static_cast<std::size_t>(kNoteChannels); ++c) {
      if (f.sccEventBytes[c] != 0) ++survey.sccEvents;
      if (f.pcmEventBytes[c] != 0) ++survey.pcmEvents;
    }
    if (goesOn) markVariantUsage(f, highQuality, state);
  });
  return survey;
}

std::string placeSamples(KvSong& song, const SpectralVariants& spectralFor, SampleBankState& state,
                         SpectralResampler& spectral, OutputImage& image,
                         std::vector<PlacedVariant>* placed) {
  if (placed != nullptr) placed->clear();
  const int tableStart = sampleEntryAddress(song.waveCount, 0, 1);
  if (tableStart + kSampleEntryBytes * song.sampleCount > kBankBytes) {
    return msg::kPointerTableTooLarge;
  }
  // Look-ahead copies may read past a variant's output; what they find there
  // is the same for every run of the same file: zeros, or what the file's
  // earlier variants wrote.
  state.resampleBuffer.clearWritten();
  spectral.refillWork();
  std::uint8_t* buffer = state.resampleBuffer.data();

  int table = kHeaderBytes + tableStart;  // file offset of the next pointer
  int end = kFirstBankedAddress;          // end address of the last placed variant
  for (int s = 0; s < song.sampleCount; ++s) {
    const SampleEntry& entry = song.samples[static_cast<std::size_t>(s)];
    const int loopBlocks = state.loopBlocks[static_cast<std::size_t>(s)];
    for (int v = 1; v <= 3; ++v) {
      if (image.address() % kBankBytes >= kBankTailOffset) image.zeroFillToBankEnd();
      const int start = image.address();
      image.putPointer(table, start);
      table += kPointerBytes;

      const bool used = state.variantUsage[static_cast<std::size_t>(s)][static_cast<std::size_t>(v - 1)];
      std::size_t srcLength = used ? static_cast<std::size_t>(entry.sampleBlocks) * kBlockBytes : 0;
      std::size_t srcPos = static_cast<std::size_t>(entry.storeSlot) * kBlockBytes;
      std::size_t loopStart = 0;
      if (used && loopBlocks != -1) {
        if (loopBlocks > entry.sampleBlocks) return msg::sampleLoopTooLong(s);
        loopStart = srcLength - static_cast<std::size_t>(loopBlocks) * kBlockBytes;
      }
      const double ratio = kVariantRatio[v - 1];
      const bool spectralVariant =
          spectralFor[static_cast<std::size_t>(v - 1)] && spectral.takeWork(srcLength);
      const std::size_t length = static_cast<std::size_t>(static_cast<double>(srcLength) / ratio);
      const std::size_t loopOffset = static_cast<std::size_t>(static_cast<double>(loopStart) / ratio);

      int loopAddress = start;
      if (length != 0) {
        if (std::string reason = resampleVariant(song, state, spectral, {s, v, srcPos, srcLength, loopStart, length},
                                                 spectralVariant);
            !reason.empty()) {
          return reason;
        }
        end = writeVariant(image, buffer, length);
        loopAddress = loopAddressOf(start, loopOffset);
      }
      if (placed != nullptr && length != 0) {
        placed->push_back({s, v, length, spectralVariant, start, image.address()});
      }
      image.putPointer(table, end);
      table += kPointerBytes;
      if (loopOffset != 0) image.putPointer(table, loopAddress);
      else image.putZeroPointer(table);
      table += kPointerBytes;
      if (image.overflowed() && placed == nullptr) return {};
    }
  }
  if (image.address() % kBankBytes >= kStreamStartLimit) image.zeroFillToBankEnd();
  return {};
}

}  // namespace kvtram
