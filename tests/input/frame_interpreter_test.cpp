// The frame interpreter's control flow: frames and their counter, the end of
// a song, loop jumps, macros through the command queue, operands taken from
// the queue or the stream, and the malformed songs that are stopped.
#include <gtest/gtest.h>

#include <memory>

#include "input/interpreter.h"
#include "input/song_player.h"
#include "support/kv_song_builder.h"
#include "support/recorded_play.h"
#include "support/temp_dir.h"

namespace kvtram {
namespace {

// The PSG values of a frame's writes (every test here writes register 0 or
// tags frames with PSG writes, which pass through unchanged).
Bytes psgValues(const RecordedFrame& frame) {
  Bytes values;
  for (std::size_t i = 2; i < frame.psg.size(); i += 3) values.push_back(frame.psg[i]);
  return values;
}

std::vector<Bytes> psgValuesPerFrame(const RecordedPlay& play) {
  std::vector<Bytes> frames;
  for (const RecordedFrame& f : play.frames) frames.push_back(psgValues(f));
  return frames;
}

// Tag byte t as a PSG write of t to register 0.
Bytes tag(std::uint8_t t) { return {0x40, t}; }

class Interpreter : public ::testing::Test {
 protected:
  std::string write(const KvSongBuilder& b) { return b.write(dir.path(), "song" + std::to_string(serial++)); }
  RecordedPlay play(const KvSongBuilder& b, PlaybackOptions options = {}, int maxFrames = 100000) {
    return recordSong(write(b), options, maxFrames);
  }
  // Parses the song from memory into the fixture's interpreter, for tests that drive frames.
  void load(const KvSongBuilder& b) {
    ASSERT_EQ(parseInMemory(b, *files, *song), "");
    interpreter.restart();
  }

