#include "image/stream_framer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace kvtram {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Frames a sequence of per-frame byte runs (the last entry is the frame in
// which the song ends) into a fresh image and returns the stream's bytes.
Bytes frameStream(OutputImage& image, const std::vector<Bytes>& frames) {
  int start = image.address();
  StreamFramer framer;
  framer.start();
  for (std::size_t f = 0; f < frames.size(); ++f) {
    EXPECT_TRUE(framer.frame(image, frames[f].data(), frames[f].size(), f + 1 == frames.size()));
  }
  const std::uint8_t* base = image.data() + kHeaderBytes;
  return Bytes(base + start, base + image.address());
}

class StreamFramerTest : public ::testing::Test {
 protected:
  std::unique_ptr<OutputImage> image = std::make_unique<OutputImage>();
  void SetUp() override { image->setUpHeader(""); }
};

TEST_F(StreamFramerTest, WaitFramingExamples) {
  Bytes p1{0x8F, 0x07, 0x38}, p2{0x8F, 0x08, 0x0A};
  struct Case {
    const char* name;
    std::vector<Bytes> frames;
    Bytes expected;
  };
  std::vector<Bytes> gap4(4), never300(300), gapThenLong;
  gap4.push_back(p1);
  gap4.push_back({});
  gapThenLong = {{}, p1};
  for (int i = 0; i < 299; ++i) gapThenLong.push_back({});
  gapThenLong.push_back(p2);  // 300 frames after the previous emission
  gapThenLong.push_back({});
  const Case cases[] = {
      {"every frame emits", {p1, p2, p1}, {0x8F, 7, 0x38, 0xAC, 1, 0x8F, 8, 0x0A, 0xAC, 1, 0x8F, 7, 0x38, 0xAC, 1, 0x69}},
      {"first bytes in frame 5", gap4, {0xAC, 4, 0x8F, 7, 0x38, 0xAC, 1, 0x69}},
      {"B1, B2, then an empty last frame", {p1, p2, {}}, {0x8F, 7, 0x38, 0xAC, 1, 0x8F, 8, 0x0A, 0xAC, 1, 0xAC, 1, 0x69}},
      {"one empty frame", {{}}, {0xAC, 1, 0x69}},
      {"never emits, 300 frames", never300, {0xAC, 0x00, 0x2B, 0x01, 0x69}},
      {"long gap after a gap",
       gapThenLong,
       {0xAC, 1, 0x8F, 7, 0x38, 0xAC, 0x00, 0x2C, 0x01, 0x8F, 8, 0x0A, 0xAC, 1, 0x69}},
  };
  for (const Case& c : cases) {
    SetUp();
    EXPECT_EQ(frameStream(*image, c.frames), c.expected) << c.name;
  }
}

TEST_F(StreamFramerTest, FrameNeverStraddlesABank) {
  // Bring the address to in-bank offset o, then place L bytes with o + L = 16383.
  auto placeAt = [&](int offset, std::size_t length) {
    SetUp();
    while (image->address() % kBankBytes != offset) image->put(0xEE);
    Bytes run(length, 0x11);
    EXPECT_TRUE(placeFramedBytes(*image, run.data(), run.size()));
  };
  const std::uint8_t* bank1 = image->data() + kHeaderBytes + 0x4000;
  placeAt(16000, 383);
  EXPECT_EQ(image->address(), 0x8000 + 383);
  EXPECT_EQ(bank1[16000], 0x68);
  for (int o = 16001; o < 16384; ++o) ASSERT_EQ(bank1[o], 0) << o;
  EXPECT_EQ(bank1[16384], 0x11);

  placeAt(16000, 382);
  EXPECT_EQ(image->address(), 0x4000 + 16382);
  EXPECT_EQ(bank1[16000], 0x11);

  // Longer than any bank can take: refused, nothing written.
  SetUp();
  Bytes huge(kMaxFramedBytes + 1, 0x22);
  EXPECT_FALSE(placeFramedBytes(*image, huge.data(), huge.size()));
  EXPECT_EQ(image->address(), 0x4000);
  Bytes largest(kMaxFramedBytes, 0x22);
  EXPECT_TRUE(placeFramedBytes(*image, largest.data(), largest.size()));
}

TEST(FmInitBlock, SilencesMelodyChannels) {
  std::uint8_t block[64];
  ASSERT_EQ(fmInitBlock(false, block), 37u);
  EXPECT_EQ(block[0], 0xAD);
  EXPECT_EQ((Bytes(block + 1, block + 5)), (Bytes{0xD0, 0x00, 0xE0, 0x0F}));
  EXPECT_EQ((Bytes(block + 33, block + 37)), (Bytes{0xD8, 0x00, 0xE8, 0x0F}));
  ASSERT_EQ(fmInitBlock(true, block), 25u);
  EXPECT_EQ((Bytes(block + 21, block + 25)), (Bytes{0xD5, 0x00, 0xE5, 0x0F}));
}

// The frame records' register writes as the streams spell them, and the
// first FM frame opening with the init block.
TEST(RegisterWrites, EncodedAsPairsAndTriplets) {
  const RegisterWrite writes[] = {{0x00, 0x11}, {0x0E, 0x20}, {0x3F, 0xFF}};
  std::uint8_t b[16];
  ASSERT_EQ(encodeFmWrites(writes, b), 6u);
  EXPECT_EQ((Bytes(b, b + 6)), (Bytes{0xB0, 0x11, 0xBE, 0x20, 0xEF, 0xFF}));
  ASSERT_EQ(encodePsgWrites({writes, 2}, b), 6u);
  EXPECT_EQ((Bytes(b, b + 6)), (Bytes{0x8F, 0x00, 0x11, 0x8F, 0x0E, 0x20}));
  EXPECT_EQ(encodeFmWrites({}, b), 0u);

  auto image = std::make_unique<OutputImage>();
  image->setUpHeader("");
  StreamFramer framer;
  framer.start();
  ASSERT_TRUE(framer.fmFrame(*image, {writes, 1}, true, true, true));
  const std::uint8_t* at = image->data() + kHeaderBytes + 0x4000;
  EXPECT_EQ(Bytes(at, at + 25), (Bytes{0xAD, 0xD0, 0x00, 0xE0, 0x0F, 0xD1, 0x00, 0xE1, 0x0F, 0xD2, 0x00, 0xE2, 0x0F,
                                       0xD3, 0x00, 0xE3, 0x0F, 0xD4, 0x00, 0xE4, 0x0F, 0xD5, 0x00, 0xE5, 0x0F}));
  EXPECT_EQ(Bytes(at + 25, at + 30), (Bytes{0xB0, 0x11, 0xAC, 0x01, 0x69}));
  // The block takes the room of as many FM writes as its bytes would fill.
  EXPECT_EQ(fmInitBlockRoom(false), 19u);
  EXPECT_EQ(fmInitBlockRoom(true), 13u);
}

TEST(WaitCount, ShortAndLongForms) {
  std::uint8_t b[3];
  EXPECT_EQ(encodeWaitCount(1, b), 1u);
  EXPECT_EQ(b[0], 1);
  EXPECT_EQ(encodeWaitCount(255, b), 1u);
  EXPECT_EQ(encodeWaitCount(256, b), 3u);
  EXPECT_EQ((Bytes(b, b + 3)), (Bytes{0x00, 0x00, 0x01}));
  EXPECT_EQ(encodeWaitCount(36001, b), 3u);
  EXPECT_EQ((Bytes(b, b + 3)), (Bytes{0x00, 0xA1, 0x8C}));
}

}  // namespace
}  // namespace kvtram
