#include "image/trm_decoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/output_image.h"
#include "messages/messages.h"

namespace kvtram {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A hand-made image: the header with its magic, bank 0, and bytes placed at
// image addresses from 0x4000 on.
struct TestImage {
  Bytes bytes = Bytes(576 + 16384, 0);
  TestImage() { std::memcpy(bytes.data() + 139, "TRAM", 4); }
  void pointer(int offset, int address) {
    auto p = bankPointer(address);
    std::copy(p.begin(), p.end(), bytes.begin() + offset);
  }
  // Puts `b` at image address `address`, growing the file as needed.
  void put(int address, const Bytes& b) {
    std::size_t at = static_cast<std::size_t>(address) + 576;
    if (bytes.size() < at + b.size()) bytes.resize(at + b.size(), 0);
    std::copy(b.begin(), b.end(), bytes.begin() + static_cast<long>(at));
  }
  int end() const { return static_cast<int>(bytes.size()) - 576; }
  // Appends a stream and points the header offset at it.
  int stream(int headerOffset, const Bytes& b) {
    int address = end();
    pointer(headerOffset, address);
    put(address, b);
    return address;
  }
};

Bytes fmInit(int channels) {
  Bytes b{0xAD};
  for (int u = 0; u < channels; ++u) {
    b.insert(b.end(), {static_cast<std::uint8_t>(0xD0 + u), 0x00, static_cast<std::uint8_t>(0xE0 + u), 0x0F});
  }
  return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// The smallest image the converter writes: no samples, empty streams.
TestImage minimalImage(const Bytes& psg = {0xAC, 0x01, 0x69}) {
  TestImage image;
  image.stream(0, psg);
  image.stream(48, concat({fmInit(9), {0xAC, 0x01, 0x69}}));
  return image;
}

std::string decode(const TestImage& image, TrmImage& out, int waveCount = -1) {
  return decodeTrm(image.bytes, out, waveCount);
}

std::vector<TrmCommandKind> kinds(const TrmStream& s) {
  std::vector<TrmCommandKind> k;
  for (const TrmCommand& c : s.commands) k.push_back(c.kind);
  return k;
}
std::vector<std::int64_t> times(const TrmStream& s) {
  std::vector<std::int64_t> t;
  for (const TrmCommand& c : s.commands) t.push_back(c.time);
  return t;
}

TEST(BankPointer, DecodesWhatTheImageEncodes) {
  for (int address : {0x0000, 0x0040, 0x4000, 0x4001, 0x40FF, 0x7FFF, 0x8000, 0x12345, 255 * 16384 + 16383}) {
    auto bytes = bankPointer(address);
    TrmPointer p = decodeBankPointer(bytes.data());
    EXPECT_TRUE(p.valid) << address;
    EXPECT_EQ(p.address, address);
  }
  const std::uint8_t null[3] = {0, 0, 0}, lowThird[3] = {1, 0, 0x3F}, highThird[3] = {1, 0, 0x80};
  EXPECT_TRUE(decodeBankPointer(null).null);
  EXPECT_FALSE(decodeBankPointer(null).valid);
  EXPECT_FALSE(decodeBankPointer(lowThird).valid);
  EXPECT_FALSE(decodeBankPointer(highThird).valid);
}

TEST(TrmDecoder, ReadsTheHeaderFields) {
  TestImage image = minimalImage();
  const Bytes title{'A', 'B', 'C', 0x00, ' ', ' '};
  std::fill(image.bytes.begin() + 143, image.bytes.begin() + 207, ' ');
  std::copy(title.begin(), title.end(), image.bytes.begin() + 143);
  image.bytes[138] = 1;
  image.bytes[486] = 2, image.bytes[487] = 4, image.bytes[488] = 3;
  image.bytes[300] = 0x55;  // no field there
  image.stream(48, concat({fmInit(6), {0xAC, 0x01, 0x69}}));  // rhythm mode: six channels
  const int channel = image.stream(30, {0xAC, 0x02, 0x69});
  TrmImage out;
  ASSERT_EQ(decode(image, out), "");
  EXPECT_EQ(out.header.title, "ABC");
  EXPECT_EQ(out.header.rhythmMode, 1);
  EXPECT_EQ(out.header.constants, (std::array<std::uint8_t, 3>{2, 4, 3}));
  EXPECT_EQ(out.header.strayBytes, 1);
  EXPECT_EQ(out.header.psg.address, 0x4000);
  EXPECT_TRUE(out.header.slots[0].null);
  EXPECT_EQ(out.header.slots[2].address, channel);
  ASSERT_EQ(out.channels.size(), 1u);
  EXPECT_EQ(out.channels[0].headerOffset, 30);
  ASSERT_FALSE(out.fm.commands.empty());
  EXPECT_EQ(out.fm.commands[0].kind, TrmCommandKind::FmInit);
  EXPECT_EQ(out.fm.commands[0].length, 25);
  EXPECT_EQ(out.waveCount, 0);
  EXPECT_TRUE(out.samples.empty());
}

TEST(TrmDecoder, TimesAreTheWaitsBeforeACommandAcrossBanks) {
  // Frame 1 writes, then a 300-frame gap (long form), a 5-frame wait, and a
  // next-bank command in front of the last frame.
  TestImage image;
  image.pointer(0, 0x4000);
  image.put(0x4000, {0x8F, 0x07, 0x38, 0xAC, 0x01, 0xAC, 0x00, 0x2C, 0x01, 0x8F, 0x08, 0x0A, 0xAC, 0x05, 0x68});
  image.put(0x8000, {0x8F, 0x09, 0x01, 0xAC, 0x01, 0x69});
  image.stream(48, concat({fmInit(9), {0xAC, 0x01, 0x69}}));
  TrmImage out;
  ASSERT_EQ(decode(image, out), "");
  using K = TrmCommandKind;
  EXPECT_EQ(kinds(out.psg), (std::vector<K>{K::PsgWrite, K::Wait, K::Wait, K::PsgWrite, K::Wait, K::NextBank,
                                            K::PsgWrite, K::Wait, K::End}));
  EXPECT_EQ(times(out.psg), (std::vector<std::int64_t>{0, 0, 1, 301, 301, 306, 306, 306, 307}));
  EXPECT_EQ(out.psg.commands[2].count, 300);
  EXPECT_EQ(out.psg.commands[6].address, 0x8000);
  EXPECT_EQ(out.psg.commands[6].reg, 9);
  EXPECT_EQ(out.psg.endTime, 307);
  EXPECT_EQ(out.psg.end, 0x8006);
  EXPECT_EQ(out.fm.start, 0x8006);
}

TEST(TrmDecoder, ReadsEveryChannelStreamCommand) {
  TestImage image = minimalImage();
  image.stream(18, {0xAC, 0x04,                          // opening wait
                    0x7B, 0x40, 0x80, 0x00, 0x00,        // sample entry 0x0040
                    0x66, 0xF1,                          // volume
                    0x5F, 0x07,                          // note 95, 7 frames
                    0x64, 0x50, 0x03,                    // change to note 80, 3 frames
                    0x7A, 0x20, 0x40,                    // wave address 0x4020
                    0xAD, 0xE8, 0x3F, 0x00, 0x2C, 0x01,  // tone: period 1000, volume 15, 300 frames
                    0x69});
  TrmImage out;
  ASSERT_EQ(decode(image, out, 0), "");
  ASSERT_EQ(out.channels.size(), 1u);
  const TrmStream& s = out.channels[0];
  using K = TrmCommandKind;
  EXPECT_EQ(kinds(s), (std::vector<K>{K::Wait, K::SelectSample, K::NoteVolume, K::Note, K::NoteChange, K::Note,
                                      K::WaveAddress, K::SccNote, K::End}));
  EXPECT_EQ(times(s), (std::vector<std::int64_t>{0, 4, 4, 4, 11, 11, 14, 14, 314}));
  EXPECT_EQ(s.commands[1].pointer, 0x40);
  EXPECT_EQ(s.commands[2].value, 0xF1);
  EXPECT_EQ(s.commands[3].reg, 95);
  EXPECT_EQ(s.commands[5].reg, 0x50);
  EXPECT_EQ(s.commands[6].pointer, 0x4020);
  EXPECT_EQ(s.commands[7].reg, 1000);
  EXPECT_EQ(s.commands[7].value, 15);
  EXPECT_EQ(s.commands[7].count, 300);
  EXPECT_EQ(s.commands[7].length, 6);
  EXPECT_EQ(out.bytesOf(s.commands[7]).size(), 6u);
  EXPECT_EQ(out.bytesOf(s.commands[7])[0], 0xAD);
}

TEST(TrmDecoder, ChannelStreamsThatShareCommandsDecodeThemOnce) {
  // Slots 18 and 24 point at one stream; slot 30 into its middle, at the
  // note of 3 frames that the player reaches after 6.
  TestImage image = minimalImage();
  int shared = image.stream(18, {0xAC, 0x01, 0x10, 0x05, 0x64, 0x10, 0x03, 0x69});
  image.pointer(24, shared);
  image.pointer(30, shared + 5);
  TrmImage decoded;
  ASSERT_EQ(decodeTrm(image.bytes, decoded), "");
  ASSERT_EQ(decoded.channels.size(), 3u);
  const TrmStream& first = decoded.channels[0];
  EXPECT_EQ(first.commands.size(), 5u);
  EXPECT_EQ(first.endTime, 9);
  struct Expected {
    int joinAddress;
    std::int64_t endTime;
  };
  const Expected expected[] = {{shared, 9}, {shared + 5, 3}};
  for (std::size_t i = 0; i < 2; ++i) {
    const TrmStream& s = decoded.channels[i + 1];
    EXPECT_TRUE(s.commands.empty());
    EXPECT_EQ(s.joins, 0);
    EXPECT_EQ(s.joinAddress, expected[i].joinAddress);
    EXPECT_TRUE(s.complete);
    EXPECT_EQ(s.end, first.end);
    EXPECT_EQ(s.endTime, expected[i].endTime);
  }
}

TEST(TrmDecoder, RefusesWhatIsNoImage) {
  TrmImage out;
  EXPECT_NE(decodeTrm(Bytes{}, out).find("TRAM イメージではありません"), std::string::npos);
  EXPECT_NE(decodeTrm(Bytes(575, 0), out).find("576"), std::string::npos);
  Bytes noMagic = minimalImage().bytes;
  noMagic[139] = 'X';
  EXPECT_NE(decodeTrm(noMagic, out).find("TRAM がありません"), std::string::npos);
  Bytes headerOnly(576, 0);
  std::memcpy(headerOnly.data() + 139, "TRAM", 4);
  EXPECT_NE(decodeTrm(headerOnly, out).find("バンク 0"), std::string::npos);
}

TEST(TrmDecoder, NamesTheFaultOfABrokenStream) {
  struct Case {
    const char* name;
    TestImage image;
    const char* expected;
  };
  auto psgStream = [](const Bytes& b) { return minimalImage(b); };
  TestImage badPointer = minimalImage();
  badPointer.bytes[0] = badPointer.bytes[1] = badPointer.bytes[2] = 0;
  TestImage brokenInit = minimalImage();
  brokenInit.bytes[576 + 0x4003 + 2] = 0x01;  // D0 01 instead of D0 00
  TestImage noInit = minimalImage();
  noInit.stream(48, {0xAC, 0x01, 0x69});
  TestImage noOpeningWait = minimalImage();
  noOpeningWait.stream(18, {0x5F, 0x01, 0x69});
  TestImage badSelect = minimalImage();
  badSelect.stream(18, {0xAC, 0x01, 0x7B, 0x40, 0x80, 0x01, 0x00, 0x69});
  TestImage straddles;  // a triplet over the end of bank 1
  straddles.pointer(0, 0x7FFE);
  straddles.put(0x7FFE, {0x8F, 0x07, 0x38, 0x69});
  TestImage dirtyFill;
  dirtyFill.pointer(0, 0x4000);
  dirtyFill.put(0x4000, {0x68});
  dirtyFill.put(0x7000, {0x01});
  dirtyFill.put(0x8000, {0xAC, 0x01, 0x69});
  dirtyFill.stream(48, concat({fmInit(9), {0xAC, 0x01, 0x69}}));
  const Case cases[] = {
      {"unknown PSG command", psgStream({0xAC, 0x01, 0x55, 0x69}), "不明なコマンド 0x55"},
      {"FM pair in the PSG stream", psgStream({0xB0, 0x01, 0x69}), "不明なコマンド 0xB0"},
      {"PSG register above 15", psgStream({0x8F, 0x10, 0x00, 0x69}), "レジスタ番号 16"},
      {"long form for a short count", psgStream({0xAC, 0x00, 0x10, 0x00, 0x69}), "長い形式"},
      {"invalid start pointer", badPointer, "開始ポインタ"},
      {"broken FM init block", brokenInit, "FM 初期化ブロックが壊れています"},
      {"FM stream without init block", noInit, "FM 初期化ブロック (0xAD) がありません"},
      {"channel stream without opening wait", noOpeningWait, "最初の待ち"},
      {"sample selection with stray operands", badSelect, "0x7B"},
      {"command across a bank end", straddles, "バンク境界"},
      {"bytes behind a next-bank command", dirtyFill, "0x007000"},
  };
  for (const Case& c : cases) {
    TrmImage out;
    std::string failure = decode(c.image, out);
    EXPECT_NE(failure.find(c.expected), std::string::npos) << c.name << ": " << failure;
  }
}

// The faults read whole in both languages, the channel counted from 1 as the listing counts it.
TEST(TrmDecoder, FaultsNameTheStreamAndAddressInEitherLanguage) {
  TestImage noOpeningWait = minimalImage();
  noOpeningWait.stream(18, {0x5F, 0x01, 0x69});
  TrmImage out;
  msg::setLanguage(msg::Language::English);
  const std::string english = decode(noOpeningWait, out);
  const std::string empty = decodeTrm(Bytes{}, out);
  msg::setLanguage(msg::Language::Japanese);
  EXPECT_EQ(english, "PCM channel 1 stream (header 18) : 0x00402B: no opening wait (0xAC)");
  EXPECT_EQ(empty, "not a TRAM image (shorter than the 576-byte header: 0 bytes)");
  EXPECT_EQ(decode(noOpeningWait, out), "PCM チャンネル 1 のストリーム (ヘッダー 18) : 0x00402B に最初の待ち (0xAC) がありません");
}

TEST(TrmDecoder, EveryTruncationIsAFailure) {
  TestImage image = minimalImage();
  image.stream(18, {0xAC, 0x04, 0x7B, 0x40, 0x80, 0x00, 0x00, 0x66, 0xF1, 0x5F, 0x00, 0x2C, 0x01, 0x69});
  for (std::size_t length = 0; length < image.bytes.size(); ++length) {
    TrmImage out;
    Bytes cut(image.bytes.begin(), image.bytes.begin() + static_cast<long>(length));
    EXPECT_NE(decodeTrm(cut, out, 0), "") << length;
  }
}

TEST(TrmDecoder, GarbledImagesEndInATextNotACrash) {
  // Random bytes over the pointers and the streams; whatever comes out, every
  // stream the decoder calls complete ends with its end command.
  TestImage image = minimalImage({0x8F, 0x07, 0x38, 0xAC, 0x00, 0x2C, 0x01, 0x68});
  image.put(0x8000, {0x8F, 0x08, 0x01, 0xAC, 0x01, 0x69});
  image.stream(48, concat({fmInit(9), {0xC0, 0x10, 0xAC, 0x01, 0x69}}));
  image.stream(18, {0xAC, 0x04, 0x7B, 0x40, 0x80, 0x00, 0x00, 0x66, 0xF1, 0x5F, 0x07, 0xAD, 0x01, 0x0F, 0x02, 0x69});
  std::uint32_t x = 2463534242u;
  auto next = [&x] {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
  };
  const std::size_t streamBytes = image.bytes.size() - (576 + 0x4000);
  for (int round = 0; round < 3000; ++round) {
    Bytes garbled = image.bytes;
    for (int k = 0; k < 4; ++k) {
      std::uint32_t r = next();
      std::size_t at = (r & 1) ? 576 + 0x4000 + (r >> 1) % streamBytes : (r >> 1) % 130;
      garbled[at] = static_cast<std::uint8_t>(next());
    }
    if (round % 3 == 0) garbled.resize(garbled.size() - next() % 40);
    TrmImage out;
    std::string failure = decodeTrm(garbled, out);
    for (const TrmStream* s : {&out.psg, &out.fm}) {
      if (s->complete) {
        ASSERT_FALSE(s->commands.empty());
        EXPECT_EQ(s->commands.back().kind, TrmCommandKind::End);
      }
    }
    if (failure.empty()) {
      EXPECT_TRUE(out.psg.complete && out.fm.complete);
      for (const TrmStream& s : out.channels) EXPECT_TRUE(s.complete);
    }
  }
}

// Bank 0 as the converter leaves it: `waves` x 32 wave bytes, then the
// pointer table with the given start/end/loop addresses (0 = null loop).
struct TableEntry {
  int start, end, loop;
};
TestImage imageWithBankZero(const Bytes& waves, const std::vector<TableEntry>& variants, int streamsAt) {
  TestImage image;
  image.put(0, waves);
  int at = static_cast<int>(waves.size());
  for (const TableEntry& v : variants) {
    image.pointer(576 + at, v.start);
    image.pointer(576 + at + 3, v.end);
    if (v.loop != 0) image.pointer(576 + at + 6, v.loop);
    at += 9;
  }
  image.put(0x4000, Bytes(static_cast<std::size_t>(streamsAt - 0x4000), 0x11));  // the sample data
  image.stream(0, {0xAC, 0x01, 0x69});
  image.stream(48, concat({fmInit(9), {0xAC, 0x01, 0x69}}));
  return image;
}

TEST(TrmDecoder, FindsTheWaveCountInBankZero) {
  // Two waves, the first beginning with the bytes of the table's first
  // pointer (01 00 40) as a decoy; then two samples.
  Bytes waves(64, 0x7F);
  waves[0] = 0x01, waves[1] = 0x00, waves[2] = 0x40;
  // Sample 0: variants 1 and 3 placed (3 looped), 2 unused; sample 1: only 3.
  std::vector<TableEntry> table = {{0x4000, 0x4100, 0}, {0x41C8, 0x4100, 0}, {0x41C8, 0x4250, 0x4200},
                                   {0x4318, 0x4250, 0}, {0x4318, 0x4250, 0}, {0x4318, 0x4400, 0}};
  TestImage image = imageWithBankZero(waves, table, 0x44C8);
  TrmImage out;
  ASSERT_EQ(decode(image, out), "");
  EXPECT_EQ(out.waveCount, 2);
  EXPECT_FALSE(out.waveCountGiven);
  ASSERT_EQ(out.samples.size(), 2u);
  EXPECT_EQ(out.samples[0].variants[2].entryAddress, 64 + 18);
  EXPECT_EQ(out.samples[0].variants[2].loop.address, 0x4200);
  EXPECT_TRUE(out.samples[1].variants[0].loop.null);
  EXPECT_EQ(out.samples[1].variants[2].end.address, 0x4400);
  EXPECT_EQ(out.wave(1)[0], 0x7F);

  // Told a count, the decoder reads the table there and checks nothing.
  ASSERT_EQ(decode(image, out, 1), "");
  EXPECT_EQ(out.waveCount, 1);
  EXPECT_TRUE(out.waveCountGiven);
}

TEST(TrmDecoder, AnEmptyBankZeroHasNoWavesAndAForeignOneIsRefused) {
  TrmImage out;
  ASSERT_EQ(decode(minimalImage(), out), "");
  EXPECT_EQ(out.waveCount, 0);
  EXPECT_TRUE(out.samples.empty());

  TestImage foreign = minimalImage();
  for (int a = 0; a < 100; ++a) foreign.bytes[static_cast<std::size_t>(576 + a)] = static_cast<std::uint8_t>(a * 37 + 1);
  EXPECT_NE(decode(foreign, out).find("サンプルポインタ表が見つかりません"), std::string::npos);
  EXPECT_EQ(decode(foreign, out, 3), "");

  // A table whose start addresses go backwards is no table.
  TestImage backwards = imageWithBankZero({}, {{0x4000, 0x4100, 0}, {0x4180, 0x4200, 0}, {0x4100, 0x4200, 0}}, 0x4300);
  EXPECT_NE(decode(backwards, out), "");
}

TEST(TrmDecoder, SampleSelectionsPickTheTableAmongLookalikes) {
  // Six waves made of nothing but the bytes 01 00 40, then one sample whose
  // pointers are all 01 00 40 too (its last loop pointer null). Read from
  // address 0 in 27-byte entries, bank 0 is then a table of eight samples
  // that passes every check; only a channel stream's selection of an entry
  // behind the waves (192 + 9, which is not on the grid from 0) tells.
  Bytes waves;
  for (int i = 0; i < 64; ++i) waves.insert(waves.end(), {0x01, 0x00, 0x40});
  std::vector<TableEntry> table = {{0x4000, 0x4000, 0x4000}, {0x4000, 0x4000, 0x4000}, {0x4000, 0x4000, 0}};
  TestImage image = imageWithBankZero(waves, table, 0x4100);
  TrmImage out;
  ASSERT_EQ(decode(image, out), "");
  EXPECT_EQ(out.waveCount, 0) << "without a selection the earliest fitting table wins";
  EXPECT_EQ(out.samples.size(), 8u);

  image.stream(18, {0xAC, 0x01, 0x7B, 192 + 9, 0x80, 0x00, 0x00, 0x5F, 0x01, 0x69});
  ASSERT_EQ(decode(image, out), "");
  EXPECT_EQ(out.waveCount, 6);
  EXPECT_EQ(out.samples.size(), 1u);
}

}  // namespace
}  // namespace kvtram
