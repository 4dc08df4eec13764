#include "image/pcm_streams.h"

#include <array>

#include "image/stream_framer.h"

namespace kvtram {

void planChannel(VariantPlan& plan, int channel, std::span<const ChannelEvent> events, bool highQuality) {
  bool pending = false;
  std::uint8_t flags = 0;
  int pitch = 0;
  int max = 0;
  int groupStart = 0;
  for (const ChannelEvent& e : events) {
    if (pending) {
      if (flags & kPcmNoteOn) {
        plan.set(channel, groupStart, static_cast<std::uint8_t>(max));
        groupStart = e.frameCounter;
        max = 0;
      }
      int v = variantOfPitch(pitch, highQuality);
      if (v > max) max = v;
      pending = false;
    }
    if (e.kinds & ChannelEvent::kNote) {
      flags = e.changes;
      pitch = e.pitch;
      pending = true;
    }
  }
  plan.set(channel, groupStart, static_cast<std::uint8_t>(max));
}

ChannelStreamResult emitChannel(OutputImage& image, const VariantPlan& plan, int channel,
                                std::span<const ChannelEvent> events, int waveCount) {
  // The wait written at an event frame covers the frames since the frame of
  // the last written command; the opening wait counts two frames more.
  int lastWritten = -1;
  bool first = true;
  const ChannelEvent* note = nullptr;  // the pending note, if any
  const ChannelEvent* tone = nullptr;  // the pending tone, if any
  int variant = 0;
  int lastEntry = -1;
  int lastVolume = -1;
  int lastWave = -1;
  std::array<std::uint8_t, 64> bytes{};
  // A pitch index takes two logarithms; a channel's notes repeat few
  // (pitch, variant) pairs, so each is worked out once.
  constexpr int kUnknown = -1;
  std::array<int, 3 * 256> indexOf;
  indexOf.fill(kUnknown);
  auto indexFor = [&indexOf](int pitch, int v) {
    int& index = indexOf[static_cast<std::size_t>((v - 1) * 256 + pitch)];
    if (index == kUnknown) index = pitchIndex(pitch, v);
    return index;
  };

  for (const ChannelEvent& e : events) {
    std::size_t n = 0;
    auto put = [&bytes, &n](int b) { bytes[n++] = static_cast<std::uint8_t>(b); };
    auto putWait = [&](int frame) {
      n += encodeWaitCount(frame - lastWritten, bytes.data() + n);
      lastWritten = frame;
    };

    if (note && tone) tone = nullptr;  // the tone is lost
    if (first) {
      put(kWaitCommand);
      putWait(e.frame);
      first = false;
    }
    if (note) {
      if (note->changes & kPcmNoteOn) variant = plan.at(channel, e.frameCounter);
      int entry = sampleEntryAddress(waveCount, note->sample, variant == 0 ? 1 : variant);
      int index = indexFor(note->pitch, variant == 0 ? 1 : variant);
      if (variant == 0 || index > kMaxPitchIndex) return ChannelStreamResult::InternalError;
      int volume = 241 + note->volume / 4;
      if (entry != lastEntry) {
        put(kSelectSampleCommand);
        put(entry % 256);
        put(entry / 256 + kBankZeroWindow);
        put(0x00);
        put(0x00);
        lastEntry = entry;
      }
      if (volume != lastVolume) {
        put(kNoteVolumeCommand);
        put(volume & 0xFF);
        lastVolume = volume;
      }
      if (!(note->changes & kPcmNoteOn)) put(kNoteChangeCommand);
      put(index);
      putWait(e.frame);
      lastWave = -1;
      note = nullptr;
    }
    if (e.kinds & ChannelEvent::kNote) note = &e;
    if (tone) {
      if (tone->waveAddress != lastWave) {
        put(kWaveAddressCommand);
        put(tone->waveAddress % 256);
        put(tone->waveAddress / 256);
        lastWave = tone->waveAddress;
      }
      put(kSccNoteCommand);
      put(tone->period % 256);
      put(((tone->period / 256) & 0x0F) * 16 + tone->toneVolume);
      putWait(e.frame);
      lastEntry = -1;
      lastVolume = -1;
      tone = nullptr;
    }
    if (e.kinds & ChannelEvent::kTone) tone = &e;
    if (e.kinds & ChannelEvent::kLast) put(kEndCommand);
    if (!placeFramedBytes(image, bytes.data(), n)) return ChannelStreamResult::FrameTooLongForBank;
  }
  return ChannelStreamResult::Ok;
}

}  // namespace kvtram
