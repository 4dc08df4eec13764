#include "samples/linear_resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "samples/sample_variants.h"

namespace kvtram {
namespace {

constexpr std::uint8_t kUntouched = 0xA5;

std::vector<std::uint8_t> randomBytes(std::size_t count, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> bytes(count);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng() & 0xFF);
  return bytes;
}

TEST(LinearResampler, ScaledLengthAndOutputCountPerVariant) {
  struct Case {
    double ratio;
    std::size_t length;
  };
  const Case cases[] = {{kVariantRatio[0], 181}, {kVariantRatio[1], 128}, {kVariantRatio[2], 90}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ratio);
    ASSERT_EQ(linearOutputLength(256, c.ratio), c.length);
    std::vector<std::uint8_t> store(2048, 128);
    std::vector<std::uint8_t> out(1024, kUntouched);
    ASSERT_TRUE(linearResample(store, 0, 256, 0, c.ratio, c.length, out));
    // L + 208 samples written (389 for variant 1), nothing behind them.
    for (std::size_t j = 0; j < c.length + 208; ++j) EXPECT_EQ(out[j], 128) << j;
    for (std::size_t j = c.length + 208; j < out.size(); ++j) ASSERT_EQ(out[j], kUntouched) << j;
  }
  EXPECT_EQ(linearOutputLength(256, kVariantRatio[0]) + kLinearExtraOutput, 389u);
}

TEST(LinearResampler, ConstantSources) {
  for (double ratio : kVariantRatio) {
    SCOPED_TRACE(ratio);
    const std::size_t srcPos = 300, srcLen = 1024;
    const std::size_t outLen = linearOutputLength(srcLen, ratio);

    // Silence stays silence, through the 208 samples behind the end.
    std::vector<std::uint8_t> store(4096, 128);
    std::vector<std::uint8_t> out(outLen + 208, kUntouched);
    ASSERT_TRUE(linearResample(store, srcPos, srcLen, 0, ratio, outLen, out));
    for (std::size_t j = 0; j < out.size(); ++j) ASSERT_EQ(out[j], 128) << j;

    // The most negative value gives 1: -128 + 0.5 truncates to -127. With a
    // loop the continuation is that value too.
    std::vector<std::uint8_t> low(4096, 0);
    ASSERT_TRUE(linearResample(low, srcPos, srcLen, 512, ratio, outLen, out));
    for (std::size_t j = 0; j < out.size(); ++j) ASSERT_EQ(out[j], 1) << j;

    // Without a loop the continuation is silence.
    std::vector<std::uint8_t> unlooped(4096, 0);
    ASSERT_TRUE(linearResample(unlooped, srcPos, srcLen, 0, ratio, outLen, out));
    for (std::size_t j = 0; j < out.size(); ++j) {
      const double position = static_cast<double>(j) * ratio;
      if (position + 1.0 < srcLen - 1) {
        ASSERT_EQ(out[j], 1) << j;
      }
      if (position > srcLen + 1 && position + 2 < srcLen + 576) {
        ASSERT_EQ(out[j], 128) << j;
      }
    }
  }
}

TEST(LinearResampler, TailRepeatsTheLoopOrIsSilence) {
  struct Case {
    std::size_t srcLen;
    std::size_t loopStart;
  };
  // One block of loop in a 512-byte sample (tail bytes 0-255 and 256-511 are
  // sample bytes 256-511, tail bytes 512-575 are 256-319); a 3-byte loop
  // that must be repeated 192 times; a loop as long as the tail; no loop.
  const Case cases[] = {{512, 256}, {100, 97}, {1000, 424}, {700, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.loopStart);
    const std::size_t srcPos = 128;
    std::vector<std::uint8_t> store = randomBytes(srcPos + c.srcLen + 1200, 7);
    const std::vector<std::uint8_t> before = store;
    const std::size_t outLen = linearOutputLength(c.srcLen, kVariantRatio[0]);
    std::vector<std::uint8_t> out(outLen + 208);
    ASSERT_TRUE(linearResample(store, srcPos, c.srcLen, c.loopStart, kVariantRatio[0], outLen, out));

    const std::size_t end = srcPos + c.srcLen;
    for (std::size_t i = 0; i < end; ++i) ASSERT_EQ(store[i], before[i]) << i;
    for (std::size_t i = 0; i < 576; ++i) {
      std::uint8_t expected = 128;
      if (c.loopStart != 0) {
        const std::size_t loopLen = c.srcLen - c.loopStart;
        expected = before[srcPos + c.loopStart + i % loopLen];
      }
      ASSERT_EQ(store[end + i], expected) << i;
    }
    for (std::size_t i = end + 576; i < store.size(); ++i) ASSERT_EQ(store[i], before[i]) << i;
  }
}

