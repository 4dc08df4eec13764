// What the channel commands produce: FM register pairs with the volume
// reduction and rhythm mode, PSG triplets, SCC note events (volume,
// period, wave address), PCM note events with their change bits and the
// channel mask, compact notes, wave loads and direct FM rows.
#include <gtest/gtest.h>

#include <memory>

#include "image/image_format.h"
#include "input/interpreter.h"
#include "support/kv_song_builder.h"
#include "support/recorded_play.h"
#include "support/temp_dir.h"

namespace kvtram {
namespace {

class Emission : public ::testing::Test {
 protected:
  // Plays a song of one frame of `commands` (and an end) and returns that frame.
  RecordedFrame frameOf(const Bytes& commands, PlaybackOptions options = {}, int pcmMask = 0,
                        int rowsInstrument = 15) {
    KvSongBuilder b;
    b.pcmMask(pcmMask).rowsInstrument(rowsInstrument).stream(commands).stream({0xFF, 0xFE});
    RecordedPlay play = recordSong(b.write(dir.path(), "song" + std::to_string(serial++)), options);
    EXPECT_EQ(play.failure, "");
    EXPECT_EQ(play.frames.size(), 2u);
    if (play.frames.empty()) return {};
    return play.frames[0];
  }

  TempDir dir;
  int serial = 0;
};

PlaybackOptions reductions(int fm, int psg) {
  PlaybackOptions o;
  o.fmVolumeReduction = fm;
  o.psgVolumeReduction = psg;
  return o;
}

TEST_F(Emission, FmRegisterWritesWithReductionAndRhythmMode) {
  struct Case {
    int reduction;
    bool rhythm;
    std::uint8_t reg, raw, value;
  };
  const Case cases[] = {
      {1, false, 0x33, 0x2C, 0x2D}, {1, false, 0x33, 0x2F, 0x2F}, {0, false, 0x33, 0x2F, 0x2F},
      {1, true, 0x37, 0x5A, 0x6B},  {1, true, 0x36, 0x5A, 0x0B},  {1, true, 0x35, 0x5A, 0x5B},
      {1, false, 0x36, 0x5A, 0x5B}, {1, false, 0x38, 0x5A, 0x5B}, {1, true, 0x38, 0x5A, 0x6B},
      {3, true, 0x38, 0xD1, 0xF4},  {3, true, 0x36, 0xD1, 0x04},  {1, true, 0x38, 0xFF, 0xFF},
      {15, false, 0x30, 0x00, 0x0F}, {15, false, 0x30, 0xF0, 0xFF}, {4, false, 0x34, 0x9B, 0x9F},
      {4, false, 0x2F, 0x9B, 0x9B}, {4, false, 0x39, 0x9B, 0x9B}, {4, false, 0x10, 0x0B, 0x0B},
      {4, true, 0x30, 0x9B, 0x9F},  {0, true, 0x37, 0x5A, 0x5A},  {4, false, 0x0E, 0x0B, 0x0B},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "reduction " << c.reduction << " rhythm " << c.rhythm << " register "
                                      << static_cast<int>(c.reg) << " raw " << static_cast<int>(c.raw));
    Bytes commands;
    Bytes expected;
    if (c.rhythm) {
      commands = {0x0E, 0x20};
      expected = {0xBE, 0x20};
    }
    commands.insert(commands.end(), {c.reg, c.raw});
    expected.insert(expected.end(), {static_cast<std::uint8_t>(0xB0 + c.reg), c.value});
    EXPECT_EQ(frameOf(commands, reductions(c.reduction, 1)).fm, expected);
  }
}

TEST_F(Emission, EveryFmRegisterInOrderWithRhythmSwitchedOnMidway) {
  // Raw 0x2C for registers 0x00-0x3F in order, reduction 3. Its bit 5 is set,
  // so the write of 0x0E (itself unchanged) turns rhythm mode on for the
  // registers after it. With raw 0x0C rhythm mode stays off.
  for (std::uint8_t raw : {std::uint8_t{0x2C}, std::uint8_t{0x0C}}) {
    SCOPED_TRACE(static_cast<int>(raw));
    Bytes commands;
    Bytes expected;
    for (int reg = 0; reg < 0x40; ++reg) {
      commands.insert(commands.end(), {static_cast<std::uint8_t>(reg), raw});
      int value = raw;
      bool rhythm = raw == 0x2C;
      if (reg >= 0x30 && reg <= 0x35) value = (raw & 0xF0) | 0x0F;
      if (reg >= 0x36 && reg <= 0x38) {
        if (!rhythm) value = (raw & 0xF0) | 0x0F;
        else if (reg == 0x36) value = 0x0F;
        else value = ((raw >> 4) + 3) * 16 + 0x0F;
      }
      expected.insert(expected.end(), {static_cast<std::uint8_t>(0xB0 + reg), static_cast<std::uint8_t>(value)});
    }
    EXPECT_EQ(frameOf(commands, reductions(3, 1)).fm, expected);
  }
}

TEST_F(Emission, RhythmModeChangesOnlyForLaterWrites) {
  EXPECT_EQ(frameOf({0x36, 0x5A, 0x0E, 0x20, 0x36, 0x5A, 0x37, 0x5A, 0x0E, 0xDF, 0x36, 0x5A, 0x0E, 0x3F, 0x38, 0x12})
                .fm,
            (Bytes{0xE6, 0x5B, 0xBE, 0x20, 0xE6, 0x0B, 0xE7, 0x6B, 0xBE, 0xDF, 0xE6, 0x5B, 0xBE, 0x3F, 0xE8, 0x23}));
}

TEST_F(Emission, UserInstrumentBytesGoOutUnchanged) {
  PlaybackOptions o = reductions(5, 1);
  EXPECT_EQ(frameOf({0x0E, 0x20, 0xA8, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0xFF, 0x36, 0x5A}, o).fm,
            (Bytes{0xBE, 0x20, 0xB0, 0x30, 0xB1, 0x31, 0xB2, 0x32, 0xB3, 0x33, 0xB4, 0x34, 0xB5, 0x35, 0xB6, 0x36, 0xB7,
                   0xFF, 0xE6, 0x0F}));
}

TEST_F(Emission, PsgRegisterWritesWithReduction) {
  struct Case {
    int reduction;
    std::uint8_t reg, raw, value;
  };
  const Case cases[] = {
      {5, 8, 0x03, 0x00},  {5, 8, 0x13, 0x13},  {5, 7, 0x03, 0x03},  {1, 9, 0x0F, 0x0E},  {1, 10, 0xE5, 0x04},
      {1, 10, 0xF5, 0xF5}, {1, 11, 0x05, 0x05}, {0, 8, 0x0F, 0x0F},  {15, 10, 0x0F, 0x00}, {1, 8, 0x00, 0x00},
      {3, 9, 0x3C, 0x3C},  {3, 9, 0x2C, 0x09},  {1, 0, 0xFF, 0xFF},  {1, 15, 0x01, 0x01},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "reduction " << c.reduction << " register " << static_cast<int>(c.reg)
                                      << " raw " << static_cast<int>(c.raw));
    RecordedFrame f = frameOf({static_cast<std::uint8_t>(0x40 + c.reg), c.raw}, reductions(1, c.reduction));
    EXPECT_EQ(f.psg, (Bytes{0x8F, c.reg, c.value}));
    EXPECT_EQ(f.fm, Bytes{});
  }
}

