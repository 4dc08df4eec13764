// Properties that hold for every well-formed song, checked on generated songs:
// one frame per frame end plus the frame of the song's end; what each frame
// writes follows from the commands in it; moving commands into macros (nested,
// across frame ends) changes nothing; a looped song repeats its frames.
#include <gtest/gtest.h>

#include <random>

#include "input/interpreter.h"
#include "support/kv_song_builder.h"
#include "support/recorded_play.h"
#include "support/temp_dir.h"

namespace kvtram {
namespace {

// What a frame must produce, counted from its commands alone.
struct FrameShape {
  std::size_t fmBytes = 0;
  std::size_t psgBytes = 0;
  int sccChannels = 0;  // bit ch: a SCC event on channel ch
  int pcmChannels = 0;  // bit ch: a PCM event on channel ch
};

// One command, or the end of a frame.
struct Token {
  Bytes bytes;
  bool frameEnd = false;
  bool directReads = false;  // 0xC8-0xCF read the stream even inside a macro
};

class SongGenerator {
 public:
  SongGenerator(unsigned seed, int pcmMask) : rng_(seed), pcmMask_(pcmMask) {}

  // A song of `frames` frames; `shapes` gets each frame's expected output.
  std::vector<Token> song(int frames, std::vector<FrameShape>& shapes) {
    std::vector<Token> tokens;
    for (int f = 0; f < frames; ++f) {
      FrameShape shape;
      int commands = pick(0, 8);
      for (int c = 0; c < commands; ++c) tokens.push_back(command(shape));
      tokens.push_back({{0xFF}, true, false});
      shapes.push_back(shape);
    }
    return tokens;
  }

  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  std::uint8_t byte() { return static_cast<std::uint8_t>(pick(0, 255)); }

 private:
  void noteEvent(FrameShape& s, int ch, bool pcmOnMask) {
    if (pcmOnMask && (pcmMask_ & (1 << ch))) s.pcmChannels |= 1 << ch;
    else s.sccChannels |= 1 << ch;
  }

  Token command(FrameShape& s) {
    Token t;
    Bytes& b = t.bytes;
    int ch = pick(0, 7);
    auto operands = [&](int n) {
      for (int i = 0; i < n; ++i) b.push_back(byte());
    };
    switch (pick(0, 21)) {
      case 0:
        b.push_back(static_cast<std::uint8_t>(pick(0, 0x3F)));
        operands(1);
        s.fmBytes += 2;
        break;
      case 1:
        b.push_back(static_cast<std::uint8_t>(0x40 + pick(0, 15)));
        operands(1);
        s.psgBytes += 3;
        break;
      case 2:
        b.push_back(static_cast<std::uint8_t>(0x50 + ch));
        operands(1);
        noteEvent(s, ch, true);
        break;
      case 3:
        b.push_back(static_cast<std::uint8_t>(0x58 + ch));
        operands(1);
        noteEvent(s, ch, false);
        break;
      case 4:
        b.push_back(static_cast<std::uint8_t>(0x60 + ch));
        operands(2);
        noteEvent(s, ch, true);
        break;
      case 5:
        b.push_back(static_cast<std::uint8_t>(0x68 + ch));
        operands(3);
        noteEvent(s, ch, true);
        break;
      case 6:
        b.push_back(static_cast<std::uint8_t>(0x70 + ch));
        operands(2);
        noteEvent(s, ch, false);
        break;
      case 7:
        b.push_back(static_cast<std::uint8_t>(0x78 + ch));
        operands(3);
        noteEvent(s, ch, false);
        break;
      case 8:
        b.push_back(static_cast<std::uint8_t>(0x80 + ch + 8 * pick(0, 1)));
        operands(4);
        noteEvent(s, ch, false);
        break;
      case 9:
        b.push_back(static_cast<std::uint8_t>(0xA0 + ch));
        operands(3);
        s.pcmChannels |= 1 << ch;
        break;
      case 10:
        b.push_back(0xA8);
        operands(8);
        s.fmBytes += 16;
        break;
      case 11:
        pcmMask_ = byte();
        b = {0xA9, static_cast<std::uint8_t>(pcmMask_)};
        break;
      case 12:
        b.push_back(static_cast<std::uint8_t>(0xAA + pick(0, 1)));
        operands(1);
        break;
      case 13:
        b.push_back(0xAC);
        operands(34);
        break;
      case 14:
        b.push_back(0xAE);
        operands(18);
        s.fmBytes += 54;
        break;
      case 15:
        b.push_back(pick(0, 1) ? 0xAF : static_cast<std::uint8_t>(0xF0 + pick(0, 12)));
        break;
      case 16:
        b.push_back(static_cast<std::uint8_t>(0xB0 + ch));
        operands(2);
        s.pcmChannels |= 1 << ch;
        break;
      case 17:
        b.push_back(static_cast<std::uint8_t>(0xB8 + ch));
        operands(1);
        s.pcmChannels |= 1 << ch;
        break;
      case 18:
        b.push_back(static_cast<std::uint8_t>(0xC0 + ch));
        operands(1);
        s.pcmChannels |= 1 << ch;
        break;
      case 19:
        b.push_back(static_cast<std::uint8_t>(0xC8 + ch));
        operands(2);
        t.directReads = true;
        break;
      case 20: {
        int n = pick(1, 8);
        b.push_back(static_cast<std::uint8_t>(0xCF + n));
        operands(2 * n);
        s.sccChannels |= (1 << n) - 1;
        break;
      }
      default: {
        int n = pick(1, 8);
        b.push_back(static_cast<std::uint8_t>(0xD7 + n));
        operands(2 * n);
        s.fmBytes += 6 * static_cast<std::size_t>(n);
        break;
      }
    }
    return t;
  }

