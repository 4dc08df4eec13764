// libFuzzer's custom mutator and cross-over for the song targets: an input
// (fuzz_support.h) is taken apart into its option bytes, the music file's
// header, sample directory, patch list, rows-instrument byte, macro table and
// macro bytes, its music stream as commands with their operands, and the
// sample file; one part is changed so that the result is still a song (a
// command inserted, dropped, copied or given other operands, a macro or a
// sample added, a loop jump to a command's start, ...), and the parts are put
// together again. A share of the mutations stays byte-level (libFuzzer's own),
// so that what the layout does not foresee is still reached; an input that
// cannot be taken apart gets only those.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

namespace {

using Bytes = std::vector<std::uint8_t>;
using Random = std::minstd_rand;

constexpr std::size_t kOptionBytes = 5;  // flags, reductions, loops, music length (2)
constexpr std::size_t kFixedHeader = 57;

// Operand bytes of a stream command (row mode's packed rows after 0xAD are
// not counted: they are data the interpreter reads in later frames).
int operandBytes(std::uint8_t code) {
  if (code <= 0x5F) return 1;
  if (code <= 0x67) return 2;
  if (code <= 0x6F) return 3;
  if (code <= 0x77) return 2;
  if (code <= 0x7F) return 3;
  if (code <= 0x8F) return 4;
  if (code <= 0x9E) return 0;
  if (code == 0x9F) return 1;
  if (code <= 0xA7) return 3;
  if (code == 0xA8) return 8;
  if (code <= 0xAB) return 1;
  if (code == 0xAC) return 34;
  if (code == 0xAD) return 1;
  if (code == 0xAE) return 18;
  if (code == 0xAF) return 0;
  if (code <= 0xB7) return 2;
  if (code <= 0xC7) return 1;
  if (code <= 0xCF) return 2;
  if (code <= 0xD7) return 2 * (code - 0xCF);
  if (code <= 0xDF) return 2 * (code - 0xD7);
  if (code == 0xFD) return 3;
  return 0;
}

struct Entry {
  std::uint16_t blocks = 1;
  std::uint8_t unused = 0;
  std::uint8_t attribute = 0;
  std::array<std::uint8_t, 4> tag{'P', 'C', 'M', ' '};
};

struct Macro {
  std::uint8_t length = 0;
  std::uint16_t address = 0x6300;
};

// An input taken apart.
struct Song {
  std::array<std::uint8_t, 3> options{};
  std::array<std::uint8_t, kFixedHeader> header{};
  std::vector<Entry> entries;
  std::vector<std::array<std::uint8_t, 4>> patches;
  std::uint8_t rowsInstrument = 0xF0;
  std::vector<Macro> macros;
  Bytes macroBytes;
  Bytes stream;
  Bytes samples;

  int version() const { return header[0] >> 4; }
};

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  bool ok = true;
  std::uint8_t u8() {
    if (at >= size) {
      ok = false;
      return 0;
    }
    return data[at++];
  }
  std::uint16_t u16() {
    const std::uint8_t low = u8();
    return static_cast<std::uint16_t>(low | (u8() << 8));
  }
};

bool takeApart(const std::uint8_t* data, std::size_t size, Song& song) {
  if (size < kOptionBytes + kFixedHeader) return false;
  std::copy(data, data + 3, song.options.begin());
  const std::size_t musicBytes = std::min<std::size_t>(data[3] | (data[4] << 8), size - kOptionBytes);
  if (musicBytes < kFixedHeader) return false;
  Reader in{data + kOptionBytes, musicBytes};
  for (std::uint8_t& b : song.header) b = in.u8();
  const int version = song.version();
  for (int i = 0; i < song.header[56]; ++i) {
    Entry e;
    e.blocks = in.u16();
    if (version >= 1) e.unused = in.u8();
    e.attribute = in.u8();
    for (std::uint8_t& b : e.tag) b = in.u8();
    song.entries.push_back(e);
  }
  if (version >= 3) {
    const int count = in.u8();
    for (int i = 0; i < count; ++i) song.patches.push_back({in.u8(), in.u8(), in.u8(), in.u8()});
  }
  if (version >= 4) song.rowsInstrument = in.u8();
  if (version >= 2) {
    const int count = in.u8();
    std::size_t total = 0;
    for (int i = 0; i < count; ++i) {
      Macro m;
      m.length = in.u8();
      m.address = in.u16();
      total += m.length;
      song.macros.push_back(m);
    }
    for (std::size_t i = 0; i < total; ++i) song.macroBytes.push_back(in.u8());
  }
  if (!in.ok) return false;
  song.stream.assign(in.data + in.at, in.data + musicBytes);
  song.samples.assign(data + kOptionBytes + musicBytes, data + size);
  return true;
}