TEST_F(Emission, SccVolume) {
  const std::pair<int, int> cases[] = {{0, 0},   {1, 0},  {2, 1},   {3, 1},  {5, 1},  {6, 2},  {7, 2},
                                       {61, 15}, {62, 15}, {63, 15}, {64, 0}, {65, 0}, {100, 9}, {255, 15},
                                       {0x80 + 10, 3}};
  for (auto [volume, expected] : cases) {
    SCOPED_TRACE(volume);
    RecordedFrame f = frameOf({0x50, static_cast<std::uint8_t>(volume)});
    ASSERT_EQ(f.sccBytes[0], 8);
    EXPECT_EQ(f.scc[0].volume, expected);
  }
}

TEST_F(Emission, SccPeriod) {
  const std::pair<int, int> cases[] = {{1000, 232}, {65535, 3},  {10, 4095},  {0, 0},    {1, 4095},
                                       {56, 4095},  {57, 4095},  {58, 4024},  {100, 2334}, {500, 466},
                                       {1164, 200}, {2000, 116}, {4660, 49},  {16380, 13}};
  for (auto [frequency, period] : cases) {
    SCOPED_TRACE(frequency);
    RecordedFrame f = frameOf({0x61, static_cast<std::uint8_t>(frequency & 0xFF), static_cast<std::uint8_t>(frequency >> 8)});
    ASSERT_EQ(f.sccBytes[1], 8);
    EXPECT_EQ(f.scc[1].period, period);
  }
}

