// Row mode: 0xAD and the row step at the start of every frame, the nibble
// reads that share the stream position with direct reads, mask rows, waits
// and dense rows, and the note table behind the rows.
#include <gtest/gtest.h>

#include <algorithm>

#include "input/interpreter.h"
#include "support/kv_song_builder.h"
#include "support/recorded_play.h"
#include "support/temp_dir.h"

namespace kvtram {
namespace {

// F-number bits 0-7 of the 256 row notes.
const int kNoteLow[256] = {
    0,   66,  73,  79,  86,  92,  99,  106, 113, 120, 127, 134, 142, 150, 157, 165,  //
    174, 182, 190, 199, 208, 217, 226, 235, 245, 254, 4,   9,   14,  19,  24,  30,   //
    35,  41,  47,  53,  59,  65,  71,  77,  84,  90,  97,  104, 111, 118, 125, 132,  //
    140, 147, 155, 163, 171, 179, 188, 196, 205, 214, 223, 232, 242, 251, 2,   7,    //
    12,  18,  23,  28,  34,  39,  45,  51,  57,  63,  69,  75,  82,  88,  95,  102,  //
    109, 116, 123, 130, 138, 145, 153, 161, 169, 177, 185, 194, 203, 211, 220, 230,  //
    239, 249, 1,   6,   11,  16,  21,  27,  32,  38,  43,  49,  55,  61,  67,  74,   //
    80,  86,  93,  100, 107, 114, 121, 128, 135, 143, 151, 159, 167, 175, 183, 192,  //
    200, 209, 218, 227, 236, 246, 0,   5,   10,  15,  20,  25,  31,  36,  42,  48,   //
    54,  60,  66,  72,  78,  85,  91,  98,  105, 112, 119, 126, 133, 141, 149, 156,  //
    164, 173, 181, 189, 198, 207, 216, 225, 234, 243, 253, 3,   8,   13,  19,  24,   //
    29,  35,  40,  46,  52,  58,  64,  70,  76,  83,  89,  96,  103, 110, 117, 124,  //
    131, 139, 147, 154, 162, 170, 179, 187, 196, 204, 213, 222, 231, 241, 250, 2,    //
    7,   12,  17,  22,  28,  33,  39,  45,  50,  56,  62,  68,  75,  81,  88,  94,   //
    101, 108, 115, 122, 129, 137, 145, 152, 160, 168, 176, 185, 193, 202, 211, 220,  //
    229, 238, 248, 1,   6,   11,  16,  21,  26,  32,  37,  43,  49,  55,  61,  67,   //
};

// Block x 2 + F-number bit 8, in the high nibble.
int noteHigh(int k) {
  if (k == 0) return 0;
  const int last[] = {25, 61, 97, 133, 170, 206, 242, 255};
  for (int i = 0; i < 8; ++i) {
    if (k <= last[i]) return 0x10 + 0x20 * i;
  }
  return -1;
}

// The three FM pairs of one row entry.
Bytes rowPairs(int ch, int low, int high, int rowsInstrument = 15, int reduction = 1) {
  int key = ((high & 0x0F) != 0 || low != 0) ? 0x10 : 0;
  int attenuation = std::min(15, 15 - (high & 0x0F) + reduction);
  return {static_cast<std::uint8_t>(0xC0 + ch), static_cast<std::uint8_t>(low), static_cast<std::uint8_t>(0xD0 + ch),
          static_cast<std::uint8_t>((high >> 4) + key), static_cast<std::uint8_t>(0xE0 + ch),
          static_cast<std::uint8_t>((rowsInstrument & 0xF0) | attenuation)};
}
Bytes silentRows(int channels) {
  Bytes b;
  for (int ch = 0; ch < channels; ++ch) {
    Bytes p = rowPairs(ch, 1, 0);
    b.insert(b.end(), p.begin(), p.end());
  }
  return b;
}
Bytes note(int ch, int k, int volume, int rowsInstrument = 15, int reduction = 1) {
  return rowPairs(ch, kNoteLow[k], noteHigh(k) + volume, rowsInstrument, reduction);
}
Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class RowMode : public ::testing::Test {
 protected:
  RecordedPlay play(const Bytes& stream, PlaybackOptions options = {}, int rowsInstrument = 15) {
    KvSongBuilder b;
    b.rowsInstrument(rowsInstrument).stream(stream);
    return recordSong(b.write(dir.path(), "rows" + std::to_string(serial++)), options);
  }
  static std::vector<Bytes> fmPerFrame(const RecordedPlay& p) {
    std::vector<Bytes> frames;
    for (const RecordedFrame& f : p.frames) frames.push_back(f.fm);
    return frames;
  }
  TempDir dir;
  int serial = 0;
};

TEST_F(RowMode, MaskRowThenDenseRowFromThePendingNibble) {
  // Frame 1 is the mask row for channels 0 and 2 whose low nibble 0xA of 0x7A
  // stays pending; frame 2's row step is then a dense row for channels 0-2; the
  // low nibble 0 of its 0x50 makes frame 3 a mask row with mask 0, which ends
  // row mode; frame 4 has no row step.
  RecordedPlay p = play({0xAD, 0x03, 0x0A, 0x05, 0x40, 0x7A, 0x41, 0xFF,  //
                         0xF2, 0x01, 0x1A, 0x50, 0xF3, 0xFF,              //
                         0x00, 0xFF,                                      //
                         0x40, 0x01, 0xFF,                                //
                         0xFE});
  EXPECT_EQ(p.failure, "");
  ASSERT_EQ(p.frames.size(), 5u);
  EXPECT_EQ(p.frames[0].fm, (Bytes{0xC0, 0x0C, 0xD0, 0x15, 0xE0, 0x06, 0xC1, 0x01, 0xD1, 0x10, 0xE1, 0x0F, 0xC2, 0x12,
                                   0xD2, 0x15, 0xE2, 0x09}));
  EXPECT_EQ(p.frames[1].fm, (Bytes{0xC0, 0x42, 0xD0, 0x11, 0xE0, 0x01, 0xC1, 0x04, 0xD1, 0x13, 0xE1, 0x0E, 0xC2, 0x01,
                                   0xD2, 0x1F, 0xE2, 0x0B}));
  EXPECT_EQ(p.frames[2].fm, Bytes{});
  EXPECT_EQ(p.frames[3].fm, Bytes{});
  EXPECT_EQ(p.frames[3].psg, (Bytes{0x8F, 0x00, 0x01}));
  EXPECT_EQ(p.frames[4].result, 0);
}

TEST_F(RowMode, WaitNibblesMakeSilentRows) {
  // 0x17: one silent row (the 0xAD frame), then seven; the ninth frame reads a
  // new byte (a mask row with mask 0).
  Bytes stream = {0xAD, 0x02, 0x17};
  stream.insert(stream.end(), 8, 0xFF);
  stream.insert(stream.end(), {0x00, 0x00, 0xFF, 0xFE});
  RecordedPlay p = play(stream);
  std::vector<Bytes> expected(8, silentRows(2));
  expected.push_back({});
  expected.push_back({});
  EXPECT_EQ(fmPerFrame(p), expected);

  // 0x32: three silent rows from the high nibble, two from the low one (read
  // in the fourth frame); the sixth frame reads a new byte.
  stream = {0xAD, 0x01, 0x32};
  stream.insert(stream.end(), 5, 0xFF);
  stream.insert(stream.end(), {0x8F, 0x01, 0xFF, 0x00, 0x00, 0xFF, 0xFE});
  p = play(stream);
  expected.assign(5, silentRows(1));
  expected.push_back(note(0, 1, 15));
  expected.push_back({});
  expected.push_back({});
  EXPECT_EQ(fmPerFrame(p), expected);
  EXPECT_EQ(p.failure, "");
}

// The stream bytes of a dense row that starts with no nibble pending: the
// count nibble and the first volume share a byte, then the first note; then
// two volumes per byte followed by their two notes. Returns whether a low
// nibble (0) is left pending.
bool appendDenseRow(Bytes& stream, const std::vector<std::pair<int, int>>& notes) {
  int n = static_cast<int>(notes.size()) + 7;
  stream.push_back(static_cast<std::uint8_t>(n << 4 | notes[0].first));
  stream.push_back(static_cast<std::uint8_t>(notes[0].second));
  for (std::size_t i = 1; i < notes.size(); i += 2) {
    int second = i + 1 < notes.size() ? notes[i + 1].first : 0;
    stream.push_back(static_cast<std::uint8_t>(notes[i].first << 4 | second));
    stream.push_back(static_cast<std::uint8_t>(notes[i].second));
    if (i + 1 < notes.size()) stream.push_back(static_cast<std::uint8_t>(notes[i + 1].second));
  }
  return notes.size() % 2 == 0;
}

TEST_F(RowMode, DenseRowsOfEveryWidthForEveryChannelCount) {
  for (int channels = 1; channels <= 8; ++channels) {
    for (int d = 1; d <= 8; ++d) {
      SCOPED_TRACE(::testing::Message() << channels << " channels, dense row of " << d);
      std::vector<std::pair<int, int>> notes;
      for (int i = 0; i < d; ++i) notes.push_back({(i * 3 + 4) & 15, 1 + i * 31});
      Bytes stream = {0xAD, static_cast<std::uint8_t>(channels)};
      bool pending = appendDenseRow(stream, notes);
      // A tag shows where the stream goes on; the next row step ends row mode.
      stream.insert(stream.end(), {0x40, 0x5C, 0xFF});
      if (pending) {
        stream.insert(stream.end(), {0x00, 0xFF, 0xFE});
      } else {
        stream.insert(stream.end(), {0x00, 0x00, 0xFF, 0xFE});
      }
      RecordedPlay p = play(stream);
      ASSERT_EQ(p.frames.size(), 3u);
      Bytes expected;
      for (int ch = 0; ch < channels; ++ch) {
        std::size_t i = static_cast<std::size_t>(ch);
        expected = expected + (ch < d ? note(ch, notes[i].second, notes[i].first) : rowPairs(ch, 1, 0));
      }
      EXPECT_EQ(p.frames[0].fm, expected);
      EXPECT_EQ(p.frames[0].psg, (Bytes{0x8F, 0x00, 0x5C}));
      EXPECT_EQ(p.frames[1].fm, Bytes{});
      EXPECT_EQ(p.failure, "");
    }
  }
}

TEST_F(RowMode, RowsSilenceTheChannelsTheyDoNotPlay) {
  // Three channels play, then a dense row of one, a mask row for channel 1
  // only, and a wait: each leaves the other channels silent, not as they were.
  Bytes stream = {0xAD, 0x03};
  appendDenseRow(stream, {{15, 10}, {14, 20}, {13, 30}});
  stream.push_back(0xFF);
  appendDenseRow(stream, {{12, 40}});
  stream.push_back(0xFF);
  stream.insert(stream.end(), {0x0B, 0x02, 0x32, 0xFF});  // mask row; 0xB is channel 1's volume
  stream.insert(stream.end(), {0x30, 0xFF, 0xFF, 0xFF});  // three silent rows, 0 pending
  stream.insert(stream.end(), {0x00, 0xFF, 0xFE});        // mask row with mask 0
  RecordedPlay p = play(stream);
  ASSERT_EQ(p.failure, "");
  const std::vector<Bytes> expected = {
      note(0, 10, 15) + note(1, 20, 14) + note(2, 30, 13),
      note(0, 40, 12) + rowPairs(1, 1, 0) + rowPairs(2, 1, 0),
      rowPairs(0, 1, 0) + note(1, 0x32, 0xB) + rowPairs(2, 1, 0),
      silentRows(3),
      silentRows(3),
      silentRows(3),
      {},
      {},
  };
  EXPECT_EQ(fmPerFrame(p), expected);
}

TEST_F(RowMode, MaskRowReadsOnlyTheChannelsInRowMode) {
  // Two channels, mask 0xFD: channel 0 plays, channel 1 is silent, the higher
  // bits read nothing. Its volume is the low nibble of the 0x0C that held the
  // mask-row nibble.
  RecordedPlay p = play({0xAD, 0x02, 0x0C, 0xFD, 0x05, 0x40, 0x0A, 0xFF, 0x00, 0x00, 0xFF, 0xFE});
  ASSERT_EQ(p.frames.size(), 3u);
  EXPECT_EQ(p.frames[0].fm, note(0, 5, 12) + rowPairs(1, 1, 0));
  EXPECT_EQ(p.frames[0].psg, (Bytes{0x8F, 0x00, 0x0A}));

  // Four channels, mask 0x0A: channels 1 and 3 play; channel 3's volume is a
  // new byte's high nibble, whose low nibble 0 makes the next row a mask row.
  p = play({0xAD, 0x04, 0x07, 0x0A, 0x10, 0x90, 0x20, 0xFF, 0x00, 0xFF, 0xFE});
  ASSERT_EQ(p.frames.size(), 3u);
  EXPECT_EQ(p.frames[0].fm, rowPairs(0, 1, 0) + note(1, 16, 7) + rowPairs(2, 1, 0) + note(3, 32, 9));
  EXPECT_EQ(p.frames[1].fm, Bytes{});
  EXPECT_EQ(p.failure, "");
}

TEST_F(RowMode, RowCommandClearsThePendingNibble) {
  // Frame 2: the row step uses the pending 0 of 0x10 (a mask row) and leaves
  // the 0 of 0xF0 pending; the 0xAD in the same frame drops it and reads 0x8F.
  RecordedPlay p = play({0xAD, 0x01, 0x10, 0xFF,                          //
                         0x01, 0xF0, 0x01, 0xAD, 0x01, 0x8F, 0x02, 0xFF,  //
                         0x00, 0x00, 0xFF, 0xFE});
  EXPECT_EQ(fmPerFrame(p), (std::vector<Bytes>{silentRows(1), note(0, 1, 15) + note(0, 2, 15), {}, {}}));
  EXPECT_EQ(p.failure, "");
}

TEST_F(RowMode, RowDataComesFromTheStreamWhenTheCommandIsInAMacro) {
  // The row step runs before the frame's commands, also before the rest of a
  // macro that a frame end interrupted.
  KvSongBuilder b;
  b.macro({0xAD, 0x01, 0x40, 0x04, 0xFF, 0x40, 0x05});
  b.stream({0xE0, 0x8F, 0x01, 0x8F, 0x02, 0xFF, 0x00, 0x00, 0xFF, 0xFE});
  RecordedPlay p = recordSong(b.write(dir.path(), "macro"));
  ASSERT_EQ(p.frames.size(), 4u);
  EXPECT_EQ(p.frames[0].fm, note(0, 1, 15));
  EXPECT_EQ(p.frames[0].psg, (Bytes{0x8F, 0, 0x04}));
  EXPECT_EQ(p.frames[1].fm, note(0, 2, 15));
  EXPECT_EQ(p.frames[1].psg, (Bytes{0x8F, 0, 0x05}));
  EXPECT_EQ(p.frames[2].fm, Bytes{});
  EXPECT_EQ(p.failure, "");
}

TEST_F(RowMode, CountZeroEndsRowModeAfterOneRowStep) {
  // 0xAD runs the row step at once whatever its count; with count 0 the step
  // reads its row (here a mask row with mask 0) and writes no channel.
  RecordedPlay p = play({0x40, 0x01, 0xAD, 0x00, 0x00, 0x00, 0x40, 0x02, 0xFF, 0xFE});
  ASSERT_EQ(p.frames.size(), 2u);
  EXPECT_EQ(p.frames[0].fm, Bytes{});
  EXPECT_EQ(p.frames[0].psg, (Bytes{0x8F, 0, 0x01, 0x8F, 0, 0x02}));

  // Ending row mode from within: frame 2 has its row, then 0xAD 0x00; frame 3
  // has no row step.
  p = play({0xAD, 0x01, 0x8F, 0x01, 0xFF, 0x8F, 0x02, 0xAD, 0x00, 0x00, 0x00, 0xFF, 0x40, 0x07, 0xFF, 0xFE});
  EXPECT_EQ(fmPerFrame(p), (std::vector<Bytes>{note(0, 1, 15), note(0, 2, 15), {}, {}}));
  ASSERT_EQ(p.frames.size(), 4u);
  EXPECT_EQ(p.frames[2].psg, (Bytes{0x8F, 0, 0x07}));
}

TEST_F(RowMode, RowModeAndPendingNibbleSurviveALoopJump) {
  // Frame 2 waits one row (0x18) and leaves 8 pending, then jumps; frame 3's
  // row step is a dense row read at the jump target.
  RecordedPlay p = play({0xAD, 0x01, 0x8F, 0x01, 0xFF,  // 0-4
                         0x18,                          // 5
                         0xFD, 0x00, 0x0A, 0x00,        // 6-9
                         0x40, 0x09, 0xFF,              // 10-12
                         0xF0, 0x02, 0xFF,              // 13-15
                         0x00, 0xFE});
  EXPECT_EQ(fmPerFrame(p), (std::vector<Bytes>{note(0, 1, 15), silentRows(1), note(0, 2, 15), {}}));
  ASSERT_EQ(p.frames.size(), 4u);
  EXPECT_EQ(p.frames[1].psg, (Bytes{0x8F, 0, 0x09}));
  EXPECT_EQ(p.frames[3].result, 0);
}

TEST_F(RowMode, RowsUseTheInstrumentNibbleAndTheReduction) {
  struct Case {
    int rowsInstrument;
    int reduction;
  };
  const Case cases[] = {{15, 1}, {0xA7, 3}, {0x50, 0}, {0xFF, 15}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.rowsInstrument << "/" << c.reduction);
    PlaybackOptions o;
    o.fmVolumeReduction = c.reduction;
    // Channel 0 loudest, channel 1 at volume 4, channel 2 silent.
    RecordedPlay p = play({0xAD, 0x03, 0x0F, 0x03, 0x07, 0x40, 0x09, 0xFF, 0x00, 0xFF, 0xFE}, o, c.rowsInstrument);
    ASSERT_EQ(p.frames.size(), 3u);
    EXPECT_EQ(p.frames[0].fm, note(0, 7, 15, c.rowsInstrument, c.reduction) +
                                  note(1, 9, 4, c.rowsInstrument, c.reduction) +
                                  rowPairs(2, 1, 0, c.rowsInstrument, c.reduction));
  }
  // Exact bytes for instrument 0xA7 and reduction 3: attenuation 0+3, 11+3.
  PlaybackOptions o;
  o.fmVolumeReduction = 3;
  RecordedPlay p = play({0xAD, 0x02, 0x0F, 0x03, 0x07, 0x40, 0x09, 0xFF, 0x00, 0xFF, 0xFE}, o, 0xA7);
  EXPECT_EQ(p.frames[0].fm, (Bytes{0xC0, 106, 0xD0, 0x11, 0xE0, 0xA3, 0xC1, 120, 0xD1, 0x11, 0xE1, 0xAE}));
}

TEST_F(RowMode, EveryNoteOfTheTable) {
  // One dense row per frame, note k in frame k + 1, at full volume.
  Bytes stream = {0xAD, 0x01};
  for (int k = 0; k < 256; ++k) stream.insert(stream.end(), {0x8F, static_cast<std::uint8_t>(k), 0xFF});
  stream.insert(stream.end(), {0x00, 0x00, 0xFF, 0xFE});
  RecordedPlay p = play(stream);
  ASSERT_EQ(p.frames.size(), 258u);
  for (int k = 0; k < 256; ++k) {
    SCOPED_TRACE(k);
    int high = noteHigh(k);
    EXPECT_EQ(p.frames[static_cast<std::size_t>(k)].fm,
              (Bytes{0xC0, static_cast<std::uint8_t>(kNoteLow[k]), 0xD0, static_cast<std::uint8_t>((high >> 4) + 0x10),
                     0xE0, 0x01}));
    FmNote n = fmNoteTable(k);
    EXPECT_EQ(n.low, kNoteLow[k]);
    EXPECT_EQ(n.high, high);
  }
  // The block boundaries of the high values.
  const std::pair<int, int> edges[] = {{0, 0x00},   {1, 0x10},   {25, 0x10},  {26, 0x30},  {61, 0x30},
                                       {62, 0x50},  {97, 0x50},  {98, 0x70},  {133, 0x70}, {134, 0x90},
                                       {170, 0x90}, {171, 0xB0}, {206, 0xB0}, {207, 0xD0}, {242, 0xD0},
                                       {243, 0xF0}, {255, 0xF0}};
  for (auto [k, high] : edges) EXPECT_EQ(fmNoteTable(k).high, high) << k;
}

}  // namespace
}  // namespace kvtram