  TempDir dir;
  int serial = 0;
  std::unique_ptr<SongFiles> files = std::make_unique<SongFiles>();
  std::unique_ptr<KvSong> song = std::make_unique<KvSong>();
  SongInterpreter interpreter{*song};
  std::unique_ptr<FrameOutput> out = std::make_unique<FrameOutput>();
};

TEST_F(Interpreter, FrameCounterAndResults) {
  load(KvSongBuilder().stream({0xFF, 0x40, 0x01, 0xFF, 0x40, 0x02, 0xFE, 0x40, 0x03, 0xFF}));
  int counter = 10;

  // A negative count does nothing.
  EXPECT_EQ(interpreter.advanceFrames(-1, counter, *out), 0);
  EXPECT_EQ(counter, 10);
  EXPECT_EQ(out->psgCommandLength, 0u);

  // A frame of only 0xFF produces nothing and goes on.
  EXPECT_EQ(interpreter.advanceFrames(1, counter, *out), 1);
  EXPECT_EQ(counter, 11);
  EXPECT_EQ(out->psgCommandLength, 0u);
  EXPECT_EQ(out->fmCommandLength, 0u);
  for (int ch = 0; ch < kNoteChannels; ++ch) {
    EXPECT_EQ(out->pcmEventBytes[static_cast<std::size_t>(ch)], 0);
    EXPECT_EQ(out->sccEventBytes[static_cast<std::size_t>(ch)], 0);
  }

  // Two frames in one call: both add to the (uncleared) record and the counter.
  // The second ends the song at 0xFE: no count for it, its output stays.
  EXPECT_EQ(interpreter.advanceFrames(2, counter, *out), 0);
  EXPECT_EQ(counter, 12);
  EXPECT_EQ(psgBytes(*out), (Bytes{0x8F, 0, 0x01, 0x8F, 0, 0x02}));
}

TEST_F(Interpreter, SeveralFramesInOneCall) {
  load(KvSongBuilder().stream({0x40, 0x01, 0xFF, 0x40, 0x02, 0xFF, 0x40, 0x03, 0xFF, 0x40, 0x04, 0xFF, 0xFE}));
  int counter = 0;
  EXPECT_EQ(interpreter.advanceFrames(0, counter, *out), 1);
  EXPECT_EQ(counter, 0);
  EXPECT_EQ(interpreter.advanceFrames(3, counter, *out), 1);
  EXPECT_EQ(counter, 3);
  EXPECT_EQ(out->psgCommandLength, 3u);
  out->clear();
  EXPECT_EQ(interpreter.advanceFrames(1, counter, *out), 1);
  EXPECT_EQ(out->psgCommands[0].value, 0x04);
  EXPECT_EQ(interpreter.advanceFrames(1, counter, *out), 0);
  EXPECT_EQ(counter, 4);
}

TEST_F(Interpreter, FrameLimitEndsTheSongAt72000) {
  load(KvSongBuilder().stream({0xFF, 0xFF, 0xFF, 0xFF}));
  int counter = 71998;
  EXPECT_EQ(interpreter.advanceFrames(1, counter, *out), 1);
  EXPECT_EQ(counter, 71999);
  EXPECT_EQ(interpreter.advanceFrames(1, counter, *out), 0);
  EXPECT_EQ(counter, 72000);
  EXPECT_EQ(interpreter.failure(), "");

  // Several frames in one call stop at the limit too.
  load(KvSongBuilder().stream({0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  counter = 71997;
  EXPECT_EQ(interpreter.advanceFrames(5, counter, *out), 0);
  EXPECT_EQ(counter, 72000);

  load(KvSongBuilder().stream({0xFF, 0xFF}));
  counter = 100000;
  EXPECT_EQ(interpreter.advanceFrames(1, counter, *out), 0);
  EXPECT_EQ(counter, 100001);
}

// A song that never ends: every frame calls the macro that calls itself again
// and ends the frame.
KvSongBuilder endlessSong() { return KvSongBuilder().macro({0x40, 0x07, 0xE0, 0xFF}).stream({0xE0}); }

TEST_F(Interpreter, SongThatNeverEndsStopsInFrame36001) {
  // The caller adds one to the counter per frame as well, so the counter
  // grows by two per frame and reaches 72000 in frame 36001.
  RecordedPlay play = this->play(endlessSong(), {}, 40000);
  ASSERT_EQ(play.frames.size(), 36001u);
  EXPECT_EQ(play.failure, "");
  EXPECT_EQ(play.frameCounter, 72002);
  for (std::size_t i = 0; i + 1 < play.frames.size(); ++i) ASSERT_EQ(play.frames[i].result, 1) << i;
  EXPECT_EQ(play.frames.back().result, 0);
  // The last frame still produced its output.
  EXPECT_EQ(play.frames.back().psg, (Bytes{0x8F, 0, 0x07}));

  // The frame loop every pass shares sees the same.
  load(endlessSong());
  int counter = 0;
  int ended = 0;
  int frames = playSong(interpreter, *out, counter, [&](int frame, bool goesOn, const FrameOutput& o, int) {
    if (!goesOn) ended = frame;
    EXPECT_EQ(o.psgCommandLength, 1u);
  });
  EXPECT_EQ(frames, 36001);
  EXPECT_EQ(ended, 36001);
  EXPECT_EQ(counter, 72002);
}

TEST_F(Interpreter, LoopCountDecidesHowOftenTheLoopPlays) {
  // Intro frame 0, loop of frames 1 and 2 back to offset 3.
  KvSongBuilder b;
  b.stream(tag(0)).stream({0xFF});
  ASSERT_EQ(b.streamLength(), 3);
  b.stream(tag(1)).stream({0xFF}).stream(tag(2)).stream({0xFF}).stream({0xFD, 0x00, 0x03, 0x00});
  struct Case {
    int loopCount;
    std::vector<Bytes> frames;
  };
  const Case cases[] = {
      {1, {{0}, {1}, {2}, {}}},
      {2, {{0}, {1}, {2}, {1}, {2}, {}}},
      {3, {{0}, {1}, {2}, {1}, {2}, {1}, {2}, {}}},
      {15, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.loopCount);
    PlaybackOptions options;
    options.loopCount = c.loopCount;
    RecordedPlay p = play(b, options);
    EXPECT_EQ(p.failure, "");
    if (c.frames.empty()) {
      EXPECT_EQ(p.frames.size(), 2u + 2u * 15u);
    } else {
      EXPECT_EQ(psgValuesPerFrame(p), c.frames);
    }
    ASSERT_FALSE(p.frames.empty());
    EXPECT_EQ(p.frames.back().result, 0);
    // The frame that ends at the jump is not counted by the interpreter.
    EXPECT_EQ(p.frameCounter, 2 * static_cast<int>(p.frames.size()) - 1);
  }
}

TEST_F(Interpreter, SeveralLoopJumpsInOneFrame) {
  // Offsets 0-1 tag 7, 2-3 tag 8, 4-7 a jump back to offset 2.
  KvSongBuilder b;
  b.stream(tag(7)).stream(tag(8)).stream({0xFD, 0x00, 0x02, 0x00});
  for (int loops : {1, 2, 3, 5}) {
    SCOPED_TRACE(loops);
    PlaybackOptions options;
    options.loopCount = loops;
    RecordedPlay p = play(b, options);
    ASSERT_EQ(p.frames.size(), 1u);
    Bytes expected = {7};
    expected.insert(expected.end(), static_cast<std::size_t>(loops), 8);
    EXPECT_EQ(psgValues(p.frames[0]), expected);
    EXPECT_EQ(p.frames[0].result, 0);
    EXPECT_EQ(p.frameCounter, 1);
  }
}

TEST_F(Interpreter, LoopTargetIsBankOffsetAndSixteenBits) {
  // Tagged ends of the song at the targets, between PSG writes of register 15:
  // a jump to any other place writes more than its tag.
  Bytes stream(16384 + 1024);
  for (std::size_t i = 0; i < stream.size(); ++i) stream[i] = i % 2 == 0 ? 0x4F : 0x00;
  auto place = [&stream](std::size_t at, std::uint8_t t) {
    stream[at] = 0x40;
    stream[at + 1] = t;
    stream[at + 2] = 0xFE;
  };
  place(0x0105, 0xA2);
  place(16384 + 2, 0xA3);
  place(16384 + 0x0207, 0xA4);
  place(0x0207, 0xA5);
  struct Case {
    std::uint8_t bank, low, high, tag;
  };
  const Case cases[] = {{0, 0x05, 0x01, 0xA2}, {1, 0x02, 0x00, 0xA3}, {1, 0x07, 0x02, 0xA4}, {0, 0x07, 0x02, 0xA5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.tag));
    Bytes s = stream;
    s[0] = 0xFD;
    s[1] = c.bank;
    s[2] = c.low;
    s[3] = c.high;
    // A version-0 file with two samples: the stream does not start at 57.
    KvSongBuilder b;
    b.version(0).sample(Bytes(256, 0x80)).sample(Bytes(256, 0x80)).stream(s);
    RecordedPlay p = play(b);
    ASSERT_EQ(p.frames.size(), 1u);
    EXPECT_EQ(psgValues(p.frames[0]), Bytes{c.tag});
  }
}

TEST_F(Interpreter, LoopJumpToAFrameEndEndsTheFrameNormally) {
  KvSongBuilder b;
  b.stream({0xFF}).stream(tag(5)).stream({0xFF, 0xFD, 0x00, 0x01, 0x00});
  RecordedPlay p = play(b);
  EXPECT_EQ(psgValuesPerFrame(p), (std::vector<Bytes>{{}, {5}, {5}, {}}));
  EXPECT_EQ(p.frames[2].result, 1);
  EXPECT_EQ(p.frames[3].result, 0);
}

TEST_F(Interpreter, LoopJumpInsideAMacroKeepsTheQueue) {
  // Macro 0 jumps to the stream's start and then still has a tag to run,
  // which comes before the bytes at the target.
  KvSongBuilder b;
  b.macro({0xFD, 0x00, 0x00, 0x00, 0x40, 0x09});
  b.stream(tag(1)).stream({0xFF, 0xE0, 0xFF, 0xFE});
  RecordedPlay p = play(b);
  EXPECT_EQ(psgValuesPerFrame(p), (std::vector<Bytes>{{1}, {9, 1}, {}}));
  EXPECT_EQ(p.frames.back().result, 0);
}

TEST_F(Interpreter, MacroBytesRunFirstInFirstOut) {
  struct Case {
    const char* what;
    std::vector<Bytes> macros;
    Bytes stream;
    std::vector<Bytes> frames;
  };
  const Case cases[] = {
      {"a called macro runs after the rest of its caller",
       {{0x40, 0x01, 0xE1, 0x40, 0x03}, {0x40, 0x02}},
       {0xE0, 0xFF, 0xFE},
       {{1, 3, 2}, {}}},
      {"three levels",
       {{0x40, 0x01, 0xE1, 0x40, 0x03}, {0x40, 0x02, 0xE2, 0x40, 0x04}, {0x40, 0x05}},
       {0xE0, 0xFF, 0xFE},
       {{1, 3, 2, 4, 5}, {}}},
      {"two calls from one macro",
       {{0xE1, 0xE2, 0x40, 0x01}, {0x40, 0x02}, {0x40, 0x03}},
       {0xE0, 0xFF, 0xFE},
       {{1, 2, 3}, {}}},
      {"a frame end inside a macro: the next frame starts with its rest",
       {{0x40, 0x01, 0xFF, 0x40, 0x02}},
       {0xE0, 0xFF, 0x40, 0x03, 0xFF, 0xFE},
       {{1}, {2}, {3}, {}}},
      {"the stream resumes after the macro",
       {{0x40, 0x01}},
       {0xE0, 0x40, 0x02, 0xE0, 0xFF, 0xFE},
       {{1, 2, 1}, {}}},
      {"an operand missing from the macro comes from the stream",
       {{0x40}},
       {0xE0, 0x06, 0xFF, 0xFE},
       {{6}, {}}},
      {"the macro index of 0x9F from the macro",
       {{0x9F, 0x02}, {0x40, 0x0B}, {0x40, 0x0C}},
       {0xE0, 0xFF, 0xFE},
       {{0x0C}, {}}},
      {"an empty macro",
       {{}, {0x40, 0x0D}},
       {0xE0, 0xE1, 0xFF, 0xFE},
       {{0x0D}, {}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    KvSongBuilder b;
    for (const Bytes& m : c.macros) b.macro(m);
    b.stream(c.stream);
    RecordedPlay p = play(b);
    EXPECT_EQ(p.failure, "");
    EXPECT_EQ(psgValuesPerFrame(p), c.frames);
  }
}

TEST_F(Interpreter, MacroCallCodesGiveTheirIndices) {
  // 31 macros, macro i tags i.
  KvSongBuilder b;
  for (int i = 0; i < 31; ++i) b.macro(tag(static_cast<std::uint8_t>(i)));
  b.stream({0xE0, 0xE5, 0xEF, 0x90, 0x91, 0x9E, 0x9F, 0x00, 0x9F, 0x1E, 0x9F, 0x11, 0xFF, 0xFE});
  RecordedPlay p = play(b);
  ASSERT_FALSE(p.frames.empty());
  EXPECT_EQ(psgValues(p.frames[0]), (Bytes{0, 5, 15, 16, 17, 30, 0, 30, 17}));
  EXPECT_EQ(p.failure, "");
}

TEST_F(Interpreter, DirectReadOperandsComeFromTheStreamInsideAMacro) {
  for (std::uint8_t code = 0xC8; code <= 0xCF; ++code) {
    SCOPED_TRACE(static_cast<int>(code));
    // The two operands are the stream's 41 05; the macro goes on with its tag.
    KvSongBuilder b;
    b.macro({code, 0x40, 0x07}).stream({0xE0, 0x41, 0x05, 0xFF, 0xFE});
    RecordedPlay p = play(b);
    ASSERT_EQ(p.frames.size(), 2u);
    EXPECT_EQ(p.frames[0].psg, (Bytes{0x8F, 0x00, 0x07}));
    // Outside a macro the same two bytes are skipped.
    p = play(KvSongBuilder().stream({code, 0x41, 0x05, 0x40, 0x08, 0xFF, 0xFE}));
    ASSERT_EQ(p.frames.size(), 2u);
    EXPECT_EQ(p.frames[0].psg, (Bytes{0x8F, 0x00, 0x08}));
  }
}

TEST_F(Interpreter, OperandCountsOfMaskAndIgnoredCommands) {
  struct Case {
    Bytes commands;
  };
  // Each is followed by a tag; an operand count that is off shows in it.
  const Case cases[] = {
      {{0xAF}},       {{0xF0}},       {{0xF7}},       {{0xFC}}, {{0xAB, 0xFF}}, {{0xAA, 0xFE}},
      {{0xA9, 0xFF}}, {{0xC8, 0xFF, 0xFE}}, {{0xAB, 0x40}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.commands[0]));
    KvSongBuilder b;
    b.stream(c.commands).stream(tag(0x33)).stream({0xFF, 0xFE});
    RecordedPlay p = play(b);
    ASSERT_EQ(p.frames.size(), 2u);
    EXPECT_EQ(p.frames[0].psg, (Bytes{0x8F, 0x00, 0x33}));
    EXPECT_EQ(p.frames[0].fm, Bytes{});
  }
}

TEST_F(Interpreter, QueueHoldsUpTo4096PendingBytes) {
  // Macro 0 calls macro 1 (255 ignored bytes) sixteen times and then macro 16;
  // when macro 16 is called, 16 x 255 bytes are pending.
  for (int extra : {0, 1}) {
    SCOPED_TRACE(extra);
    KvSongBuilder b;
    Bytes first(16, 0xE1);
    first.push_back(0x90);
    b.macro(first).macro(Bytes(255, 0xF0));
    for (int i = 2; i < 16; ++i) b.macro({});
    Bytes last;
    for (int i = 0; i < 8; ++i) {
      last.push_back(0x40);
      last.push_back(static_cast<std::uint8_t>(i));
    }
    if (extra != 0) last.push_back(0xF0);
    b.macro(last).stream({0xE0, 0xFF, 0xFE});
    RecordedPlay p = play(b);
    if (extra == 0) {
      EXPECT_EQ(p.failure, "");
      ASSERT_EQ(p.frames.size(), 2u);
      EXPECT_EQ(psgValues(p.frames[0]), (Bytes{0, 1, 2, 3, 4, 5, 6, 7}));
    } else {
      EXPECT_NE(p.failure, "");
      ASSERT_EQ(p.frames.size(), 1u);
      EXPECT_EQ(p.frames[0].result, 0);
    }
  }
}

TEST_F(Interpreter, MalformedSongsAreStopped) {
  struct Case {
    const char* what;
    KvSongBuilder builder;
  };
  Bytes psgFlood, fmFlood, userFlood;
  for (int i = 0; i < 100; ++i) {
    psgFlood.insert(psgFlood.end(), {0x48, 0x0F});
    fmFlood.insert(fmFlood.end(), {0x30, 0x00});
  }
  psgFlood.push_back(0xE0);
  fmFlood.push_back(0xE0);
  for (int i = 0; i < 20; ++i) {
    userFlood.push_back(0xA8);
    userFlood.insert(userFlood.end(), 8, 0x01);
  }
  userFlood.push_back(0xE0);
  std::vector<Case> cases;
  cases.push_back({"a macro that calls itself", KvSongBuilder().macro({0xE0}).stream({0xE0, 0xFF})});
  cases.push_back({"a macro whose calls pile up", KvSongBuilder().macro({0xE0, 0xE0}).stream({0xE0, 0xFF})});
  cases.push_back({"two macros calling each other", KvSongBuilder().macro({0xE1}).macro({0x9F, 0x00}).stream({0xE0})});
  cases.push_back({"endless PSG writes", KvSongBuilder().macro(psgFlood).stream({0xE0, 0xFF})});
  cases.push_back({"endless FM writes", KvSongBuilder().macro(fmFlood).stream({0xE0, 0xFF})});
  cases.push_back({"endless instrument writes", KvSongBuilder().macro(userFlood).stream({0xE0, 0xFF})});
  cases.push_back({"a stream without frame end runs into the zero tail", KvSongBuilder().stream({0x40, 0x01})});
  cases.push_back({"a loop jump far beyond the data", KvSongBuilder().stream({0xFD, 0xFF, 0x00, 0x00, 0xFF})});
  cases.push_back({"an undefined macro", KvSongBuilder().macro({}).macro({}).stream({0xE2, 0xFF})});
  cases.push_back({"an undefined macro by index", KvSongBuilder().macro({}).stream({0x9F, 0x01, 0xFF})});
  cases.push_back({"a macro call in a file without macros", KvSongBuilder().version(1).stream({0x90, 0xFF})});
  cases.push_back({"row mode for nine channels", KvSongBuilder().stream({0xAD, 0x09, 0x00, 0x00, 0xFF})});
  cases.push_back({"row mode for 255 channels", KvSongBuilder().stream({0xAD, 0xFF, 0x00, 0x00, 0xFF})});
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecordedPlay p = play(c.builder, {}, 100);
    ASSERT_EQ(p.frames.size(), 1u);
    EXPECT_EQ(p.frames[0].result, 0);
    EXPECT_NE(p.failure, "");
  }
}

TEST_F(Interpreter, SongReadingTooMuchInAllIsStopped) {
  // Every frame reads 3767 bytes (a macro calling fifteen times a macro of 250
  // ignored bytes, and itself again), well below the limit of one frame but
  // 2^27 bytes in all before the frame limit would end it.
  KvSongBuilder b;
  Bytes first(15, 0xE1);
  first.insert(first.end(), {0xE0, 0xFF});
  b.macro(first).macro(Bytes(250, 0xF0)).stream({0xE0});
  RecordedPlay p = play(b, {}, 40000);
  EXPECT_NE(p.failure, "");
  ASSERT_FALSE(p.frames.empty());
  EXPECT_EQ(p.frames.back().result, 0);
  EXPECT_LT(p.frames.size(), 36001u);
  EXPECT_GT(p.frames.size(), 35000u);
}

TEST_F(Interpreter, BoundsOfOneFrame) {
  // Up to 65536 bytes read, 16384 FM bytes and 16384 PSG bytes in one frame.
  struct Case {
    const char* what;
    Bytes command;
    int count;
    bool accepted;
    std::size_t outputBytes;  // FM and PSG bytes of the frame when accepted
  };
  const Case cases[] = {
      {"65536 bytes read", {0xF0}, 65535, true, 0},          {"65537 bytes read", {0xF0}, 65536, false, 0},
      {"16384 FM bytes", {0x30, 0x00}, 8192, true, 16384},   {"16386 FM bytes", {0x30, 0x00}, 8193, false, 0},
      {"16383 PSG bytes", {0x48, 0x00}, 5461, true, 16383},  {"16386 PSG bytes", {0x48, 0x00}, 5462, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    KvSongBuilder b;
    for (int i = 0; i < c.count; ++i) b.stream(c.command);
    b.stream({0xFF, 0xFE});
    RecordedPlay p = play(b);
    if (c.accepted) {
      EXPECT_EQ(p.failure, "");
      ASSERT_EQ(p.frames.size(), 2u);
      EXPECT_EQ(p.frames[0].fm.size() + p.frames[0].psg.size(), c.outputBytes);
    } else {
      EXPECT_NE(p.failure, "");
      ASSERT_EQ(p.frames.size(), 1u);
      EXPECT_EQ(p.frames[0].result, 0);
    }
  }
}

TEST_F(Interpreter, OptionsAreReadWhenUsed) {
  load(KvSongBuilder().stream({0x48, 0x0F, 0x33, 0x20, 0xFF, 0x48, 0x0F, 0x33, 0x20, 0xFF, 0xFE}));
  int counter = 0;
  interpreter.options.psgVolumeReduction = 2;
  interpreter.options.fmVolumeReduction = 3;
  interpreter.advanceFrames(1, counter, *out);
  EXPECT_EQ(out->psgCommands[0].value, 0x0D);
  EXPECT_EQ(out->fmCommands[0].value, 0x23);
  out->clear();
  interpreter.options.psgVolumeReduction = 15;
  interpreter.options.fmVolumeReduction = 0;
  interpreter.advanceFrames(1, counter, *out);
  EXPECT_EQ(out->psgCommands[0].value, 0x00);
  EXPECT_EQ(out->fmCommands[0].value, 0x20);
}

TEST_F(Interpreter, ChangeBitsGatherUntilTheCallerClearsThem) {
  load(KvSongBuilder().stream({0xA1, 0x10, 0x02, 0x30, 0xFF, 0xB9, 0x11, 0xFF, 0xC1, 0x31, 0xFF, 0xFE}));
  int counter = 0;
  interpreter.advanceFrames(1, counter, *out);
  interpreter.advanceFrames(1, counter, *out);
  EXPECT_EQ(out->pcm[1].changes, 0x03);
  EXPECT_EQ(out->pcm[1].volume, 0x11);
  out->clear();
  interpreter.advanceFrames(1, counter, *out);
  EXPECT_EQ(out->pcm[1].changes, 0x04);
  EXPECT_EQ(out->pcm[1].sample, 0x02);
  EXPECT_EQ(out->pcm[1].pitch, 0x31);
}

TEST_F(Interpreter, StoppedSongStaysStoppedUntilLoadedAgain) {
  KvSongBuilder b;
  b.stream({0x40, 0x01, 0xFF, 0xE0, 0xFF, 0xFE});  // no macros: the call fails
  load(b);
  int counter = 0;
  EXPECT_EQ(interpreter.advanceFrames(1, counter, *out), 1);
  EXPECT_EQ(interpreter.advanceFrames(1, counter, *out), 0);
  std::string failure = interpreter.failure();
  EXPECT_NE(failure, "");
  EXPECT_EQ(interpreter.advanceFrames(1, counter, *out), 0);
  EXPECT_EQ(interpreter.failure(), failure);
  load(b);
  EXPECT_EQ(interpreter.failure(), "");
  EXPECT_EQ(interpreter.advanceFrames(1, counter, *out), 1);
}

TEST_F(Interpreter, RunningPastTheZeroTailIsStopped) {
  // A jump to the last byte of the zero tail: the FM write there finds no
  // operand.
  Bytes stream = {0xFD, 0x00, 0x00, 0x00};
  KvSongBuilder b;
  b.stream(stream);
  std::size_t musicLength = b.musicBytes().size();
  std::size_t tailEnd = musicLength + kZeroTailBytes;  // first byte beyond the tail
  std::size_t loopBase = musicLength - stream.size();
  std::size_t target = tailEnd - 1 - loopBase;
  stream[1] = static_cast<std::uint8_t>(target / 16384);
  stream[2] = static_cast<std::uint8_t>(target % 256);
  stream[3] = static_cast<std::uint8_t>(target % 16384 / 256);
  RecordedPlay p = play(KvSongBuilder().stream(stream), {}, 10);
  ASSERT_EQ(p.frames.size(), 1u);
  EXPECT_EQ(p.frames[0].result, 0);
  EXPECT_NE(p.failure, "");
}

TEST_F(Interpreter, LoadResetsPlaybackButKeepsRhythmMode) {
  // First song: switch rhythm mode on, change the PCM mask, touch channel 0.
  KvSongBuilder first;
  first.pcmMask(0x00).stream({0x0E, 0x20, 0xA9, 0x01, 0x50, 0x3F, 0xAC, 0x10, 0x00});
  first.stream(Bytes(32, 0)).stream({0xFF, 0xFE});
  load(first);
  int counter = 0;
  out->clear();
  ASSERT_EQ(interpreter.advanceFrames(1, counter, *out), 1);
  EXPECT_EQ(out->pcmEventBytes[0], 4) << "0x50 after 0xA9 0x01 is a PCM event";
  while (interpreter.advanceFrames(1, counter, *out) != 0) out->clear();
  EXPECT_TRUE(interpreter.rhythmMode());

  // Second song: 0x36 sees rhythm mode; channel 0 plays a SCC note from
  // its start state; its first wave load gives wave 0 again.
  KvSongBuilder second;
  second.pcmMask(0x00).stream({0x36, 0x5A, 0x58, 0x00, 0xFF, 0xAC, 0xE8, 0x03}).stream(Bytes(32, 0));
  second.stream({0x50, 0x00, 0xFF, 0xFE});
  load(second);
  out->clear();
  EXPECT_EQ(interpreter.advanceFrames(1, counter, *out), 1);
  EXPECT_EQ(out->fmCommands[0], (RegisterWrite{0x36, 0x0B}));
  // Channel 0 is back at its start state: volume 0, frequency 0xFFFF (period 3).
  ASSERT_EQ(out->sccEventBytes[0], 8);
  EXPECT_EQ(out->scc[0], (SccNoteEvent{0x00, 3, 0}));
  EXPECT_EQ(out->pcmEventBytes[0], 0);
  out->clear();
  EXPECT_EQ(interpreter.advanceFrames(1, counter, *out), 1);
  ASSERT_EQ(out->sccEventBytes[0], 8);
  // 0x50 after the wave load: wave 0, frequency 1000.
  EXPECT_EQ(out->scc[0], (SccNoteEvent{0x00, 232, 0}));
  EXPECT_EQ(out->pcmEventBytes[0], 0);

  interpreter.setRhythmMode(false);
  load(second);
  out->clear();
  interpreter.advanceFrames(1, counter, *out);
  EXPECT_EQ(out->fmCommands[0], (RegisterWrite{0x36, 0x5B}));
}

}  // namespace
}  // namespace kvtram
