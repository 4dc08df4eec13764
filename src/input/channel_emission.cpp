#include "input/channel_emission.h"

#include <algorithm>

namespace kvtram {

bool emitFmRegister(FrameOutput& out, int reg, std::uint8_t raw, bool& rhythmMode,
                    int fmVolumeReduction) {
  int value = raw;
  if (reg >= 0x30 && reg <= 0x38 && !(rhythmMode && reg >= 0x36)) {
    value = (raw & 0xF0) + std::min(15, (raw & 0x0F) + fmVolumeReduction);
  }
  if (rhythmMode && reg >= 0x36 && reg <= 0x38) {
    int high = std::min(15, (raw >> 4) + fmVolumeReduction);
    int low = std::min(15, (raw & 0x0F) + fmVolumeReduction);
    value = reg == 0x36 ? low : high * 16 + low;
  }
  bool ok = out.appendFm(reg, static_cast<std::uint8_t>(value));
  // The mode switches after the write, so only later writes see it.
  if (reg == kFmRhythmRegister) rhythmMode = (raw & 0x20) != 0;
  return ok;
}

bool emitPsgRegister(FrameOutput& out, int reg, std::uint8_t raw, int psgVolumeReduction) {
  int value = raw;
  if (reg >= 8 && reg <= 10 && (raw & 0x10) == 0) {
    value = std::max(0, (raw & 0x0F) - psgVolumeReduction);
  }
  return out.appendPsg(reg, static_cast<std::uint8_t>(value));
}

bool emitRowWrite(FrameOutput& out, int channel, int low, int high, int rowsInstrument,
                  int fmVolumeReduction) {
  int key = ((high & 0x0F) != 0 || low != 0) ? 0x10 : 0;
  int attenuation = std::min(15, 15 - (high & 0x0F) + fmVolumeReduction);
  return out.appendFm(kFmFNumberLow + channel, static_cast<std::uint8_t>(low)) &&
         out.appendFm(kFmKeyBlock + channel, static_cast<std::uint8_t>((high >> 4) + key)) &&
         out.appendFm(kFmInstrumentVolume + channel,
                      static_cast<std::uint8_t>((rowsInstrument & 0xF0) | attenuation));
}

void writeSccEvent(FrameOutput& out, int channel, const ChannelState& state) {
  SccNoteEvent& event = out.scc[static_cast<std::size_t>(channel)];
  event.volume = static_cast<std::uint8_t>(std::min(15, static_cast<int>((state.volume & 0x3F) * 0.25 + 0.5)));
  int period = 0;
  if (state.frequency != 0) {
    period = static_cast<int>(111860.78125 / (state.frequency * 0.47912) + 0.5) - 1;
    period = std::clamp(period, 0, 4095);
  }
  event.period = static_cast<std::uint16_t>(period);
  event.wave = static_cast<std::uint8_t>(state.waveOrSample);
  out.sccEventBytes[static_cast<std::size_t>(channel)] = 8;
}

void writePcmEvent(FrameOutput& out, int channel, const ChannelState& state,
                   std::uint8_t changeBit) {
  PcmNoteEvent& event = out.pcm[static_cast<std::size_t>(channel)];
  event.changes |= changeBit;
  event.volume = static_cast<std::uint8_t>(state.volume & 0xFF);
  event.sample = static_cast<std::uint8_t>(state.waveOrSample & 0xFF);
  event.pitch = static_cast<std::uint8_t>(state.frequency & 0xFF);
  out.pcmEventBytes[static_cast<std::size_t>(channel)] = 4;
}

}  // namespace kvtram
