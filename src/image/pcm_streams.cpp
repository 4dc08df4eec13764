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
    if (e.kinds & ChannelEvent::kPcmNote) {
      flags = e.pcm.changes;
      pitch = e.pcm.pitch;
      pending = true;
    }
  }
  plan.set(channel, groupStart, static_cast<std::uint8_t>(max));
}

namespace {

// The state of one channel's emission pass, and the commands of one event
// frame collected in `bytes`.
class ChannelEmission {
 public:
  ChannelEmission(const VariantPlan& plan, int channel, int waveCount)
      : plan_(plan), channel_(channel), waveCount_(waveCount) {
    indexOf_.fill(kUnknown);
  }

  // The commands of event frame `e`; false on an internal error.
  bool collect(const ChannelEvent& e) {
    n_ = 0;
    if (pcmNote_ && sccNote_) sccNote_ = nullptr;  // the SCC note is lost
    if (first_) {
      put(kWaitCommand);
      putWait(e.frame);
      first_ = false;
    }
    if (pcmNote_ && !writePcmNote(e)) return false;
    if (e.kinds & ChannelEvent::kPcmNote) pcmNote_ = &e.pcm;
    if (sccNote_) writeSccNote(e);
    if (e.kinds & ChannelEvent::kSccNote) sccNote_ = &e.scc;
    if (e.kinds & ChannelEvent::kLast) put(kEndCommand);
    return true;
  }
  const std::uint8_t* bytes() const { return bytes_.data(); }
  std::size_t length() const { return n_; }

 private:
  void put(int b) { bytes_[n_++] = static_cast<std::uint8_t>(b); }
  // The wait written at an event frame covers the frames since the frame of
  // the last written command; the opening wait counts two frames more.
  void putWait(int frame) {
    n_ += encodeWaitCount(frame - lastWritten_, bytes_.data() + n_);
    lastWritten_ = frame;
  }
  // A pitch index takes two logarithms; a channel's notes repeat few
  // (pitch, variant) pairs, so each is worked out once.
  int indexFor(int pitch, int v) {
    int& index = indexOf_[static_cast<std::size_t>((v - 1) * 256 + pitch)];
    if (index == kUnknown) index = pitchIndex(pitch, v);
    return index;
  }

  // The pending PCM note, acted on at event frame `e`.
  bool writePcmNote(const ChannelEvent& e) {
    const PcmNoteEvent& note = *pcmNote_;
    if (note.changes & kPcmNoteOn) variant_ = plan_.at(channel_, e.frameCounter);
    int entry = sampleEntryAddress(waveCount_, note.sample, variant_ == 0 ? 1 : variant_);
    int index = indexFor(note.pitch, variant_ == 0 ? 1 : variant_);
    if (variant_ == 0 || index > kMaxPitchIndex) return false;
    int volume = kNoteVolumeBias + note.volume / 4;
    if (entry != lastEntry_) {
      put(kSelectSampleCommand);
      put(entry % 256);
      put(entry / 256 + kBankZeroWindow);
      put(0x00);
      put(0x00);
      lastEntry_ = entry;
    }
    if (volume != lastVolume_) {
      put(kNoteVolumeCommand);
      put(volume & 0xFF);
      lastVolume_ = volume;
    }
    if (!(note.changes & kPcmNoteOn)) put(kNoteChangeCommand);
    put(index);
    putWait(e.frame);
    lastWave_ = -1;
    pcmNote_ = nullptr;
    return true;
  }

  // The pending SCC note, acted on at event frame `e`.
  void writeSccNote(const ChannelEvent& e) {
    const SccNoteEvent& note = *sccNote_;
    const int address = waveAddress(note.wave);
    if (address != lastWave_) {
      put(kWaveAddressCommand);
      put(address % 256);
      put(address / 256);
      lastWave_ = address;
    }
    put(kSccNoteCommand);
    put(note.period % 256);
    put(sccPeriodHighAndVolume(note.period, note.volume));
    putWait(e.frame);
    lastEntry_ = -1;
    lastVolume_ = -1;
    sccNote_ = nullptr;
  }

  static constexpr int kUnknown = -1;
  const VariantPlan& plan_;
  const int channel_;
  const int waveCount_;
  int lastWritten_ = -1;
  bool first_ = true;
  const PcmNoteEvent* pcmNote_ = nullptr;  // the pending PCM note, if any
  const SccNoteEvent* sccNote_ = nullptr;  // the pending SCC note, if any
  int variant_ = 0;
  int lastEntry_ = -1;
  int lastVolume_ = -1;
  int lastWave_ = -1;
  std::array<int, 3 * 256> indexOf_;
  std::array<std::uint8_t, 64> bytes_{};
  std::size_t n_ = 0;
};

}  // namespace

ChannelStreamResult emitChannel(OutputImage& image, const VariantPlan& plan, int channel,
                                std::span<const ChannelEvent> events, int waveCount) {
  ChannelEmission emission(plan, channel, waveCount);
  for (const ChannelEvent& e : events) {
    if (!emission.collect(e)) return ChannelStreamResult::InternalError;
    if (!placeFramedBytes(image, emission.bytes(), emission.length())) {
      return ChannelStreamResult::FrameTooLongForBank;
    }
  }
  return ChannelStreamResult::Ok;
}

}  // namespace kvtram