  std::mt19937 rng_;
  int pcmMask_;
};

Bytes joined(const std::vector<Token>& tokens, std::size_t from, std::size_t to) {
  Bytes b;
  for (std::size_t i = from; i < to; ++i) b.insert(b.end(), tokens[i].bytes.begin(), tokens[i].bytes.end());
  return b;
}

// The same song with runs of tokens (frame ends included) moved into macros,
// some of which end by calling a further macro that holds the rest of the run.
class MacroFolder {
 public:
  explicit MacroFolder(SongGenerator& g) : g_(g) {}

  Bytes fold(const std::vector<Token>& tokens) {
    Bytes stream;
    std::size_t i = 0;
    while (i < tokens.size()) {
      std::size_t end = i;
      if (macros_.size() < 200 && g_.pick(0, 2) == 0) {
        std::size_t length = 0;
        while (end < tokens.size() && !tokens[end].directReads && end - i < 6 &&
               length + tokens[end].bytes.size() <= 200) {
          length += tokens[end].bytes.size();
          ++end;
          if (g_.pick(0, 2) == 0) break;
        }
      }
      if (end == i) {
        stream.insert(stream.end(), tokens[i].bytes.begin(), tokens[i].bytes.end());
        ++i;
        continue;
      }
      Bytes call = macroOf(tokens, i, end);
      stream.insert(stream.end(), call.begin(), call.end());
      i = end;
    }
    return stream;
  }

  const std::vector<Bytes>& macros() const { return macros_; }

 private:
  // Defines a macro for tokens [from, to) and returns the bytes that call it.
  Bytes macroOf(const std::vector<Token>& tokens, std::size_t from, std::size_t to) {
    std::size_t index = macros_.size();
    macros_.emplace_back();
    std::size_t split = to;
    if (to - from >= 2 && g_.pick(0, 1) == 0) split = from + 1 + static_cast<std::size_t>(g_.pick(0, static_cast<int>(to - from) - 2));
    Bytes body = joined(tokens, from, split);
    if (split < to) {
      // The called macro's bytes come after everything left in this one, so
      // the call must be this macro's last command.
      Bytes inner = macroOf(tokens, split, to);
      body.insert(body.end(), inner.begin(), inner.end());
    }
    macros_[index] = body;
    if (index < 16) return {static_cast<std::uint8_t>(0xE0 + index)};
    if (index <= 30) return {static_cast<std::uint8_t>(0x80 + index)};
    return {0x9F, static_cast<std::uint8_t>(index)};
  }