TEST_F(Emission, WaveAddress) {
  const std::pair<int, std::pair<int, int>> cases[] = {
      {0, {0x00, 0x40}}, {1, {0x20, 0x40}}, {7, {0xE0, 0x40}}, {8, {0x00, 0x41}}, {255, {0xE0, 0x5F}}};
  for (auto [wave, address] : cases) {
    SCOPED_TRACE(wave);
    RecordedFrame f = frameOf({0x5B, static_cast<std::uint8_t>(wave)});
    ASSERT_EQ(f.sccBytes[3], 8);
    EXPECT_EQ(f.scc[3].wave, wave);
    const int at = waveAddress(f.scc[3].wave);
    EXPECT_EQ(at & 0xFF, address.first);
    EXPECT_EQ(at >> 8, address.second);
  }
}

struct NoteCase {
  const char* what;
  int pcmMask;
  Bytes commands;
  int channel;
  // Expected PCM event (when pcmBytes is 4) or SCC event (sccBytes 8).
  bool pcm;
  PcmNoteEvent pcmEvent;
  SccNoteEvent sccEvent;
};

TEST_F(Emission, NoteEventsAndTheirChannel) {
  // At load a channel has volume 0, wave 0, frequency 0xFFFF (period 3).
  const NoteCase cases[] = {
      {"volume on a PCM channel", 0x04, {0x52, 0x40}, 2, true, {0x08, 0x40, 0x00, 0xFF}, {}},
      {"volume on a SCC channel", 0x04, {0x53, 0x40}, 3, false, {}, {0, 3, 0}},
      {"wave on a PCM channel", 0x04, {0x5A, 0x05}, 2, false, {}, {0, 3, 5}},
      {"frequency on a PCM channel", 0x04, {0x62, 0x34, 0x12}, 2, true, {0x10, 0x00, 0x00, 0x34}, {}},
      {"frequency on a SCC channel", 0x04, {0x64, 0xE8, 0x03}, 4, false, {}, {0, 232, 0}},
      {"frequency and volume on a PCM channel", 0x04, {0x6A, 0x34, 0x12, 0x50}, 2, true, {0x20, 0x50, 0x00, 0x34}, {}},
      {"frequency and volume on a SCC channel", 0x04, {0x6B, 0xE8, 0x03, 0x3C}, 3, false, {},
       {0x0F, 232, 0}},
      {"wave and volume", 0x04, {0x72, 0x07, 0x28}, 2, false, {}, {0x0A, 3, 7}},
      {"wave and frequency", 0x04, {0x7A, 0x02, 0xE8, 0x03}, 2, false, {}, {0, 232, 2}},
      {"volume, wave, frequency", 0x04, {0x82, 0x3C, 0x05, 0xE8, 0x03}, 2, false, {},
       {0x0F, 232, 5}},
      {"volume, wave, frequency (second code)", 0x04, {0x8A, 0x3C, 0x05, 0xE8, 0x03}, 2, false, {},
       {0x0F, 232, 5}},
      {"volume, wave, frequency on channel 7", 0x00, {0x8F, 0x01, 0xFF, 0xFF, 0xFF}, 7, false, {},
       {0x00, 3, 255}},
      {"PCM note-on on any channel", 0x00, {0xA3, 0x40, 0x05, 0x90}, 3, true, {0x01, 0x40, 0x05, 0x90}, {}},
      {"PCM note-on at pitch 0x80", 0x00, {0xB4, 0x30, 0x07}, 4, true, {0x01, 0x30, 0x07, 0x80}, {}},
      {"PCM volume", 0x00, {0xBD, 0x22}, 5, true, {0x02, 0x22, 0x00, 0xFF}, {}},
      {"PCM pitch", 0x00, {0xC6, 0x44}, 6, true, {0x04, 0x00, 0x00, 0x44}, {}},
      {"change bits add up", 0x00, {0xA2, 0x40, 0x05, 0x90, 0xBA, 0x22}, 2, true, {0x03, 0x22, 0x05, 0x90}, {}},
      {"all change bits", 0x04,
       {0xA2, 0x40, 0x05, 0x90, 0x52, 0x10, 0x62, 0x77, 0x01, 0x6A, 0x78, 0x00, 0x11, 0xC2, 0x79, 0xBA, 0x13, 0xB2,
        0x12, 0x06},
       2, true, {0x3F, 0x12, 0x06, 0x80}, {}},
      {"the mask command takes a channel off PCM", 0x04, {0xA9, 0x00, 0x52, 0x40}, 2, false, {},
       {0, 3, 0}},
      {"the mask command puts a channel on PCM", 0x00, {0xA9, 0x08, 0x53, 0x40}, 3, true, {0x08, 0x40, 0, 0xFF}, {}},
      {"the mix mask changes nothing", 0x04, {0xAA, 0x00, 0xAB, 0x00, 0x52, 0x40}, 2, true, {0x08, 0x40, 0, 0xFF}, {}},
      {"last event shows the last state", 0x00, {0x50, 0x04, 0x58, 0x02, 0x60, 0x00, 0x01}, 0, false, {},
       {0x01, 911, 2}},
  };
  for (const NoteCase& c : cases) {
    SCOPED_TRACE(c.what);
    RecordedFrame f = frameOf(c.commands, {}, c.pcmMask);
    for (int ch = 0; ch < kNoteChannels; ++ch) {
      std::size_t i = static_cast<std::size_t>(ch);
      bool here = ch == c.channel;
      EXPECT_EQ(f.pcmBytes[i], here && c.pcm ? 4 : 0) << "channel " << ch;
      EXPECT_EQ(f.sccBytes[i], here && !c.pcm ? 8 : 0) << "channel " << ch;
    }
    std::size_t ch = static_cast<std::size_t>(c.channel);
    if (c.pcm) {
      EXPECT_EQ(f.pcm[ch].changes, c.pcmEvent.changes);
      EXPECT_EQ(f.pcm[ch].volume, c.pcmEvent.volume);
      EXPECT_EQ(f.pcm[ch].sample, c.pcmEvent.sample);
      EXPECT_EQ(f.pcm[ch].pitch, c.pcmEvent.pitch);
    } else {
      EXPECT_EQ(f.scc[ch], c.sccEvent);
    }
  }
}