// Puts the parts together into out (at most maxSize bytes); returns the size,
// or 0 when they do not fit.
std::size_t putTogether(Song& song, std::uint8_t* out, std::size_t maxSize) {
  Bytes music;
  song.header[56] = static_cast<std::uint8_t>(std::min<std::size_t>(song.entries.size(), 255));
  song.entries.resize(song.header[56]);
  music.insert(music.end(), song.header.begin(), song.header.end());
  const int version = song.version();
  for (const Entry& e : song.entries) {
    music.push_back(static_cast<std::uint8_t>(e.blocks));
    music.push_back(static_cast<std::uint8_t>(e.blocks >> 8));
    if (version >= 1) music.push_back(e.unused);
    music.push_back(e.attribute);
    music.insert(music.end(), e.tag.begin(), e.tag.end());
  }
  if (version >= 3) {
    song.patches.resize(std::min<std::size_t>(song.patches.size(), 255));
    music.push_back(static_cast<std::uint8_t>(song.patches.size()));
    for (const auto& p : song.patches) music.insert(music.end(), p.begin(), p.end());
  }
  if (version >= 4) music.push_back(song.rowsInstrument);
  if (version >= 2) {
    song.macros.resize(std::min<std::size_t>(song.macros.size(), 255));
    std::size_t total = 0;
    music.push_back(static_cast<std::uint8_t>(song.macros.size()));
    for (const Macro& m : song.macros) {
      music.push_back(m.length);
      music.push_back(static_cast<std::uint8_t>(m.address));
      music.push_back(static_cast<std::uint8_t>(m.address >> 8));
      total += m.length;
    }
    song.macroBytes.resize(total, 0xFF);
    music.insert(music.end(), song.macroBytes.begin(), song.macroBytes.end());
  }
  music.insert(music.end(), song.stream.begin(), song.stream.end());
  const std::size_t size = kOptionBytes + music.size() + song.samples.size();
  if (music.size() > 0xFFFF || size > maxSize) return 0;
  std::copy(song.options.begin(), song.options.end(), out);
  out[3] = static_cast<std::uint8_t>(music.size());
  out[4] = static_cast<std::uint8_t>(music.size() >> 8);
  std::copy(music.begin(), music.end(), out + kOptionBytes);
  std::copy(song.samples.begin(), song.samples.end(), out + kOptionBytes + music.size());
  return size;
}

// The offsets at which the commands of `stream` start.
std::vector<std::size_t> commandStarts(const Bytes& stream) {
  std::vector<std::size_t> starts;
  for (std::size_t at = 0; at < stream.size(); at += 1 + static_cast<std::size_t>(operandBytes(stream[at]))) {
    starts.push_back(at);
  }
  starts.push_back(stream.size());
  return starts;
}

std::size_t pick(Random& random, std::size_t count) {
  return count == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
}
std::uint8_t byte(Random& random) { return static_cast<std::uint8_t>(random()); }

// A command that plays: a note, a register write, a frame end, a macro call
// (of a macro the song has), a loop jump to a command's start, row mode.
Bytes makeCommand(Random& random, const Song& song, const Bytes& stream) {
  Bytes c;
  const std::size_t ch = pick(random, 8);
  const std::size_t sample = pick(random, std::max<std::size_t>(song.entries.size(), 1));
  switch (pick(random, 16)) {
    case 0: c = {0xFF}; break;
    case 1: c = {0xFF, 0xFF, 0xFF, 0xFF}; break;
    case 2: c = {static_cast<std::uint8_t>(0xA0 + ch), byte(random), static_cast<std::uint8_t>(sample), byte(random)}; break;
    case 3: c = {static_cast<std::uint8_t>(0xB0 + ch), byte(random), static_cast<std::uint8_t>(sample)}; break;
    case 4: c = {static_cast<std::uint8_t>(0xB8 + pick(random, 16)), byte(random)}; break;
    case 5: c = {static_cast<std::uint8_t>(pick(random, 0x40)), byte(random)}; break;
    case 6: c = {static_cast<std::uint8_t>(0x40 + pick(random, 16)), byte(random)}; break;
    case 7: {
      if (song.macros.empty()) {
        c = {0xFF};
      } else {
        const std::size_t m = pick(random, song.macros.size());
        c = m < 16 && random() % 2 ? Bytes{static_cast<std::uint8_t>(0xE0 + m)} : Bytes{0x9F, static_cast<std::uint8_t>(m)};
      }
      break;
    }
    case 8: {
      const std::vector<std::size_t> starts = commandStarts(stream);
      const std::size_t target = starts[pick(random, starts.size())];
      c = {0xFD, static_cast<std::uint8_t>(target >> 14), static_cast<std::uint8_t>(target),
           static_cast<std::uint8_t>((target >> 8) & 0x3F)};
      break;
    }
    case 9: {
      // Row mode with a few rows of packed data behind it.
      c = {0xAD, static_cast<std::uint8_t>(pick(random, 9))};
      for (std::size_t i = pick(random, 12); i > 0; --i) c.push_back(byte(random));
      break;
    }
    case 10: c = {0xFE}; break;
    default: {
      // Any command with its operands.
      c.push_back(byte(random));
      for (int i = operandBytes(c[0]); i > 0; --i) c.push_back(byte(random));
    }
  }
  return c;
}

