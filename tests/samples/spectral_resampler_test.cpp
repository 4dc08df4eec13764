#include "samples/spectral_resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

#include "samples/sample_variants.h"
#include "support/spectral_reference.h"

namespace kvtram {
namespace {

constexpr std::uint8_t kUntouched = 0xA5;

// Random bytes; with `silence` > 0 that share of them is 128, so that whole
// frames and bins come out silent.
std::vector<std::uint8_t> randomSample(std::size_t len, unsigned seed, double silence = 0.0) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  std::vector<std::uint8_t> bytes(len);
  for (auto& b : bytes) {
    const auto value = static_cast<std::uint8_t>(rng() & 0xFF);
    b = chance(rng) < silence ? 128 : value;
  }
  return bytes;
}

std::vector<std::uint8_t> resampled(SpectralResampler& resampler, const std::vector<std::uint8_t>& src,
                                    double rate, std::size_t loopStart) {
  std::vector<std::uint8_t> out(SpectralResampler::outputLength(src.size(), rate), kUntouched);
  EXPECT_TRUE(resampler.resample(src.data(), src.size(), rate, loopStart, out));
  return out;
}

TEST(SpectralResampler, MatchesTheReferenceByteForByte) {
  struct Case {
    std::size_t len;
    std::size_t loopStart;
    double silence;
  };
  const Case cases[] = {
      {6000, 1, 0.0},      // loop from the second byte, far longer than the tail
      {256, 0, 0.0},       // one frame's worth, no loop
      {1000, 500, 0.0},    // loop shorter than the tail
      {2000, 1200, 0.0},   // 800-byte loop
      {4096, 1024, 0.0},   // loop longer than the tail
      {4100, 4099, 0.0},   // one-byte loop
      {5000, 0, 0.0},      // no loop
      {1, 0, 0.0},         // a single byte
      {3000, 0, 0.97},     // mostly silence: silent frames and bins
      {2048, 1024, 0.9},
  };
  // One resampler per thread count for all cases: a call must leave nothing
  // behind that changes the next one (the long sample comes first). With
  // worker threads the frames are computed in runs at once; the bytes must
  // not change.
  const std::size_t workerCounts[] = {0, 1, 3};
  std::vector<std::unique_ptr<SpectralResampler>> resamplers;
  for (std::size_t workers : workerCounts) resamplers.push_back(std::make_unique<SpectralResampler>(workers));
  // The analysis in SSE2 alone, as on a processor without AVX.
  resamplers.push_back(std::make_unique<SpectralResampler>(1, SpectralResampler::Analysis::Sse2));
  unsigned seed = 1;
  for (const Case& c : cases) {
    const std::vector<std::uint8_t> src = randomSample(c.len, seed++, c.silence);
    for (double rate : kVariantSourceRate) {
      SCOPED_TRACE(testing::Message() << "len " << c.len << " loop " << c.loopStart << " rate " << rate);
      const std::vector<std::uint8_t> expected =
          reference::spectralResample(src.data(), c.len, rate, c.loopStart);
      for (auto& resampler : resamplers) {
        SCOPED_TRACE(testing::Message() << resampler->workerThreads() << " workers");
        ASSERT_EQ(resampled(*resampler, src, rate, c.loopStart), expected);
      }
    }
  }
  // The lowest rate accepted, where frames reach furthest into the
  // accumulator.
  for (std::size_t len : {300u, 1500u}) {
    const std::vector<std::uint8_t> src = randomSample(len, seed++);
    const std::vector<std::uint8_t> expected =
        reference::spectralResample(src.data(), len, kTargetRate, len / 2);
    for (auto& resampler : resamplers) {
      SCOPED_TRACE(testing::Message() << "len " << len << ", " << resampler->workerThreads() << " workers");
      ASSERT_EQ(resampled(*resampler, src, kTargetRate, len / 2), expected);
    }
  }
}

TEST(SpectralResampler, WorkerThreads) {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  GTEST_SKIP() << "the WebAssembly build has no threads";
#endif
  EXPECT_EQ(SpectralResampler::defaultWorkerThreads(), std::thread::hardware_concurrency() >= 2 ? 1u : 0u);
  EXPECT_EQ(SpectralResampler().workerThreads(), SpectralResampler::defaultWorkerThreads());
  EXPECT_EQ(SpectralResampler(0).workerThreads(), 0u);
  EXPECT_EQ(SpectralResampler(2).workerThreads(), 2u);
  EXPECT_EQ(SpectralResampler(1000).workerThreads(), SpectralResampler::kMaxWorkerThreads);
}

// Rates other than the variants' (any rate from the target rate up is
// accepted), down to frames of a single bin and of no output sample at all,
// with any number of threads.
TEST(SpectralResampler, OtherRatesMatchTheReference) {
  SpectralResampler single(0);
  SpectralResampler pair(1);
  SpectralResampler many(SpectralResampler::kMaxWorkerThreads);
  SpectralResampler sse2(0, SpectralResampler::Analysis::Sse2);
  const std::vector<std::uint8_t> src = randomSample(3000, 31);
  for (double rate : {11151.5, 12345.678, 44100.0, 96000.0, 1.0e6, 1.0e7}) {
    SCOPED_TRACE(rate);
    const std::vector<std::uint8_t> expected = reference::spectralResample(src.data(), src.size(), rate, 2000);
    ASSERT_EQ(resampled(single, src, rate, 2000), expected);
    ASSERT_EQ(resampled(pair, src, rate, 2000), expected);
    ASSERT_EQ(resampled(many, src, rate, 2000), expected);
    ASSERT_EQ(resampled(sse2, src, rate, 2000), expected);
  }
}

// Silence in one part of a sample leaves the threads unequal amounts of
// work; the runs are cut among the frames that do work, and the bytes stay
// those of one thread.
TEST(SpectralResampler, UnevenWorkGivesTheSameBytes) {
  SpectralResampler single(0);
  SpectralResampler pair(1);
  SpectralResampler many(3);
  std::vector<std::uint8_t> soundThenSilence = randomSample(40000, 41);
  std::fill(soundThenSilence.begin() + 6000, soundThenSilence.end(), 128);
  std::vector<std::uint8_t> silenceThenSound = randomSample(40000, 43);
  std::fill(silenceThenSound.begin(), silenceThenSound.end() - 6000, 128);
  // Sound every few frames, with silent frames between.
  std::vector<std::uint8_t> bursts(40000, 128);
  const std::vector<std::uint8_t> noise = randomSample(bursts.size(), 47);
  for (std::size_t i = 0; i < bursts.size(); i += 2000) {
    std::copy_n(noise.begin() + i, 300, bursts.begin() + i);
  }
  for (const auto* src : {&soundThenSilence, &silenceThenSound, &bursts}) {
    for (double rate : kVariantSourceRate) {
      SCOPED_TRACE(rate);
      const std::vector<std::uint8_t> expected = resampled(single, *src, rate, 0);
      ASSERT_EQ(resampled(pair, *src, rate, 0), expected);
      ASSERT_EQ(resampled(many, *src, rate, 0), expected);
    }
  }
  // And one that the one-thread resampler matches against the reference.
  const std::vector<std::uint8_t> shortBursts(bursts.begin(), bursts.begin() + 8000);
  const double rate = kVariantSourceRate[0];
  const std::vector<std::uint8_t> expected =
      reference::spectralResample(shortBursts.data(), shortBursts.size(), rate, 0);
  ASSERT_EQ(resampled(single, shortBursts, rate, 0), expected);
  ASSERT_EQ(resampled(many, shortBursts, rate, 0), expected);
}

// Each conversion workspace owns a resampler; workspaces run side by side,
// each resampler with its own workers.
TEST(SpectralResampler, ResamplersSideBySide) {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  GTEST_SKIP() << "the WebAssembly build has no threads";
#endif
  const std::vector<std::uint8_t> src = randomSample(20000, 53);
  SpectralResampler single(0);
  std::vector<std::vector<std::uint8_t>> expected;
  for (double rate : kVariantSourceRate) expected.push_back(resampled(single, src, rate, 10000));

  bool same[2] = {false, false};
  std::thread threads[2];
  for (int t = 0; t < 2; ++t) {
    threads[t] = std::thread([&, t] {
      SpectralResampler resampler(1);
      bool ok = true;
      for (int round = 0; round < 3; ++round) {
        for (std::size_t v = 0; v < kVariantCount; ++v) {
          std::vector<std::uint8_t> out(expected[v].size());
          ok = ok && resampler.resample(src.data(), src.size(), kVariantSourceRate[v], 10000, out);
          ok = ok && out == expected[v];
        }
      }
      same[t] = ok;
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_TRUE(same[0]);
  EXPECT_TRUE(same[1]);
}

TEST(SpectralResampler, FrameParametersAndOutputLengths) {
  SpectralResampler resampler;
  struct Case {
    double rate;
    std::size_t kmax, cnt, shift, outFor256;
  };
  const Case cases[] = {
      {kVariantSourceRate[0], 91, 182, 181, 390},
      {kVariantSourceRate[1], 64, 129, 128, 337},
      {kVariantSourceRate[2], 45, 91, 90, 299},
      {kTargetRate, 128, 256, 256, 464},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate);
    EXPECT_EQ(SpectralResampler::highestBin(c.rate), c.kmax);
    EXPECT_EQ(SpectralResampler::samplesPerFrame(c.rate), c.cnt);
    EXPECT_EQ(SpectralResampler::outputShift(c.rate), c.shift);
    ASSERT_EQ(SpectralResampler::outputLength(256, c.rate), c.outFor256);
    // Exactly that many bytes are written.
    const std::vector<std::uint8_t> src = randomSample(256, 99);
    std::vector<std::uint8_t> out(c.outFor256 + 50, kUntouched);
    ASSERT_TRUE(resampler.resample(src.data(), 256, c.rate, 0, out));
    EXPECT_NE(std::count(out.begin(), out.begin() + c.outFor256, kUntouched), c.outFor256);
    for (std::size_t i = c.outFor256; i < out.size(); ++i) ASSERT_EQ(out[i], kUntouched) << i;
  }
}

TEST(SpectralResampler, SilenceStaysSilence) {
  SpectralResampler resampler;
  for (double rate : kVariantSourceRate) {
    for (std::size_t loopStart : {0u, 700u}) {
      SCOPED_TRACE(testing::Message() << rate << " loop " << loopStart);
      const std::vector<std::uint8_t> src(3000, 128);
      const std::vector<std::uint8_t> out = resampled(resampler, src, rate, loopStart);
      ASSERT_EQ(out, std::vector<std::uint8_t>(out.size(), 128));
    }
  }
}

// The tail of the analysis input is the loop played on, or silence: the
// output is therefore the start of the output of the same sample with its
// continuation written out and no loop. (The longer sample's extra frames
// land beyond the bytes compared.)
TEST(SpectralResampler, TailContinuesTheLoopOrIsSilence) {
  SpectralResampler resampler;
  struct Case {
    std::size_t len;
    std::size_t loopStart;
  };
  // len 1024 / loop start 768: the tail is bytes 768-1023 four times, then
  // 768-831.
  const Case cases[] = {{1024, 768}, {3000, 1000}, {1000, 999}, {1024, 0}};
  for (const Case& c : cases) {
    const std::vector<std::uint8_t> src = randomSample(c.len, 17);
    std::vector<std::uint8_t> unrolled = src;
    for (std::size_t i = 0; i < SpectralResampler::kTailLength; ++i) {
      unrolled.push_back(c.loopStart == 0 ? 128 : src[c.loopStart + i % (c.len - c.loopStart)]);
    }
    for (double rate : kVariantSourceRate) {
      SCOPED_TRACE(testing::Message() << "loop " << c.loopStart << " rate " << rate);
      const std::vector<std::uint8_t> looped = resampled(resampler, src, rate, c.loopStart);
      const std::vector<std::uint8_t> written = resampled(resampler, unrolled, rate, 0);
      ASSERT_EQ(looped, std::vector<std::uint8_t>(written.begin(), written.begin() + looped.size()));
    }
  }
}

// Properties of the method itself, independent of the reference: a steady
// level comes out at that level, a tone keeps its frequency (now counted in
// target-rate samples) and its level, and a tone above the target's Nyquist
// frequency is dropped.
TEST(SpectralResampler, LevelsAndTones) {
  SpectralResampler resampler;
  for (double rate : kVariantSourceRate) {
    SCOPED_TRACE(rate);
    // The ends fade in and out over about a frame; the middle is checked.
    const std::vector<std::uint8_t> steady(4096, 168);
    const std::vector<std::uint8_t> level = resampled(resampler, steady, rate, 0);
    for (std::size_t i = 200; i + 400 < level.size(); ++i) {
      ASSERT_NEAR(level[i], 168, 1) << i;
    }

    for (double period : {100.0, 32.0, 12.8, 4.0, 3.0}) {
      SCOPED_TRACE(period);
      std::vector<std::uint8_t> tone(8192);
      for (std::size_t i = 0; i < tone.size(); ++i) {
        tone[i] = static_cast<std::uint8_t>(128 + 100 * std::sin(2 * std::numbers::pi * i / period));
      }
      const std::vector<std::uint8_t> out = resampled(resampler, tone, rate, 0);
      const std::size_t from = 500, to = out.size() - 1000;
      int crossings = 0;
      for (std::size_t i = from; i < to; ++i) crossings += (out[i] >= 128) != (out[i + 1] >= 128);
      const auto [low, high] = std::minmax_element(out.begin() + from, out.begin() + to);
      const double frequency = rate / period;
      if (frequency < kTargetRate / 2 * 0.9) {
        const double expected = 2.0 * (to - from) * frequency / kTargetRate;
        EXPECT_NEAR(crossings, expected, expected * 0.01 + 2);
        EXPECT_NEAR(*low, 28, 3);
        EXPECT_NEAR(*high, 228, 3);
      } else if (frequency > kTargetRate / 2 * 1.1) {
        EXPECT_GE(*low, 127);
        EXPECT_LE(*high, 129);
      }
    }
  }
}

TEST(SpectralResampler, OvershootIsClampedToTheByteRange) {
  SpectralResampler resampler;
  // A full-scale square wave: its band-limited resynthesis overshoots both
  // ends of the range.
  std::vector<std::uint8_t> square(4096);
  for (std::size_t i = 0; i < square.size(); ++i) square[i] = (i / 64) % 2 ? 255 : 0;
  for (double rate : kVariantSourceRate) {
    SCOPED_TRACE(rate);
    const std::vector<std::uint8_t> out = resampled(resampler, square, rate, 0);
    EXPECT_GT(std::count(out.begin(), out.end(), 0), 100);
    EXPECT_GT(std::count(out.begin(), out.end(), 255), 100);
    ASSERT_EQ(out, reference::spectralResample(square.data(), square.size(), rate, 0));
  }
}

TEST(SpectralResampler, LongestSampleFits) {
  SpectralResampler resampler;
  const std::size_t longest = SpectralResampler::kCapacity - SpectralResampler::kAccumulatorMargin;
  EXPECT_TRUE(SpectralResampler::fits(longest));
  EXPECT_FALSE(SpectralResampler::fits(longest + 1));
  EXPECT_FALSE(SpectralResampler::fits(SpectralResampler::kCapacity));

  // Silence up to a burst at the very end, so that the frames that reach
  // furthest into both arrays do real work (and the silent ones stay fast).
  std::vector<std::uint8_t> src(longest, 128);
  const std::vector<std::uint8_t> burst = randomSample(3000, 23);
  std::copy(burst.begin(), burst.end(), src.end() - burst.size());
  for (double rate : {kTargetRate, kVariantSourceRate[0]}) {
    SCOPED_TRACE(rate);
    const std::vector<std::uint8_t> out = resampled(resampler, src, rate, longest - 1000);
    ASSERT_EQ(out.size(), SpectralResampler::outputLength(longest, rate));
    const std::size_t silentPart = out.size() - 5000;
    EXPECT_EQ(std::count(out.begin(), out.begin() + silentPart, 128), silentPart);
    EXPECT_GT(std::count_if(out.begin() + silentPart, out.end(), [](std::uint8_t b) { return b != 128; }),
              1000);
  }
}

TEST(SpectralResampler, RefusalsWriteNothing) {
  SpectralResampler resampler;
  const std::size_t tooLong = SpectralResampler::kCapacity - SpectralResampler::kAccumulatorMargin + 1;
  const std::vector<std::uint8_t> big(tooLong, 100);
  const std::vector<std::uint8_t> src = randomSample(1000, 5);
  const double rate = kVariantSourceRate[0];
  const std::size_t outLen = SpectralResampler::outputLength(1000, rate);
  struct Case {
    const char* what;
    const std::uint8_t* src;
    std::size_t len;
    double rate;
    std::size_t loopStart;
    std::size_t outSize;
  };
  const Case cases[] = {
      {"no source", nullptr, 1000, rate, 0, outLen},
      {"empty source", src.data(), 0, rate, 0, outLen},
      {"too long", big.data(), tooLong, rate, 0, 2 * tooLong},
      {"loop start at the end", src.data(), 1000, rate, 1000, outLen},
      {"loop start past the end", src.data(), 1000, rate, 5000, outLen},
      {"out one byte short", src.data(), 1000, rate, 0, outLen - 1},
      {"rate below the target rate", src.data(), 1000, 11150.0, 0, 2 * outLen},
      {"rate not a number", src.data(), 1000, std::nan(""), 0, 2 * outLen},
      {"infinite rate", src.data(), 1000, INFINITY, 0, 2 * outLen},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::uint8_t> out(c.outSize, kUntouched);
    EXPECT_FALSE(resampler.resample(c.src, c.len, c.rate, c.loopStart, out));
    EXPECT_EQ(std::count(out.begin(), out.end(), kUntouched), static_cast<std::ptrdiff_t>(c.outSize));
  }
  EXPECT_EQ(SpectralResampler::outputLength(1000, 11150.0), 0u);
}

TEST(SampleVariants, Constants) {
  // Variant 2's source rate is one unit in the last place above the double
  // nearest to 22203.152892; its ratio is not 22203.152892 / 11151 but the
  // source rate's. The two resamplers thus agree on every variant's pitch.
  EXPECT_EQ(kVariantSourceRate[1], std::nextafter(22203.152892, INFINITY));
  EXPECT_NE(kVariantRatio[1], 22203.152892 / kTargetRate);
  for (std::size_t v = 0; v < kVariantCount; ++v) {
    EXPECT_EQ(kVariantRatio[v], kVariantSourceRate[v] / kTargetRate) << v;
  }
}

}  // namespace
}  // namespace kvtram