TEST_F(Emission, PcmAndSccEventsOfOneChannelInOneFrame) {
  // A volume command on a PCM channel leaves the SCC event alone, a wave
  // command on it writes only the SCC event.
  RecordedFrame f = frameOf({0x52, 0x20, 0x5A, 0x03, 0x52, 0x21}, {}, 0x04);
  EXPECT_EQ(f.pcmBytes[2], 4);
  EXPECT_EQ(f.sccBytes[2], 8);
  EXPECT_EQ(f.pcm[2].changes, 0x08);
  EXPECT_EQ(f.pcm[2].volume, 0x21);
  EXPECT_EQ(f.pcm[2].sample, 0x03);
  // The SCC event was written with the state at the wave command.
  EXPECT_EQ(f.scc[2], (SccNoteEvent{0x08, 3, 3}));

  // One state serves both kinds: a PCM note-on's sample and pitch byte become
  // the SCC event's wave and frequency (16: period 4095).
  f = frameOf({0xA1, 0x3C, 0x09, 0x10, 0x51, 0x3C});
  EXPECT_EQ(f.pcmBytes[1], 4);
  EXPECT_EQ(f.pcm[1].changes, 0x01);
  EXPECT_EQ(f.scc[1], (SccNoteEvent{0x0F, 4095, 9}));
}