  SongGenerator& g_;
  std::vector<Bytes> macros_;
};

int bitsOf(const std::array<int, kNoteChannels>& sizes) {
  int bits = 0;
  for (int ch = 0; ch < kNoteChannels; ++ch) {
    if (sizes[static_cast<std::size_t>(ch)] != 0) bits |= 1 << ch;
  }
  return bits;
}

class GeneratedSongs : public ::testing::Test {
 protected:
  std::string write(const KvSongBuilder& b) { return b.write(dir.path(), "g" + std::to_string(serial++)); }
  TempDir dir;
  int serial = 0;
};

TEST_F(GeneratedSongs, FramesFollowFromTheirCommandsAndMacrosChangeNothing) {
  std::size_t macrosUsed = 0;
  for (unsigned seed = 1; seed <= 150; ++seed) {
    SCOPED_TRACE(seed);
    int pcmMask = static_cast<int>((seed * 37u) & 0xFFu);
    SongGenerator g(seed, pcmMask);
    std::vector<FrameShape> shapes;
    int frames = g.pick(0, 40);
    std::vector<Token> tokens = g.song(frames, shapes);
    Bytes stream = joined(tokens, 0, tokens.size());
    stream.push_back(0xFE);

    PlaybackOptions options;
    options.fmVolumeReduction = g.pick(0, 15);
    options.psgVolumeReduction = g.pick(0, 15);
    KvSongBuilder plain;
    plain.pcmMask(pcmMask).stream(stream);
    RecordedPlay play = recordSong(write(plain), options);
    ASSERT_EQ(play.failure, "");
    ASSERT_EQ(play.frames.size(), static_cast<std::size_t>(frames) + 1);
    EXPECT_EQ(play.frameCounter, 2 * (frames + 1) - 1);
    for (int f = 0; f < frames; ++f) {
      SCOPED_TRACE(f);
      const RecordedFrame& got = play.frames[static_cast<std::size_t>(f)];
      const FrameShape& want = shapes[static_cast<std::size_t>(f)];
      EXPECT_EQ(got.result, 1);
      EXPECT_EQ(got.fm.size(), want.fmBytes);
      EXPECT_EQ(got.psg.size(), want.psgBytes);
      EXPECT_EQ(bitsOf(got.sccBytes), want.sccChannels);
      EXPECT_EQ(bitsOf(got.pcmBytes), want.pcmChannels);
      for (std::size_t i = 0; i < got.psg.size(); i += 3) EXPECT_EQ(got.psg[i], 0x8F);
      for (std::size_t i = 0; i < got.fm.size(); i += 2) EXPECT_GE(got.fm[i], 0xB0);
    }
    const RecordedFrame& last = play.frames.back();
    EXPECT_EQ(last.result, 0);
    EXPECT_TRUE(last.fm.empty() && last.psg.empty());

    MacroFolder folder(g);
    Bytes folded = folder.fold(tokens);
    folded.push_back(0xFE);
    KvSongBuilder withMacros;
    withMacros.pcmMask(pcmMask);
    for (const Bytes& m : folder.macros()) withMacros.macro(m);
    withMacros.stream(folded);
    macrosUsed += folder.macros().size();
    RecordedPlay macroPlay = recordSong(write(withMacros), options);
    ASSERT_EQ(macroPlay.failure, "");
    ASSERT_EQ(macroPlay.frames.size(), play.frames.size());
    for (std::size_t f = 0; f < play.frames.size(); ++f) {
      ASSERT_TRUE(macroPlay.frames[f] == play.frames[f]) << "frame " << f << " with " << folder.macros().size()
                                                         << " macros";
    }
  }
  EXPECT_GT(macrosUsed, 500u);
}

TEST_F(GeneratedSongs, LoopedSongRepeatsItsFrames) {
  for (unsigned seed = 1000; seed < 1040; ++seed) {
    SCOPED_TRACE(seed);
    SongGenerator g(seed, 0);
    std::vector<FrameShape> shapes;
    int frames = g.pick(1, 12);
    std::vector<Token> tokens = g.song(frames, shapes);
    // An intro frame, then the generated frames looped back to offset 3.
    Bytes stream = {0x40, 0xEE, 0xFF};
    Bytes body = joined(tokens, 0, tokens.size());
    stream.insert(stream.end(), body.begin(), body.end());
    stream.insert(stream.end(), {0xFD, 0x00, 0x03, 0x00});
    KvSongBuilder b;
    b.stream(stream);
    std::string path = write(b);
    for (int loops : {1, 2, 3}) {
      SCOPED_TRACE(loops);
      PlaybackOptions options;
      options.loopCount = loops;
      RecordedPlay play = recordSong(path, options);
      ASSERT_EQ(play.failure, "");
      ASSERT_EQ(play.frames.size(), static_cast<std::size_t>(1 + loops * frames + 1));
      for (int pass = 0; pass < loops; ++pass) {
        for (int f = 0; f < frames; ++f) {
          const RecordedFrame& got = play.frames[static_cast<std::size_t>(1 + pass * frames + f)];
          const RecordedFrame& first = play.frames[static_cast<std::size_t>(1 + f)];
          // PSG writes depend on nothing but their bytes and the option.
          EXPECT_EQ(got.psg, first.psg) << "pass " << pass << " frame " << f;
          EXPECT_EQ(got.fm.size(), shapes[static_cast<std::size_t>(f)].fmBytes);
        }
      }
      EXPECT_EQ(play.frames.back().result, 0);
    }
  }
}

}  // namespace
}  // namespace kvtram
