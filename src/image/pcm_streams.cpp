#include "image/pcm_streams.h"

#include "image/stream_framer.h"

namespace kvtram {

bool ChannelPlanner::isEventFrame(const FrameOutput& out, bool last) const {
  auto c = static_cast<std::size_t>(channel_);
  return last || out.pcmEventBytes[c] + out.sccEventBytes[c] > 0;
}

void ChannelPlanner::frame(const FrameOutput& out, bool last, int frameCounter) {
  if (!isEventFrame(out, last)) return;
  if (pending_) {
    if (flags_ & kPcmNoteOn) {
      plan_.set(channel_, groupStart_, static_cast<std::uint8_t>(max_));
      groupStart_ = frameCounter;
      max_ = 0;
    }
    int v = variantOfPitch(pitch_, highQuality_);
    if (v > max_) max_ = v;
    pending_ = false;
  }
  auto c = static_cast<std::size_t>(channel_);
  if (out.pcmEventBytes[c] != 0) {
    flags_ = out.pcm[c].changes;
    pitch_ = out.pcm[c].pitch;
    pending_ = true;
  }
}

void ChannelPlanner::finish() { plan_.set(channel_, groupStart_, static_cast<std::uint8_t>(max_)); }

ChannelEmitter::Result ChannelEmitter::frame(OutputImage& image, const FrameOutput& out, bool last,
                                             int frameCounter) {
  if (stopped_) return Result::Ok;
  ++wait_;
  auto c = static_cast<std::size_t>(channel_);
  bool eventFrame = last || out.pcmEventBytes[c] + out.sccEventBytes[c] > 0;
  if (!eventFrame) return Result::Ok;

  std::size_t n = 0;
  auto put = [this, &n](int b) { bytes_[n++] = static_cast<std::uint8_t>(b); };
  auto putCount = [this, &n](int count) { n += encodeWaitCount(count, bytes_.data() + n); };

  if (notePending_ && sccPending_) sccPending_ = false;  // the SCC note is lost
  if (first_) {
    put(kWaitCommand);
    putCount(wait_ - 1);
    first_ = false;
    wait_ = 1;
  }
  if (notePending_) {
    if (note_.changes & kPcmNoteOn) variant_ = plan_.at(channel_, frameCounter);
    int entry = sampleEntryAddress(waveCount_, note_.sample, variant_ == 0 ? 1 : variant_);
    int index = pitchIndex(note_.pitch, variant_ == 0 ? 1 : variant_);
    if (variant_ == 0 || index > kMaxPitchIndex) {
      stopped_ = true;
      return Result::InternalError;
    }
    int volume = 241 + note_.volume / 4;
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
    if (!(note_.changes & kPcmNoteOn)) put(kNoteChangeCommand);
    put(index);
    putCount(wait_ - 1);
    wait_ = 1;
    lastWave_ = -1;
    notePending_ = false;
  }
  if (out.pcmEventBytes[c] != 0) {
    note_ = out.pcm[c];
    notePending_ = true;
  }
  if (sccPending_) {
    if (sccWave_ != lastWave_) {
      put(kWaveAddressCommand);
      put(sccWave_ % 256);
      put(sccWave_ / 256);
      lastWave_ = sccWave_;
    }
    put(kSccNoteCommand);
    put(sccPeriod_ % 256);
    put(((sccPeriod_ / 256) & 0x0F) * 16 + sccVolume_);
    putCount(wait_ - 1);
    wait_ = 1;
    lastEntry_ = -1;
    lastVolume_ = -1;
    sccPending_ = false;
  }
  if (out.sccEventBytes[c] != 0) {
    const SccNoteEvent& scc = out.scc[c];
    sccVolume_ = scc[1];
    sccPeriod_ = scc[3] + 256 * scc[4];
    sccWave_ = scc[6] + 256 * scc[7];
    sccPending_ = true;
  }
  if (last) put(kEndCommand);
  if (!placeFramedBytes(image, bytes_.data(), n)) return Result::FrameTooLongForBank;
  return Result::Ok;
}

}  // namespace kvtram