// One change to a command stream (the music stream or the macro bytes).
void mutateStream(Random& random, const Song& song, Bytes& stream) {
  const std::vector<std::size_t> starts = commandStarts(stream);
  const std::size_t commands = starts.size() - 1;
  const std::size_t i = pick(random, commands + 1);
  const std::size_t at = std::min(starts[i], stream.size());
  const std::size_t next = i < commands ? std::min(starts[i + 1], stream.size()) : at;
  switch (pick(random, 6)) {
    case 0:
    case 1: {
      const Bytes c = makeCommand(random, song, stream);
      stream.insert(stream.begin() + static_cast<std::ptrdiff_t>(at), c.begin(), c.end());
      break;
    }
    case 2: stream.erase(stream.begin() + static_cast<std::ptrdiff_t>(at), stream.begin() + static_cast<std::ptrdiff_t>(next)); break;
    case 3: {
      // A run of commands copied elsewhere (a loop body played twice).
      const std::size_t j = std::min(i + 1 + pick(random, 8), commands);
      const Bytes run(stream.begin() + static_cast<std::ptrdiff_t>(at),
                      stream.begin() + static_cast<std::ptrdiff_t>(std::min(starts[j], stream.size())));
      const std::size_t to = std::min(starts[pick(random, commands + 1)], stream.size());
      stream.insert(stream.begin() + static_cast<std::ptrdiff_t>(to), run.begin(), run.end());
      break;
    }
    case 4:
      // Another operand.
      if (next > at + 1) stream[at + 1 + pick(random, next - at - 1)] = byte(random);
      break;
    default:
      // Another command of the same family (same channel bits kept).
      if (at < stream.size()) {
        const std::uint8_t code = stream[at];
        const Bytes c = makeCommand(random, song, stream);
        if (c.size() == next - at) std::copy(c.begin(), c.end(), stream.begin() + static_cast<std::ptrdiff_t>(at));
        else stream[at] = static_cast<std::uint8_t>((code & 0xF8) | (c[0] & 7));
      }
  }
}

void fitSamples(Random& random, Song& song) {
  std::size_t blocks = 0;
  for (const Entry& e : song.entries) blocks += e.blocks;
  const std::size_t want = std::min<std::size_t>(blocks * 256, 48 * 1024);
  const std::size_t old = song.samples.size();
  song.samples.resize(want);
  for (std::size_t i = old; i < want; ++i) song.samples[i] = static_cast<std::uint8_t>(128 + (random() % 64) - 32);
}

