// The streams of converted songs, read back with the image decoder, against
// what the interpreter produced frame by frame when the same song is played
// on a workspace of its own.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

#include "app/convert_file.h"
#include "app/workspace.h"
#include "image/pcm_streams.h"
#include "image/trm_decoder.h"
#include "input/song_player.h"
#include "support/kv_song_builder.h"
#include "support/recorded_play.h"
#include "support/xorshift_random.h"
#include "support/temp_dir.h"

namespace kvtram {
namespace {

class Random : public kvtram::XorshiftRandom {
 public:
  explicit Random(std::uint64_t seed) : XorshiftRandom(seed, 1) {}
};

struct GeneratedSong {
  KvSongBuilder song;
  ConversionOptions options;
  int sampleCount = 0;
  int waveCount = 0;
};

std::uint8_t ramp(std::size_t i) { return static_cast<std::uint8_t>(i * 5 + 1); }

// A song of well-formed commands: frames with PSG and FM writes (rhythm mode
// switches included), empty frames, rests of more than 255 frames, notes and
// SCC notes on the note channels (every channel's first PCM event a note-on), and
// a loop jump. An endless song jumps back to its start until the frame limit.
GeneratedSong generateSong(std::uint64_t seed, bool endless) {
  Random rng(seed);
  GeneratedSong g;
  KvSongBuilder& b = g.song;
  const int channels = rng.below(4);
  std::string sampleName = std::to_string(seed);
  sampleName.insert(sampleName.begin(), 'g');
  b.version(4).pcmChannels(channels).pcmMask(rng.below(256)).sampleFileName(sampleName);
  if (rng.chance(50)) {
    b.sample(Bytes(512, 100), "SCC ");
    g.waveCount = 2;
  }
  b.sampleOfBlocks(1, ramp).sampleOfBlocks(3, ramp);
  g.sampleCount = g.waveCount > 0 ? 3 : 2;
  b.loop(g.sampleCount - 1, 2);  // the shortest loop a loop marker can give

  g.options.loopCount = endless ? 15 : 1 + rng.below(3);
  g.options.highQuality = rng.chance(50);
  g.options.useSccI = rng.chance(50);
  g.options.psgVolumeReduction = rng.below(4);
  g.options.fmVolumeReduction = rng.below(4);
  g.options.strictMid = g.options.strictMidHigh = g.options.strictHigh = false;

  std::array<bool, 8> noteOn{};
  auto note = [&](Bytes& s, int c) {
    auto ch = static_cast<std::uint8_t>(c);
    auto sample = static_cast<std::uint8_t>(rng.below(g.sampleCount));
    if (!noteOn[static_cast<std::size_t>(c)] || rng.chance(30)) {
      noteOn[static_cast<std::size_t>(c)] = true;
      if (rng.chance(80)) s.insert(s.end(), {static_cast<std::uint8_t>(0xA0 + ch), rng.byte(), sample, rng.byte()});
      else s.insert(s.end(), {static_cast<std::uint8_t>(0xB0 + ch), rng.byte(), sample});
      return;
    }
    switch (rng.below(9)) {
      case 0: s.insert(s.end(), {static_cast<std::uint8_t>(0xB8 + ch), rng.byte()}); break;
      case 1: s.insert(s.end(), {static_cast<std::uint8_t>(0xC0 + ch), rng.byte()}); break;
      case 2: s.insert(s.end(), {static_cast<std::uint8_t>(0x50 + ch), rng.byte()}); break;
      case 3: s.insert(s.end(), {static_cast<std::uint8_t>(0x60 + ch), rng.byte(), rng.byte()}); break;
      case 4: s.insert(s.end(), {static_cast<std::uint8_t>(0x68 + ch), rng.byte(), rng.byte(), rng.byte()}); break;
      case 5: s.insert(s.end(), {static_cast<std::uint8_t>(0x58 + ch), sample}); break;
      case 6: s.insert(s.end(), {static_cast<std::uint8_t>(0x70 + ch), sample, rng.byte()}); break;
      case 7: s.insert(s.end(), {static_cast<std::uint8_t>(0x78 + ch), sample, rng.byte(), rng.byte()}); break;
      default: s.insert(s.end(), {static_cast<std::uint8_t>(0x80 + ch), rng.byte(), sample, rng.byte(), rng.byte()});
    }
  };

  Bytes s;
  const int frames = 20 + rng.below(100);
  const int loopFrame = rng.below(frames);
  const int jumpFrame = endless ? -1 : loopFrame + 1 + rng.below(frames - loopFrame);
  std::size_t loopTarget = 0;
  for (int f = 0; f < frames; ++f) {
    if (f == loopFrame) loopTarget = s.size();
    if (f == jumpFrame) {
      // At the start of a frame: the frame goes on at the target.
      s.insert(s.end(), {0xFD, 0x00, static_cast<std::uint8_t>(loopTarget & 0xFF),
                         static_cast<std::uint8_t>(loopTarget >> 8)});
    }
    int roll = rng.below(100);
    if (roll < 20) {
      s.push_back(0xFF);
      continue;
    }
    if (roll < 25) {
      s.insert(s.end(), static_cast<std::size_t>(256 + rng.below(500)), 0xFF);
      continue;
    }
    for (int k = rng.below(4); k > 0; --k) s.insert(s.end(), {static_cast<std::uint8_t>(0x40 + rng.below(16)), rng.byte()});
    for (int k = rng.below(4); k > 0; --k) {
      int reg = rng.chance(10) ? 0x0E : rng.below(64);
      s.insert(s.end(), {static_cast<std::uint8_t>(reg), rng.byte()});
    }
    for (int c = 0; c < channels; ++c) {
      if (rng.chance(35)) note(s, c);
    }
    if (channels > 0 && rng.chance(5)) {
      int n = 1 + rng.below(channels);
      s.push_back(static_cast<std::uint8_t>(0xCF + n));
      for (int c = 0; c < n; ++c) s.insert(s.end(), {rng.byte(), rng.byte()});
    }
    if (rng.chance(5)) s.insert(s.end(), {0xA7, rng.byte(), static_cast<std::uint8_t>(rng.below(g.sampleCount)), rng.byte()});
    s.push_back(0xFF);
  }
  if (endless) {
    s.insert(s.end(), 2600, 0xFF);  // 15 runs of the song reach the frame limit
    s.insert(s.end(), {0xFD, 0x00, 0x00, 0x00});
  } else {
    s.push_back(0xFE);
  }
  b.stream(s);
  return g;
}

// What one frame of the song produced.
struct FrameRecord {
  Bytes psg, fm;
  std::array<std::optional<PcmNoteEvent>, 8> pcm;
  std::array<std::optional<SccNoteEvent>, 8> scc;
};

// Plays the song as the stream passes do: after a first run (which leaves the
// rhythm mode the later passes start with), once more, recorded.
std::vector<FrameRecord> playRecorded(Workspace& ws, const std::string& path, const ConversionOptions& options,
                                      bool& finalRhythmMode) {
  SongInterpreter& interpreter = ws.interpreter;
  interpreter.options = playbackOptions(options);
  EXPECT_EQ(loadSong(path, ws.files, ws.song), "");
  interpreter.restart();
  interpreter.setRhythmMode(false);
  int counter = 0;
  playSong(interpreter, ws.frame, counter, [](int, bool, const FrameOutput&, int) {});
  interpreter.restart();
  counter = 0;
  std::vector<FrameRecord> frames;
  playSong(interpreter, ws.frame, counter, [&](int, bool, const FrameOutput& out, int) {
    FrameRecord r;
    r.psg = psgBytes(out);
    r.fm = fmBytes(out);
    for (std::size_t c = 0; c < 8; ++c) {
      if (out.pcmEventBytes[c] != 0) r.pcm[c] = out.pcm[c];
      if (out.sccEventBytes[c] != 0) r.scc[c] = out.scc[c];
    }
    frames.push_back(std::move(r));
  });
  EXPECT_EQ(interpreter.failure(), "");
  finalRhythmMode = interpreter.rhythmMode();
  return frames;
}

using Write = std::tuple<std::int64_t, int, int>;  // time, register, value

// A register stream: its writes in order, each at the frame time of the frame
// that produced it less one, and its end after T - 1 frames, or T when every
// frame before the last emitted something.
void checkRegisterStream(const TrmStream& stream, const std::vector<FrameRecord>& frames, bool fm) {
  std::vector<Write> expected, actual;
  const int step = fm ? 2 : 3;
  bool everyFrameEmits = true;
  for (std::size_t f = 0; f < frames.size(); ++f) {
    const Bytes& bytes = fm ? frames[f].fm : frames[f].psg;
    for (std::size_t i = 0; i + static_cast<std::size_t>(step) <= bytes.size(); i += static_cast<std::size_t>(step)) {
      if (fm) expected.emplace_back(static_cast<std::int64_t>(f), bytes[i] - 0xB0, bytes[i + 1]);
      else expected.emplace_back(static_cast<std::int64_t>(f), bytes[i + 1], bytes[i + 2]);
    }
    // The FM stream's first frame always has the init block.
    bool emits = !bytes.empty() || (fm && f == 0);
    if (f + 1 < frames.size() && !emits) everyFrameEmits = false;
  }
  for (const TrmCommand& c : stream.commands) {
    if (c.kind == TrmCommandKind::PsgWrite || c.kind == TrmCommandKind::FmWrite) actual.emplace_back(c.time, c.reg, c.value);
  }
  EXPECT_EQ(actual, expected);
  const auto T = static_cast<std::int64_t>(frames.size());
  EXPECT_EQ(stream.endTime, everyFrameEmits ? T : T - 1);
}

// One PCM or SCC note the channel stream acts on: recorded in event frame
// `frame`, lasting up to the channel's next event frame.
struct Acted {
  int frame = 0;
  int duration = 0;
  std::optional<PcmNoteEvent> note;
  SccNoteEvent scc{};
  int variant = 0;
};

void checkChannelStream(const TrmStream& stream, const std::vector<FrameRecord>& frames, int channel,
                        int waveCount, bool highQuality) {
  const auto c = static_cast<std::size_t>(channel);
  const int T = static_cast<int>(frames.size());
  std::vector<int> eventFrames;
  for (int f = 1; f <= T; ++f) {
    const FrameRecord& r = frames[static_cast<std::size_t>(f - 1)];
    if (r.pcm[c] || r.scc[c] || f == T) eventFrames.push_back(f);
  }
  std::vector<Acted> acted;
  for (std::size_t i = 0; i + 1 < eventFrames.size(); ++i) {
    const FrameRecord& r = frames[static_cast<std::size_t>(eventFrames[i] - 1)];
    Acted a;
    a.frame = eventFrames[i];
    a.duration = eventFrames[i + 1] - eventFrames[i];
    if (r.pcm[c]) a.note = r.pcm[c];  // an SCC note of the same frame is lost
    else a.scc = *r.scc[c];
    acted.push_back(a);
  }
  // A note group plays from the highest variant any of its notes needs.
  for (std::size_t i = 0; i < acted.size();) {
    if (!acted[i].note) {
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    while (end < acted.size() && !(acted[end].note && (acted[end].note->changes & kPcmNoteOn))) ++end;
    int variant = 0;
    for (std::size_t k = i; k < end; ++k) {
      if (acted[k].note) variant = std::max(variant, variantOfPitch(acted[k].note->pitch, highQuality));
    }
    for (std::size_t k = i; k < end; ++k) acted[k].variant = variant;
    i = end;
  }

  const std::vector<TrmCommand>& cmds = stream.commands;
  std::size_t first = 0;
  while (first < cmds.size() && cmds[first].kind == TrmCommandKind::NextBank) ++first;
  ASSERT_LT(first, cmds.size());
  EXPECT_EQ(cmds[first].kind, TrmCommandKind::Wait);
  EXPECT_EQ(cmds[first].count, eventFrames.front() + 1) << "opening wait";
  std::size_t next = 0;
  int lastEntry = -1, lastVolume = -1, lastWave = -1;
  for (std::size_t i = first + 1; i < cmds.size(); ++i) {
    const TrmCommand& cmd = cmds[i];
    switch (cmd.kind) {
      case TrmCommandKind::SelectSample: lastEntry = cmd.pointer; break;
      case TrmCommandKind::NoteVolume: lastVolume = cmd.value; break;
      case TrmCommandKind::WaveAddress: lastWave = cmd.pointer; break;
      case TrmCommandKind::Note:
      case TrmCommandKind::SccNote: {
        ASSERT_LT(next, acted.size()) << "more notes and tones than events";
        const Acted& a = acted[next++];
        SCOPED_TRACE("event of frame " + std::to_string(a.frame));
        EXPECT_EQ(cmd.time, a.frame + 1);
        EXPECT_EQ(cmd.count, a.duration);
        if (a.note) {
          ASSERT_EQ(cmd.kind, TrmCommandKind::Note);
          EXPECT_EQ(cmd.reg, pitchIndex(a.note->pitch, a.variant));
          EXPECT_EQ(lastEntry, sampleEntryAddress(waveCount, a.note->sample, a.variant));
          EXPECT_EQ(lastVolume, (241 + a.note->volume / 4) & 0xFF);
          bool change = i > 0 && cmds[i - 1].kind == TrmCommandKind::NoteChange;
          EXPECT_EQ(change, !(a.note->changes & kPcmNoteOn));
        } else {
          ASSERT_EQ(cmd.kind, TrmCommandKind::SccNote);
          EXPECT_EQ(cmd.reg, a.scc.period);
          EXPECT_EQ(cmd.value, a.scc.volume);
          EXPECT_EQ(lastWave, waveAddress(a.scc.wave));
        }
        break;
      }
      default: break;
    }
  }
  EXPECT_EQ(next, acted.size()) << "notes and tones missing";
  EXPECT_EQ(stream.endTime, T + 1);
}

class StreamProperty : public ::testing::Test {
 protected:
  TempDir dir;
  std::unique_ptr<Workspace> converter = std::make_unique<Workspace>();
  std::unique_ptr<Workspace> player = std::make_unique<Workspace>();

  void check(std::uint64_t seed, bool endless) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    GeneratedSong g = generateSong(seed, endless);
    std::string name = "song" + std::to_string(seed);
    std::string path = g.song.write(dir.path(), name);
    std::string imagePath = dir.path() + "/" + name + ".trm";
    ASSERT_EQ(convertFile(*converter, path, imagePath, g.options), "");
    Bytes file = dir.read(name + ".trm");
    auto image = std::make_unique<TrmImage>();
    ASSERT_EQ(decodeTrm(file, *image), "");

    bool rhythm = false;
    std::vector<FrameRecord> frames = playRecorded(*player, path, g.options, rhythm);
    if (endless) {
      EXPECT_EQ(frames.size(), 36001u) << "the frame limit ends the song";
    }

    EXPECT_EQ(image->header.rhythmMode, rhythm ? 1 : 0);
    checkRegisterStream(image->psg, frames, false);
    ASSERT_FALSE(image->fm.commands.empty());
    const TrmCommand& init = image->fm.commands[image->fm.commands[0].kind == TrmCommandKind::NextBank ? 1 : 0];
    EXPECT_EQ(init.kind, TrmCommandKind::FmInit);
    EXPECT_EQ(init.count, rhythm ? 6 : 9);
    checkRegisterStream(image->fm, frames, true);

    // The streams follow one another without gaps, channel 0 first, and the
    // file ends with the last of them.
    const int channels = player->song.pcmChannelCount;
    ASSERT_EQ(static_cast<int>(image->channels.size()), channels);
    EXPECT_EQ(image->fm.start, image->psg.end);
    const std::array<int, 8> slots = channelSlots(channels, g.options.useSccI);
    int previousEnd = image->fm.end;
    for (int c = 0; c < channels; ++c) {
      SCOPED_TRACE("channel " + std::to_string(c));
      const TrmStream& s = image->channels[static_cast<std::size_t>(c)];
      EXPECT_EQ(s.headerOffset, slots[static_cast<std::size_t>(c)]);
      EXPECT_EQ(s.start, previousEnd);
      previousEnd = s.end;
      checkChannelStream(s, frames, c, g.waveCount, g.options.highQuality);
    }
    EXPECT_EQ(file.size(), static_cast<std::size_t>(previousEnd + 576));
    EXPECT_EQ(image->waveCount, g.waveCount);
    EXPECT_EQ(static_cast<int>(image->samples.size()), g.sampleCount);
  }
};

TEST_F(StreamProperty, DecodedTimesMatchTheFramesOfGeneratedSongs) {
  for (std::uint64_t seed = 1; seed <= 60; ++seed) check(seed, false);
}

TEST_F(StreamProperty, SongsRunIntoTheFrameLimit) {
  for (std::uint64_t seed = 101; seed <= 103; ++seed) check(seed, true);
}

// Every frame writes 50 PSG registers (150 bytes and a one-frame wait): the
// PSG stream fills more than a bank.
TEST(StreamBanks, AFrameIsNeverSplitAcrossBanks) {
  TempDir dir;
  KvSongBuilder song;
  Bytes s;
  for (int f = 0; f < 130; ++f) {
    for (int i = 0; i < 50; ++i) s.insert(s.end(), {static_cast<std::uint8_t>(0x40 + i % 8), static_cast<std::uint8_t>(f)});
    s.push_back(0xFF);
  }
  s.push_back(0xFE);
  song.stream(s);
  auto ws = std::make_unique<Workspace>();
  std::string path = song.write(dir.path(), "banks");
  ASSERT_EQ(convertFile(*ws, path, dir.path() + "/banks.trm", ConversionOptions{}), "");
  auto image = std::make_unique<TrmImage>();
  ASSERT_EQ(decodeTrm(dir.read("banks.trm"), *image), "");

  const std::vector<TrmCommand>& cmds = image->psg.commands;
  int crossings = 0;
  for (std::size_t i = 0; i < cmds.size(); ++i) {
    if (cmds[i].kind != TrmCommandKind::NextBank) continue;
    ++crossings;
    const int offset = cmds[i].address % 16384;
    EXPECT_LE(offset, 16382);
    // The frame that did not fit: its writes and its wait, from the bank start.
    ASSERT_LT(i + 1, cmds.size());
    EXPECT_EQ(cmds[i + 1].address % 16384, 0);
    std::size_t k = i + 1;
    while (k < cmds.size() && cmds[k].kind != TrmCommandKind::Wait) ++k;
    ASSERT_LT(k, cmds.size());
    const int length = cmds[k].address + cmds[k].length - cmds[i + 1].address;
    EXPECT_GE(offset + length, 16383) << "the frame would have fitted before the bank end";
  }
  EXPECT_GE(crossings, 1);
  // The writes of one frame, and the wait behind them, share a bank.
  for (std::size_t i = 0; i + 1 < cmds.size(); ++i) {
    if (cmds[i].kind == TrmCommandKind::PsgWrite && cmds[i + 1].kind != TrmCommandKind::NextBank) {
      EXPECT_EQ(cmds[i].address / 16384, cmds[i + 1].address / 16384) << "frame at time " << cmds[i].time;
    }
    if (cmds[i].kind == TrmCommandKind::PsgWrite && cmds[i + 1].kind == TrmCommandKind::NextBank) {
      ADD_FAILURE() << "a next-bank command inside the frame at time " << cmds[i].time;
    }
  }
  EXPECT_EQ(image->psg.endTime, 131) << "131 frames, all but the last with bytes";
  // The FM stream goes on in the bank the PSG stream ended in.
  EXPECT_EQ(image->fm.start, image->psg.end);
  EXPECT_GE(image->fm.start / 16384, 2);
}

}  // namespace
}  // namespace kvtram