TEST(LinearResampler, InterpolationAndRounding) {
  struct Case {
    std::vector<std::uint8_t> source;
    double ratio;
    std::vector<std::uint8_t> expected;
  };
  const Case cases[] = {
      // f = 0 gives the byte itself from 128 on and one more below 128
      // (100 - 128 + 0.5 = -27.5 truncates to -27).
      {{100}, 4.0, {101}},
      {{0}, 4.0, {1}},
      {{127}, 4.0, {128}},
      {{128}, 4.0, {128}},
      {{129}, 4.0, {129}},
      {{255}, 4.0, {255}},
      // Halfway points: -1.5 rounds to -1 (not -2), -50.5 to -50, 50 to 50.
      {{126, 127, 28, 228, 128, 128}, 0.5, {127, 127, 128, 78, 29, 128, 228, 178}},
      // -1.2 and -1.4 round to 0, -1.6 and -1.8 to -1.
      {{127, 126, 126}, 0.2, {128, 128, 128, 127, 127, 127}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ratio);
    const std::size_t srcPos = 16;
    std::vector<std::uint8_t> store(2048, 128);
    for (std::size_t i = 0; i < c.source.size(); ++i) store[srcPos + i] = c.source[i];
    // A 1024-byte sample of the source bytes and silence; with L = 0 the
    // resampler still produces 208 samples, of which the first are checked.
    std::vector<std::uint8_t> out(208);
    ASSERT_TRUE(linearResample(store, srcPos, 1024, 0, c.ratio, 0, out));
    for (std::size_t j = 0; j < c.expected.size(); ++j) EXPECT_EQ(out[j], c.expected[j]) << j;
  }
}

TEST(LinearResampler, PositionIsAccumulatedByRepeatedAddition) {
  // Fifteen additions of 0.1 give 1.5000000000000002, not 1.5: the sample
  // then reads 1 x 0.4999999999999998 + 0.5, which truncates to 0; from
  // 15 x 0.1 = 1.5 it would read 1.0 and give 129.
  std::vector<std::uint8_t> store(2048, 128);
  store[1] = 129;
  std::vector<std::uint8_t> out(208);
  ASSERT_TRUE(linearResample(store, 0, 1024, 0, 0.1, 0, out));
  EXPECT_EQ(out[14], 129);
  EXPECT_EQ(out[15], 128);
}

TEST(LinearResampler, StoreExtent) {
  struct Case {
    std::size_t srcPos;
    std::size_t srcLen;
    double ratio;
    std::size_t extent;
  };
  const Case cases[] = {
      // The tail ends at srcPos + srcLen + 576.
      {0, 256, kVariantRatio[0], 832},
      {1000, 256, kVariantRatio[1], 1832},
      // Sample 297 reads from 836.3196..., so bytes 836 and 837: 6 bytes
      // past the tail.
      {0, 256, kVariantRatio[2], 838},
      {4096, 256, kVariantRatio[2], 4096 + 838},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extent);
    const std::size_t outLen = linearOutputLength(c.srcLen, c.ratio);
    ASSERT_EQ(linearStoreExtent(c.srcPos, c.srcLen, c.ratio, outLen), c.extent);
    // A store of exactly that size is enough (the sanitizer build checks
    // that nothing behind it is touched); one byte less is refused.
    std::vector<std::uint8_t> store = randomBytes(c.extent, 11);
    std::vector<std::uint8_t> out(outLen + 208);
    EXPECT_TRUE(linearResample(store, c.srcPos, c.srcLen, 100, c.ratio, outLen, out));
    std::vector<std::uint8_t> shorter(c.extent - 1, 128);
    EXPECT_FALSE(linearResample(shorter, c.srcPos, c.srcLen, 100, c.ratio, outLen, out));
  }
  constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
  EXPECT_EQ(linearStoreExtent(0, 256, 0.0, 181), kNone);
  EXPECT_EQ(linearStoreExtent(0, 256, std::nan(""), 181), kNone);
  EXPECT_EQ(linearStoreExtent(kNone - 100, 256, 1.5, 181), kNone);
  EXPECT_EQ(linearStoreExtent(0, 256, 1.5, kNone), kNone);
}

TEST(LinearResampler, RefusalsWriteNothing) {
  struct Case {
    const char* what;
    std::size_t storeSize;
    std::size_t srcLen;
    std::size_t loopStart;
    double ratio;
    std::size_t outLen;
    std::size_t outSize;
  };
  const double r = kVariantRatio[0];
  const Case cases[] = {
      {"empty sample", 4096, 0, 0, r, 0, 208},
      {"loop start at the end", 4096, 256, 256, r, 181, 389},
      {"loop start past the end", 4096, 256, 300, r, 181, 389},
      {"out one byte short", 4096, 256, 0, r, 181, 388},
      {"out shorter than the extra samples", 4096, 256, 0, r, 0, 207},
      {"store without room for the tail", 256 + 575, 256, 0, r, 181, 389},
      {"zero ratio", 4096, 256, 0, 0.0, 181, 389},
      {"negative ratio", 4096, 256, 0, -1.0, 181, 389},
      {"infinite ratio", 4096, 256, 0, INFINITY, 181, 389},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::uint8_t> store = randomBytes(c.storeSize, 5);
    const std::vector<std::uint8_t> storeBefore = store;
    std::vector<std::uint8_t> out(c.outSize, kUntouched);
    EXPECT_FALSE(linearResample(store, 0, c.srcLen, c.loopStart, c.ratio, c.outLen, out));
    EXPECT_EQ(store, storeBefore);
    EXPECT_EQ(out, std::vector<std::uint8_t>(c.outSize, kUntouched));
  }
}

}  // namespace
}  // namespace kvtram