void mutateSong(Random& random, Song& song) {
  switch (pick(random, 20)) {
    case 0: song.options[pick(random, 3)] = byte(random); break;
    case 1: song.options[0] ^= static_cast<std::uint8_t>(1u << pick(random, 5)); break;
    case 2: {
      // Another version: parts it lacked start empty, parts it drops go.
      const int version = static_cast<int>(pick(random, 6));
      song.header[0] = static_cast<std::uint8_t>((version << 4) | (song.header[0] & 15));
      if (version < 3) song.patches.clear();
      if (version < 2) song.macros.clear();
      break;
    }
    case 3: song.header[0] = static_cast<std::uint8_t>((song.header[0] & 0xF0) | pick(random, 9)); break;
    case 4: song.header[4 + pick(random, 2)] = byte(random); break;
    case 5: {
      const char* name = random() % 4 ? "S       " : "s       ";
      std::memcpy(song.header.data() + 48, name, 8);
      break;
    }
    case 6: song.header[6 + pick(random, 42)] = random() % 2 ? 0x81 : byte(random); break;
    case 7: {
      Entry e;
      e.blocks = static_cast<std::uint16_t>(pick(random, 6));
      if (song.entries.empty() && random() % 2) std::memcpy(e.tag.data(), random() % 2 ? "SCC " : "sine", 4);
      song.entries.insert(song.entries.begin() + static_cast<std::ptrdiff_t>(pick(random, song.entries.size() + 1)), e);
      if (random() % 2) std::memcpy(song.header.data() + 48, "S       ", 8);
      fitSamples(random, song);
      break;
    }
    case 8:
      if (!song.entries.empty()) {
        song.entries.erase(song.entries.begin() + static_cast<std::ptrdiff_t>(pick(random, song.entries.size())));
        fitSamples(random, song);
      }
      break;
    case 9:
      if (!song.entries.empty()) {
        Entry& e = song.entries[pick(random, song.entries.size())];
        e.blocks = static_cast<std::uint16_t>(random() % 8 ? pick(random, 16) : random() & 0xFFFF);
        if (random() % 4 == 0) e.tag[pick(random, 4)] = byte(random);
        fitSamples(random, song);
      }
      break;
    case 10: {
      // A loop marker or an end marker where the block index table has entries.
      if (song.version() < 3) song.header[0] = static_cast<std::uint8_t>(0x30 | (song.header[0] & 15));
      std::size_t used = 4;
      for (const Entry& e : song.entries) used += 2u * e.blocks + 4;
      const std::size_t address = 0x3000 + pick(random, std::min<std::size_t>(used, 0xFFE));
      const std::uint8_t d2 = random() % 2 ? 0xFF : byte(random);
      song.patches.push_back({static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8),
                              random() % 2 ? std::uint8_t{0xFE} : byte(random), d2});
      break;
    }
    case 11:
      if (!song.patches.empty()) song.patches.erase(song.patches.begin() + static_cast<std::ptrdiff_t>(pick(random, song.patches.size())));
      break;
    case 12:
      if (song.version() < 4) song.header[0] = static_cast<std::uint8_t>(0x40 | (song.header[0] & 15));
      song.rowsInstrument = byte(random);
      break;
    case 13: {
      // A new macro at the end of the macro bytes, made of commands.
      if (song.version() < 2) song.header[0] = static_cast<std::uint8_t>(0x20 | (song.header[0] & 15));
      Bytes body;
      for (std::size_t n = 1 + pick(random, 4); n > 0; --n) {
        const Bytes c = makeCommand(random, song, body);
        body.insert(body.end(), c.begin(), c.end());
      }
      body.resize(std::min<std::size_t>(body.size(), 255));
      song.macros.push_back({static_cast<std::uint8_t>(body.size()), static_cast<std::uint16_t>(0x6300 + song.macroBytes.size())});
      song.macroBytes.insert(song.macroBytes.end(), body.begin(), body.end());
      break;
    }
    case 14:
      if (!song.macros.empty()) {
        // Another macro's place or length within the macro bytes (overlaps allowed).
        Macro& m = song.macros[pick(random, song.macros.size())];
        if (random() % 2) m.address = static_cast<std::uint16_t>(0x6300 + pick(random, song.macroBytes.size() + 1));
        else m.length = static_cast<std::uint8_t>(pick(random, 16));
      }
      break;
    case 15:
      if (!song.macroBytes.empty()) mutateStream(random, song, song.macroBytes);
      break;
    case 16: fitSamples(random, song); break;
    default: mutateStream(random, song, song.stream);
  }
}

}  // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed) {
  Random random(seed);
  Song song;
  if (random() % 4 != 0 && takeApart(data, size, song)) {
    for (std::size_t n = 1 + pick(random, 3); n > 0; --n) mutateSong(random, song);
    if (const std::size_t made = putTogether(song, data, maxSize); made != 0) return made;
  }
  return LLVMFuzzerMutate(data, size, maxSize);
}

extern "C" std::size_t LLVMFuzzerCustomCrossOver(const std::uint8_t* data1, std::size_t size1,
                                                 const std::uint8_t* data2, std::size_t size2,
                                                 std::uint8_t* out, std::size_t maxOutSize, unsigned int seed) {
  Random random(seed);
  Song first;
  Song second;
  if (takeApart(data1, size1, first) && takeApart(data2, size2, second)) {
    // The first song with a stretch of the second's commands, or with its macros.
    if (random() % 3 == 0 && first.version() >= 2) {
      first.macros = second.macros;
      first.macroBytes = second.macroBytes;
    } else {
      const std::vector<std::size_t> a = commandStarts(first.stream);
      const std::vector<std::size_t> b = commandStarts(second.stream);
      const std::size_t cut = std::min(a[pick(random, a.size())], first.stream.size());
      const auto [from, to] = std::minmax(std::min(b[pick(random, b.size())], second.stream.size()),
                                          std::min(b[pick(random, b.size())], second.stream.size()));
      first.stream.insert(first.stream.begin() + static_cast<std::ptrdiff_t>(cut),
                          second.stream.begin() + static_cast<std::ptrdiff_t>(from),
                          second.stream.begin() + static_cast<std::ptrdiff_t>(to));
    }
    if (const std::size_t made = putTogether(first, out, maxOutSize); made != 0) return made;
  }
  // Bytes: a head of the first and a tail of the second.
  const std::size_t head = std::min(pick(random, size1 + 1), maxOutSize);
  const std::size_t tail = std::min(size2 - std::min(pick(random, size2 + 1), size2), maxOutSize - head);
  if (head > 0) std::memcpy(out, data1, head);
  if (tail > 0) std::memcpy(out + head, data2 + size2 - tail, tail);
  return head + tail;
}