TEST_F(Emission, CompactNotes) {
  // Volume indices 0-15 through the compact volume table.
  const int volumes[16] = {0, 0, 1, 1, 1, 1, 2, 2, 3, 3, 4, 6, 7, 9, 12, 15};
  for (int index = 0; index < 16; ++index) {
    SCOPED_TRACE(index);
    RecordedFrame f = frameOf({0xD0, 0x00, static_cast<std::uint8_t>(index)});
    ASSERT_EQ(f.sccBytes[0], 8);
    // Frequency 0 gives period 0.
    EXPECT_EQ(f.scc[0], (SccNoteEvent{static_cast<std::uint8_t>(volumes[index]), 0, 0}));
  }

  // (0x23, 0x11): frequency 0x48C, period 200, volume index 1; wave 0 even
  // after a wave command; a SCC note even on a PCM channel.
  RecordedFrame f = frameOf({0x58, 0x05, 0xD0, 0x23, 0x11}, {}, 0x01);
  EXPECT_EQ(f.scc[0], (SccNoteEvent{0x00, 200, 0}));
  EXPECT_EQ(f.pcmBytes[0], 0);

  // The highest frequency: (15 x 256 + 255) x 4 = 16380, period 13.
  f = frameOf({0xD0, 0xFF, 0xFF});
  EXPECT_EQ(f.scc[0], (SccNoteEvent{0x0F, 13, 0}));

  // 0xD2 covers channels 0-2, 0xD7 all eight, in channel order.
  f = frameOf({0xD2, 0x23, 0x11, 0xFA, 0x0F, 0x00, 0x20});
  EXPECT_EQ(f.sccBytes, (std::array<int, 8>{8, 8, 8, 0, 0, 0, 0, 0}));
  // (0xFA, 0x0F): frequency 1000, period 232; (0x00, 0x20): frequency 2048, period 113.
  EXPECT_EQ(f.scc[1], (SccNoteEvent{0x0F, 232, 0}));
  EXPECT_EQ(f.scc[2], (SccNoteEvent{0x00, 113, 0}));
  Bytes eight = {0xD7};
  for (int ch = 0; ch < 8; ++ch) eight.insert(eight.end(), {0x00, static_cast<std::uint8_t>(0x10 + ch)});
  f = frameOf(eight);
  EXPECT_EQ(f.sccBytes, (std::array<int, 8>{8, 8, 8, 8, 8, 8, 8, 8}));
  for (int ch = 0; ch < 8; ++ch) {
    SCOPED_TRACE(ch);
    // Frequency 0x400, period 227.
    EXPECT_EQ(f.scc[static_cast<std::size_t>(ch)],
              (SccNoteEvent{static_cast<std::uint8_t>(volumes[ch]), 227, 0}));
  }
}

