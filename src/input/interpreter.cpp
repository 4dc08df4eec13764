#include "input/interpreter.h"

#include "input/kv_format.h"
#include "messages/messages.h"

namespace kvtram {

namespace {

// F-number bits 0-7 of the row-mode notes.
constexpr std::uint8_t kFmNoteLow[256] = {
    0,   66,  73,  79,  86,  92,  99,  106, 113, 120, 127, 134, 142, 150, 157, 165,
    174, 182, 190, 199, 208, 217, 226, 235, 245, 254, 4,   9,   14,  19,  24,  30,
    35,  41,  47,  53,  59,  65,  71,  77,  84,  90,  97,  104, 111, 118, 125, 132,
    140, 147, 155, 163, 171, 179, 188, 196, 205, 214, 223, 232, 242, 251, 2,   7,
    12,  18,  23,  28,  34,  39,  45,  51,  57,  63,  69,  75,  82,  88,  95,  102,
    109, 116, 123, 130, 138, 145, 153, 161, 169, 177, 185, 194, 203, 211, 220, 230,
    239, 249, 1,   6,   11,  16,  21,  27,  32,  38,  43,  49,  55,  61,  67,  74,
    80,  86,  93,  100, 107, 114, 121, 128, 135, 143, 151, 159, 167, 175, 183, 192,
    200, 209, 218, 227, 236, 246, 0,   5,   10,  15,  20,  25,  31,  36,  42,  48,
    54,  60,  66,  72,  78,  85,  91,  98,  105, 112, 119, 126, 133, 141, 149, 156,
    164, 173, 181, 189, 198, 207, 216, 225, 234, 243, 253, 3,   8,   13,  19,  24,
    29,  35,  40,  46,  52,  58,  64,  70,  76,  83,  89,  96,  103, 110, 117, 124,
    131, 139, 147, 154, 162, 170, 179, 187, 196, 204, 213, 222, 231, 241, 250, 2,
    7,   12,  17,  22,  28,  33,  39,  45,  50,  56,  62,  68,  75,  81,  88,  94,
    101, 108, 115, 122, 129, 137, 145, 152, 160, 168, 176, 185, 193, 202, 211, 220,
    229, 238, 248, 1,   6,   11,  16,  21,  26,  32,  37,  43,  49,  55,  61,  67,
};

using msg::kEndlessFrame;
using msg::kEndlessSong;
using msg::kFrameTooBig;
using msg::kNoSuchMacro;
using msg::kStreamPastEnd;

// Whether `code` is one of the eight codes of the family starting at `first`.
constexpr bool inFamily(std::uint8_t code, std::uint8_t first) { return code >= first && code < first + 8; }

}  // namespace

FmNote fmNoteTable(int index) {
  if (index <= 0) return {0, 0};
  int high = index <= 25    ? 0x10
             : index <= 61  ? 0x30
             : index <= 97  ? 0x50
             : index <= 133 ? 0x70
             : index <= 170 ? 0x90
             : index <= 206 ? 0xB0
             : index <= 242 ? 0xD0
                            : 0xF0;
  return {kFmNoteLow[index & 0xFF], high};
}

void SongInterpreter::restart() {
  ++restarts_;
  position_ = 0;
  queueHead_ = 0;
  queueCount_ = 0;
  nibblePending_ = false;
  rowChannels_ = 0;
  rowWait_ = 0;
  loopCounter_ = 0;
  waveSlot_ = 0;
  channels_.fill(ChannelState{});
  frameBytes_ = 0;
  failure_.clear();
  noteEvents_ = true;
  pcmChannelMask_ = song_.pcmChannelMask;
  mixChannelMask_ = song_.mixChannelMask;
  position_ = song_.loopBase;
}

void SongInterpreter::fail(const std::string& reason) {
  if (failure_.empty()) failure_ = reason;
}

void SongInterpreter::countByte() {
  if (++frameBytes_ > kMaxBytesPerFrame) fail(kEndlessFrame);
  if (!work.take()) fail(kEndlessSong);
}

std::uint8_t SongInterpreter::streamByte() {
  countByte();
  if (position_ >= song_.music.readable) {
    fail(kStreamPastEnd);
    return 0;
  }
  return song_.music.data[position_++];
}

std::uint8_t SongInterpreter::readCommandByte() {
  if (queueCount_ > 0) {
    countByte();
    --queueCount_;
    std::uint8_t b = queue_[static_cast<std::size_t>(queueHead_)];
    queueHead_ = (queueHead_ + 1) % kQueueBytes;
    return b;
  }
  return streamByte();
}

int SongInterpreter::readNibble() {
  if (!nibblePending_) {
    nibbleByte_ = streamByte();
    nibblePending_ = true;
    return nibbleByte_ >> 4;
  }
  nibblePending_ = false;
  return nibbleByte_ & 0x0F;
}

void SongInterpreter::callMacro(int index) {
  if (index >= song_.macroCount) {
    fail(kNoSuchMacro);
    return;
  }
  int length = song_.macroLength[static_cast<std::size_t>(index)];
  if (queueCount_ + length > kQueueBytes) {
    fail(msg::queueOverflow(kQueueBytes));
    return;
  }
  int offset = song_.macroOffset[static_cast<std::size_t>(index)];
  for (int i = 0; i < length; ++i) {
    queue_[static_cast<std::size_t>((queueHead_ + queueCount_) % kQueueBytes)] =
        song_.macroBytes[static_cast<std::size_t>(offset + i)];
    ++queueCount_;
  }
}

void SongInterpreter::fm(int reg, std::uint8_t raw) {
  if (!emitFmRegister(*out_, reg, raw, rhythmMode_, options.fmVolumeReduction)) fail(kFrameTooBig);
}

void SongInterpreter::rowWrite(int ch, int low, int high) {
  if (!emitRowWrite(*out_, ch, low, high, song_.rowsInstrument, options.fmVolumeReduction)) {
    fail(kFrameTooBig);
  }
}

void SongInterpreter::sccEvent(int ch) {
  if (noteEvents_) writeSccEvent(*out_, ch, channels_[static_cast<std::size_t>(ch)]);
}

void SongInterpreter::pcmEvent(int ch, std::uint8_t bit) {
  if (noteEvents_) writePcmEvent(*out_, ch, channels_[static_cast<std::size_t>(ch)], bit);
}

void SongInterpreter::pcmOrSccEvent(int ch, std::uint8_t pcmBit) {
  if (pcmChannelMask_ & (1 << ch)) pcmEvent(ch, pcmBit);
  else sccEvent(ch);
}

void SongInterpreter::rowStep() {
  auto note = [this](int ch) {
    int volume = readNibble();
    FmNote n = fmNoteTable(streamByte());
    if (ch < rowChannels_) rows_[static_cast<std::size_t>(ch)] = {n.low, n.high + volume};
  };
  auto silence = [this](int from) {
    for (int ch = from; ch < rowChannels_; ++ch) rows_[static_cast<std::size_t>(ch)] = RowEntry{};
  };

  if (rowWait_ > 0) {
    --rowWait_;
    silence(0);
  } else {
    int n = readNibble();
    if (n == 0) {
      int mask = streamByte();
      if (mask == 0) {
        rowChannels_ = 0;
        return;
      }
      for (int ch = 0; ch < rowChannels_; ++ch) {
        if (mask & 1) note(ch);
        else rows_[static_cast<std::size_t>(ch)] = RowEntry{};
        mask >>= 1;
      }
    } else if (n <= 7) {
      rowWait_ = n - 1;
      silence(0);
    } else {
      int dense = n - 7;
      // Every note of a dense row is read, even beyond the row's channels.
      for (int ch = 0; ch < dense; ++ch) note(ch);
      silence(dense);
    }
  }
  for (int ch = 0; ch < rowChannels_; ++ch) {
    rowWrite(ch, rows_[static_cast<std::size_t>(ch)].low, rows_[static_cast<std::size_t>(ch)].high);
  }
}

int SongInterpreter::advanceFrames(int count, int& frameCounter, FrameOutput& out) {
  if (count < 0) return 0;
  out_ = &out;
  for (int f = 0; f < count; ++f) {
    if (!failure_.empty()) return 0;
    frameBytes_ = 0;
    if (rowChannels_ > 0) rowStep();
    for (;;) {
      if (!failure_.empty()) return 0;
      std::uint8_t code = readCommandByte();
      if (!failure_.empty()) return 0;
      Flow flow = execute(code);
      if (!failure_.empty()) return 0;
      if (flow == Flow::SongEnd) return 0;
      if (flow == Flow::FrameEnd) break;
    }
    ++frameCounter;
    if (frameCounter >= kFrameLimit) return 0;
  }
  return 1;
}

SongInterpreter::Flow SongInterpreter::execute(std::uint8_t code) {
  if (code <= kv::kFmRegisterWriteLast) {
    fm(code, readCommandByte());
  } else if (code <= kv::kPsgRegisterWriteLast) {
    std::uint8_t raw = readCommandByte();
    if (!emitPsgRegister(*out_, code - kv::kPsgRegisterWrite, raw, options.psgVolumeReduction)) fail(kFrameTooBig);
  } else if (code <= kv::kChannelFullNoteLast || inFamily(code, kv::kPcmNoteOn) ||
             (code >= kv::kPcmNoteOnMidPitch && code < kv::kStreamSkip) ||
             (code >= kv::kCompactSccNotes && code <= kv::kCompactSccNotesLast)) {
    noteCommand(code);
  } else {
    return controlCommand(code);
  }
  return Flow::Continue;
}

void SongInterpreter::frequencyOperands(ChannelState& state) {
  int low = readCommandByte();
  int high = readCommandByte();
  state.frequency = high * 256 + low;
}

// The commands that set a note channel's state and write its note events.
void SongInterpreter::noteCommand(std::uint8_t code) {
  const int ch = kv::channelOf(code);
  ChannelState& state = channels_[static_cast<std::size_t>(ch)];
  if (inFamily(code, kv::kChannelVolume)) {
    state.volume = readCommandByte();
    pcmOrSccEvent(ch, kPcmChannelVolume);
  } else if (inFamily(code, kv::kChannelWave)) {
    state.waveOrSample = readCommandByte();
    sccEvent(ch);
  } else if (inFamily(code, kv::kChannelFrequency)) {
    frequencyOperands(state);
    pcmOrSccEvent(ch, kPcmChannelFrequency);
  } else if (inFamily(code, kv::kChannelFrequencyVolume)) {
    frequencyOperands(state);
    state.volume = readCommandByte();
    pcmOrSccEvent(ch, kPcmChannelFrequencyVolume);
  } else if (inFamily(code, kv::kChannelWaveVolume)) {
    state.waveOrSample = readCommandByte();
    state.volume = readCommandByte();
    sccEvent(ch);
  } else if (inFamily(code, kv::kChannelWaveFrequency)) {
    state.waveOrSample = readCommandByte();
    frequencyOperands(state);
    sccEvent(ch);
  } else if (code <= kv::kChannelFullNoteLast) {
    state.volume = readCommandByte();
    state.waveOrSample = readCommandByte();
    frequencyOperands(state);
    sccEvent(ch);
  } else if (inFamily(code, kv::kPcmNoteOn)) {
    state.volume = readCommandByte();
    state.waveOrSample = readCommandByte();
    state.frequency = readCommandByte();
    pcmEvent(ch, kPcmNoteOn);
  } else if (inFamily(code, kv::kPcmNoteOnMidPitch)) {
    state.volume = readCommandByte();
    state.waveOrSample = readCommandByte();
    state.frequency = kv::kPcmNoteOnMidPitchValue;
    pcmEvent(ch, kPcmNoteOn);
  } else if (inFamily(code, kv::kPcmVolume)) {
    state.volume = readCommandByte();
    pcmEvent(ch, kPcmVolumeChange);
  } else if (inFamily(code, kv::kPcmPitch)) {
    state.frequency = readCommandByte();
    pcmEvent(ch, kPcmPitchChange);
  } else {
    compactSccNotes(code - kv::kCompactSccNotes + 1);
  }
}

void SongInterpreter::compactSccNotes(int channels) {
  for (int c = 0; c < channels; ++c) {
    int a = readCommandByte();
    int b = readCommandByte();
    ChannelState& s = channels_[static_cast<std::size_t>(c)];
    s.volume = kCompactVolumes[b & 0x0F];
    s.frequency = ((b >> 4) * 256 + a) * 4;
    s.waveOrSample = 0;
    sccEvent(c);
  }
}

void SongInterpreter::directRows(int channels) {
  for (int c = 0; c < channels; ++c) {
    int low = readCommandByte();
    int high = readCommandByte();
    rowWrite(c, low, high);
  }
}

// Macros, channel masks, wave loads, row mode, loop jumps and the ends of
// frame and song.
SongInterpreter::Flow SongInterpreter::controlCommand(std::uint8_t code) {
  if (code >= kv::kMacroCallHigh && code <= kv::kMacroCallHighLast) {
    callMacro(code - kv::kMacroCallHighBase);
  } else if (code >= kv::kMacroCallLow && code <= kv::kMacroCallLowLast) {
    callMacro(code - kv::kMacroCallLow);
  } else if (code >= kv::kDirectRows && code <= kv::kDirectRowsLast) {
    directRows(code - kv::kDirectRows + 1);
  } else if (code >= kv::kStreamSkip && code <= kv::kStreamSkipLast) {
    streamByte();
    streamByte();
  } else if (code >= kv::kIgnoredRange && code <= kv::kIgnoredRangeLast) {
    // ignored
  } else {
    switch (code) {
      case kv::kMacroCall: callMacro(readCommandByte()); break;
      case kv::kFmUserInstrument:
        for (int i = 0; i < kv::kFmUserInstrumentValues; ++i) {
          if (!out_->appendFm(static_cast<std::uint8_t>(i), readCommandByte())) fail(kFrameTooBig);
        }
        break;
      case kv::kPcmChannelMask: pcmChannelMask_ = readCommandByte(); break;
      case kv::kMixChannelMask: mixChannelMask_ = readCommandByte(); break;
      case kv::kUnusedMask: readCommandByte(); break;
      case kv::kWaveLoad: waveLoad(); break;
      case kv::kRowMode: startRowMode(readCommandByte()); break;
      case kv::kDirectRowAll: directRows(kv::kDirectRowAllChannels); break;
      case kv::kLoopJump: return loopJump();
      case kv::kSongEnd: return Flow::SongEnd;
      case kv::kFrameEnd: return Flow::FrameEnd;
      default: break;  // kv::kIgnored
    }
  }
  return Flow::Continue;
}

// The wave bytes themselves do not reach the image (its wavetables are the
// song's wave set); channel 0 alternates waves 0 and 1.
void SongInterpreter::waveLoad() {
  ChannelState& first = channels_[0];
  frequencyOperands(first);
  first.waveOrSample = waveSlot_;
  for (int i = 0; i < kv::kWaveLoadBytes; ++i) readCommandByte();
  waveSlot_ = 1 - waveSlot_;
}

void SongInterpreter::startRowMode(int channels) {
  if (channels > kRowChannels) {
    fail(msg::tooManyRowChannels(kRowChannels));
    return;
  }
  rowChannels_ = channels;
  rowWait_ = 0;
  nibblePending_ = false;
  rowStep();
}

SongInterpreter::Flow SongInterpreter::loopJump() {
  int bank = readCommandByte();
  int low = readCommandByte();
  int high = readCommandByte();
  ++loopCounter_;
  if (loopCounter_ >= options.loopCount) return Flow::SongEnd;
  position_ = song_.loopBase + static_cast<std::size_t>(bank) * kv::kLoopBankBytes +
              static_cast<std::size_t>(high) * 256 + static_cast<std::size_t>(low);
  return Flow::Continue;
}

}  // namespace kvtram