TEST_F(Emission, WaveLoadsAlternateTheWaveOfChannelZero) {
  // Three wave loads, each followed by a volume command on channel 0. The 32
  // wave bytes are all 0xFF: none of them ends the frame or reaches the output.
  const int frequencies[] = {1000, 0, 4660};
  KvSongBuilder b;
  for (int frequency : frequencies) {
    b.stream({0xAC, static_cast<std::uint8_t>(frequency & 0xFF), static_cast<std::uint8_t>(frequency >> 8)});
    b.stream(Bytes(32, 0xFF)).stream({0xFF, 0x50, 0x3C, 0xFF});
  }
  b.stream({0xFE});
  RecordedPlay play = recordSong(b.write(dir.path(), "waves"));
  ASSERT_EQ(play.failure, "");
  ASSERT_EQ(play.frames.size(), 7u);
  const SccNoteEvent expected[] = {
      {0x0F, 232, 0},
      {0x0F, 0, 1},
      {0x0F, 49, 0},
  };
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const RecordedFrame& load = play.frames[static_cast<std::size_t>(2 * i)];
    EXPECT_EQ(load.fm, Bytes{});
    EXPECT_EQ(load.psg, Bytes{});
    EXPECT_EQ(load.sccBytes, (std::array<int, 8>{}));
    EXPECT_EQ(load.pcmBytes, (std::array<int, 8>{}));
    const RecordedFrame& note = play.frames[static_cast<std::size_t>(2 * i + 1)];
    EXPECT_EQ(note.scc[0], expected[i]);
  }
}

TEST_F(Emission, DirectRows) {
  struct Case {
    int reduction;
    std::uint8_t low, high;
    std::uint8_t c, d, e;  // values for 0xC0, 0xD0, 0xE0 with instrument 0x3_
  };
  const Case cases[] = {
      {1, 0x01, 0x00, 0x01, 0x10, 0x3F},  // silent entry: key on, loudest attenuation
      {1, 0x00, 0x00, 0x00, 0x00, 0x3F},  // (0, 0): key off
      {1, 0x00, 0x25, 0x00, 0x12, 0x3B},  {1, 0x05, 0x20, 0x05, 0x12, 0x3F},
      {0, 0x10, 0x0F, 0x10, 0x10, 0x30},  {0, 0xFF, 0xFF, 0xFF, 0x1F, 0x30},
      {2, 0x80, 0x9C, 0x80, 0x19, 0x35},  {1, 0x00, 0xF0, 0x00, 0x0F, 0x3F},
      {15, 0x42, 0x1F, 0x42, 0x11, 0x3F}, {1, 0x20, 0x0A, 0x20, 0x10, 0x36},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "reduction " << c.reduction << " entry " << static_cast<int>(c.low) << ","
                                      << static_cast<int>(c.high));
    RecordedFrame f = frameOf({0xD8, c.low, c.high}, reductions(c.reduction, 1), 0, 0x3F);
    EXPECT_EQ(f.fm, (Bytes{0xC0, c.c, 0xD0, c.d, 0xE0, c.e}));
  }

  // 0xDF writes channels 0-7, 0xAE channels 0-8, each channel's three pairs
  // before the next one's, whatever the rhythm mode.
  for (std::uint8_t code : {std::uint8_t{0xD9}, std::uint8_t{0xDF}, std::uint8_t{0xAE}}) {
    SCOPED_TRACE(static_cast<int>(code));
    int channels = code == 0xAE ? 9 : code - 0xD7;
    Bytes commands = {0x0E, 0x20, code};
    Bytes expected = {0xBE, 0x20};
    for (int ch = 0; ch < channels; ++ch) {
      std::uint8_t low = static_cast<std::uint8_t>(0x11 * ch);
      std::uint8_t high = static_cast<std::uint8_t>(0x21 + ch);
      commands.insert(commands.end(), {low, high});
      int volume = high & 0x0F;
      int key = (volume != 0 || low != 0) ? 0x10 : 0;
      expected.insert(expected.end(), {static_cast<std::uint8_t>(0xC0 + ch), low, static_cast<std::uint8_t>(0xD0 + ch),
                                       static_cast<std::uint8_t>((high >> 4) + key), static_cast<std::uint8_t>(0xE0 + ch),
                                       static_cast<std::uint8_t>(0x70 | std::min(15, 15 - volume + 1))});
    }
    EXPECT_EQ(frameOf(commands, {}, 0, 0x7F).fm, expected);
  }
}

}  // namespace
}  // namespace kvtram
