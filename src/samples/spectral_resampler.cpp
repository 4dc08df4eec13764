#include "samples/spectral_resampler.h"
#include "samples/libm.h"
#include "samples/sample_variants.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <system_error>

namespace kvtram {

namespace {

// The constants of the method, with exactly these digits: the output must
// come out the same byte for byte.
constexpr double kTwoPi = 6.2831853071796;
constexpr double kQuarterTurn = 1.5707963267949;      // phase offset, cosine sum >= 0
constexpr double kThreeQuarterTurn = 4.7123889803847;  // phase offset, cosine sum < 0
constexpr double kVerticalRatio = 4294967295.0;        // -sin/cos when the cosine sum is 0
constexpr double kFrameScale = 256.0;
constexpr double kWindowDivisor = 127.0;
constexpr double kTarget = kTargetRate;
constexpr double kHalfFrameAtTarget = 128.0 * kTargetRate;  // 1427328, exact
constexpr double kFrameAtTarget = 256.0 * kTargetRate;      // 2854656, exact
static_assert(kHalfFrameAtTarget == 1427328.0 && kFrameAtTarget == 2854656.0);

// Counts computed in double precision are converted only below this bound.
constexpr double kMaxCount = 9007199254740992.0;  // 2^53

// The analysis sums of `blocks` blocks of kBlock bins over kFrames frames at
// once; a block's tables hold its bins' values for n = 0 .. 255, kBlock at a
// time. The sums of a block stay in registers, kLanes bins to a vector, and
// every table entry loaded serves all the frames. Every bin's sums take their
// terms in the order n = 0 .. 255, and vectors multiply and add lane by lane,
// so the sums are those of one bin and one frame at a time.
template <typename Vector, std::size_t kLanes, std::size_t kBlock, std::size_t kFrames>
inline __attribute__((always_inline)) void sumBlocks(std::size_t blocks,
                                                     const double* const* windowed,
                                                     const double* cosTable,
                                                     const double* sinTable, double* const* cosSum,
                                                     double* const* sinSum) {
  constexpr std::size_t kVectors = kBlock / kLanes;
  constexpr std::size_t kFrame = 256;
  for (std::size_t block = 0; block < blocks; ++block) {
    Vector c[kFrames][kVectors] = {};
    Vector sn[kFrames][kVectors] = {};
    const double* cosRow = cosTable + block * kFrame * kBlock;
    const double* sinRow = sinTable + block * kFrame * kBlock;
    for (std::size_t n = 0; n < kFrame; ++n) {
      Vector cosines[kVectors];
      Vector sines[kVectors];
      for (std::size_t v = 0; v < kVectors; ++v) {
        std::memcpy(&cosines[v], cosRow + v * kLanes, sizeof(Vector));
        std::memcpy(&sines[v], sinRow + v * kLanes, sizeof(Vector));
      }
      for (std::size_t f = 0; f < kFrames; ++f) {
        Vector xn;
        for (std::size_t lane = 0; lane < kLanes; ++lane) xn[lane] = windowed[f][n];
        for (std::size_t v = 0; v < kVectors; ++v) {
          c[f][v] = c[f][v] + cosines[v] * xn;
          sn[f][v] = sn[f][v] + sines[v] * xn;
        }
      }
      cosRow += kBlock;
      sinRow += kBlock;
    }
    for (std::size_t f = 0; f < kFrames; ++f) {
      for (std::size_t v = 0; v < kVectors; ++v) {
        std::memcpy(cosSum[f] + block * kBlock + v * kLanes, &c[f][v], sizeof(Vector));
        std::memcpy(sinSum[f] + block * kBlock + v * kLanes, &sn[f][v], sizeof(Vector));
      }
    }
  }
}

typedef double TwoBins __attribute__((vector_size(16)));
typedef double FourBins __attribute__((vector_size(32)));

// SSE2, which every x86-64 processor has: one frame at a time, two bins to
// a register (more frames at once would not fit the 16 registers).
void sumBlocksSse2(std::size_t blocks, std::size_t frames, const double* const* windowed,
                   const double* cosTable, const double* sinTable, double* const* cosSum,
                   double* const* sinSum) {
  for (std::size_t f = 0; f < frames; ++f) {
    sumBlocks<TwoBins, 2, 8, 1>(blocks, windowed + f, cosTable, sinTable, cosSum + f, sinSum + f);
  }
}

#if defined(__x86_64__) || defined(__i386__)
#define KVTRAM_ANALYSIS_AVX 1
#include <cpuid.h>
// AVX: three frames at a time, four bins to a register. Chosen at run time
// on processors that have it; it multiplies and adds exactly as SSE2 does
// (no fused multiply-add), so the sums are the same bit for bit.
__attribute__((target("avx"))) void sumBlocksAvx(std::size_t blocks,
                                                 const double* const* windowed,
                                                 const double* cosTable, const double* sinTable,
                                                 double* const* cosSum, double* const* sinSum) {
  sumBlocks<FourBins, 4, 8, 3>(blocks, windowed, cosTable, sinTable, cosSum, sinSum);
}
#endif

// Asked when a resampler is made, not at start-up: a program that resamples
// nothing spends nothing on it (the processor's answer can cost a trip to
// the hypervisor).
bool processorHasAvx() {
#ifdef KVTRAM_ANALYSIS_AVX
  unsigned eax = 0;
  unsigned ebx = 0;
  unsigned ecx = 0;
  unsigned edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
  constexpr unsigned kOsSavesRegisters = 1u << 27;  // OSXSAVE
  constexpr unsigned kAvx = 1u << 28;
  if ((ecx & (kOsSavesRegisters | kAvx)) != (kOsSavesRegisters | kAvx)) return false;
  // The system must save the vector registers' upper halves on a switch.
  unsigned low = 0;
  unsigned high = 0;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  constexpr unsigned kSseAndAvxState = 0x6;
  return (low & kSseAndAvxState) == kSseAndAvxState;
#else
  return false;
#endif
}

// The angle step of bin k within a frame.
double binStep(std::size_t k) { return static_cast<double>(k) * kTwoPi / kFrameScale; }

// An array left uninitialised, as std::make_unique_for_overwrite makes it
// (which the C++ library of the WebAssembly toolchain does not have yet).
template <typename T>
std::unique_ptr<T[]> uninitialisedArray(std::size_t count) {
  return std::unique_ptr<T[]>(new T[count]);
}

}  // namespace

void SpectralResampler::TableDelete::operator()(double* table) const {
  ::operator delete[](table, std::align_val_t{kTableAlignment});
}

SpectralResampler::Table SpectralResampler::allocateTable() {
  // Rows of a block on cache-line bounds: a row is one line.
  return Table(static_cast<double*>(::operator new[](
      kFrameLength * kTableStride * sizeof(double), std::align_val_t{kTableAlignment})));
}

std::size_t SpectralResampler::defaultWorkerThreads() {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  return 0;  // a WebAssembly build without threads has none to lend
#else
  return std::thread::hardware_concurrency() >= 2 ? 1 : 0;
#endif
}

std::size_t SpectralResampler::asideEntries(std::size_t workerThreads) {
  const std::size_t wanted = std::min(workerThreads, kMaxWorkerThreads);
  // Every run but the first may keep products aside.
  return wanted == 0 ? 0 : (kRunsPerThread * (wanted + 1) - 1) * kAsideCapacity;
}

SpectralResampler::SpectralResampler(std::size_t workerThreads, Analysis analysis)
    : input_(uninitialisedArray<double>(kCapacity)),
      accumulator_(uninitialisedArray<double>(kCapacity)),
      cosTable_(allocateTable()),
      sinTable_(allocateTable()),
      avx_(analysis == Analysis::Best && processorHasAvx()),
      activeFrames_(uninitialisedArray<std::size_t>(kMaxFrames)),
      runs_(kMaxRuns),
      asideProducts_(uninitialisedArray<double>(asideEntries(workerThreads))) {
  for (std::size_t i = 0; i < kFrameLength / 2; ++i) {
    const double w = static_cast<double>(i) / kWindowDivisor;
    window_[i] = w;
    window_[kFrameLength - 1 - i] = w;
  }

  const std::size_t wanted = std::min(workerThreads, kMaxWorkerThreads);
  if (wanted == 0) return;
  asideFrames_.resize((kRunsPerThread * (wanted + 1) - 1) * kMaxAsideFrames);
  workers_.reserve(wanted);
  for (std::size_t i = 0; i < wanted; ++i) {
    // A thread the system refuses only leaves more work to the others.
    try {
      workers_.emplace_back([this] { workerLoop(); });
    } catch (const std::system_error&) {
      break;
    }
  }
}

SpectralResampler::~SpectralResampler() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

bool SpectralResampler::supportsRate(double rate) {
  return rate >= kTarget && std::isfinite(rate);
}

std::size_t SpectralResampler::outputLength(std::size_t len, double rate) {
  if (!supportsRate(rate)) return 0;
  const double scaled = static_cast<double>(len) * kTarget / rate + 0.5;
  if (!(scaled < kMaxCount)) return 0;
  return static_cast<std::size_t>(scaled) + kExtraOutput;
}

bool SpectralResampler::fits(std::size_t len) {
  return len <= kCapacity - kLeadingZeros - kTailLength &&
         len <= kCapacity - kAccumulatorMargin;
}

std::size_t SpectralResampler::highestBin(double rate) {
  if (!supportsRate(rate)) return 0;
  return static_cast<std::size_t>(kHalfFrameAtTarget / rate + 0.5);
}

std::size_t SpectralResampler::samplesPerFrame(double rate) {
  if (!supportsRate(rate)) return 0;
  return static_cast<std::size_t>(kFrameAtTarget / rate + 0.5);
}

std::size_t SpectralResampler::outputShift(double rate) {
  if (!supportsRate(rate)) return 0;
  return static_cast<std::size_t>(kFrameAtTarget / rate);
}

void SpectralResampler::prepareTables(std::size_t bins) {
  // Every frame starts its analysis angle at 0.0 and advances it by the same
  // step, so the angles (rounding of each addition included) and their
  // cosines and sines are the same in every frame and for every rate. The
  // columns are filled in whole blocks as calls first need them; the columns
  // past kMaxBin only pad the rows to whole blocks.
  const std::size_t columns = std::min((bins + kBinBlock - 1) / kBinBlock * kBinBlock, kTableStride);
  for (std::size_t k = tableColumns_; k < columns; ++k) {
    const double step = binStep(k);
    double angle = 0.0;
    for (std::size_t n = 0; n < kFrameLength; ++n) {
      cosTable_[tableIndex(k, n)] = libm::cos(angle);
      sinTable_[tableIndex(k, n)] = libm::sin(angle);
      angle = angle + step;
    }
  }
  tableColumns_ = std::max(tableColumns_, columns);
}

SpectralResampler::Place SpectralResampler::place(std::size_t s) const {
  // The frame's place in the output, and the distance of that place from the
  // nearest output sample, by which every bin's phase is moved.
  const double u = static_cast<double>(s) * kTarget / rate_;
  Place at;
  at.j0 = static_cast<std::size_t>(u + 0.5);
  at.offset = u - static_cast<double>(at.j0);
  at.mBegin = at.j0 < firstUsed_ ? std::min(firstUsed_ - at.j0, cnt_) : 0;
  at.mEnd = at.j0 < endUsed_ ? std::min(endUsed_ - at.j0, cnt_) : 0;
  return at;
}

bool SpectralResampler::silentFrame(std::size_t s) const {
  const double* x = input_.get() + s;
  for (std::size_t n = 0; n < kFrameLength; ++n) {
    if (x[n] != 0.0) return false;
  }
  return true;
}

bool SpectralResampler::asideFits(std::size_t begin, std::size_t activeCount,
                                  std::size_t limit) const {
  // The frames that reach below the limit come first (j0 grows with the
  // frame); the count may take in frames of later runs, which only errs on
  // the safe side.
  std::size_t frames = 0;
  std::size_t products = 0;
  for (std::size_t a = begin; a < activeCount; ++a) {
    const Place at = place(activeFrames_[a] * kHop);
    if (at.j0 >= limit) break;
    const std::size_t split = std::min(std::max(limit - at.j0, at.mBegin), at.mEnd);
    if (split == at.mBegin) continue;
    ++frames;
    products += bins_ * (split - at.mBegin);
  }
  return frames <= kMaxAsideFrames && products <= kAsideCapacity;
}

void SpectralResampler::planRuns(std::size_t activeCount) {
  // Runs of about equal numbers of working frames (frames cost about the
  // same), so many per thread that the threads finish close together.
  std::size_t wanted = 1;
  if (!workers_.empty()) {
    wanted = std::min(kRunsPerThread * (workers_.size() + 1), activeCount / kMinRunFrames);
    wanted = std::max<std::size_t>(wanted, 1);
  }
  runs_[0] = Run{0, activeCount, 0, 0, 0};
  runCount_ = 1;
  for (std::size_t r = 1; r < wanted; ++r) {
    const std::size_t begin = r * activeCount / wanted;
    if (begin <= runs_[runCount_ - 1].begin) continue;
    // No frame before the run reaches the accumulator beyond the last one's
    // samples: from there on the run adds directly.
    const std::size_t limit = place(activeFrames_[begin - 1] * kHop).j0 + cnt_;
    // A cut whose overlap would not fit is left out: the run before goes on.
    if (!asideFits(begin, activeCount, limit)) continue;
    runs_[runCount_ - 1].end = begin;
    runs_[runCount_] = Run{begin, activeCount, limit, 0, 0};
    ++runCount_;
  }
}

void SpectralResampler::shareRuns() {
  for (;;) {
    std::size_t run;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (nextRun_ >= sharedRuns_) return;
      run = nextRun_++;
    }
    runFrames(run);
    bool last;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      last = --runsPending_ == 0;
    }
    if (last) done_.notify_one();
  }
}

void SpectralResampler::workerLoop() {
  std::uint64_t seen = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return stopping_ || call_ != seen; });
      if (stopping_) return;
      seen = call_;
    }
    // A worker that wakes late finds no run left of the call it woke for,
    // or takes runs of the next one: runs are only ever taken under the
    // lock, from the call last handed out.
    shareRuns();
  }
}

void SpectralResampler::analyseFrames(const std::size_t* frames, std::size_t count,
                                      FrameSums* sums) const {
  static_assert(kBinBlock == 8, "the analysis kernels sum blocks of 8 bins");
  std::array<double, kFrameLength> windowed[kAnalysisBatch];
  const double* windowedOf[kAnalysisBatch];
  double* cosSum[kAnalysisBatch];
  double* sinSum[kAnalysisBatch];
  for (std::size_t f = 0; f < kAnalysisBatch; ++f) {
    // A short batch repeats its last frame into the unused sums.
    const double* x = input_.get() + frames[std::min(f, count - 1)] * kHop;
    if (f < count) {
      for (std::size_t n = 0; n < kFrameLength; ++n) windowed[f][n] = x[n] * window_[n];
    }
    windowedOf[f] = windowed[std::min(f, count - 1)].data();
    cosSum[f] = sums[f].cosines.data();
    sinSum[f] = sums[f].sines.data();
  }
  // The bins are summed a block at a time (see sumBlocks).
  const std::size_t blocks = (bins_ + kBinBlock - 1) / kBinBlock;
#ifdef KVTRAM_ANALYSIS_AVX
  if (avx_) {
    static_assert(kAnalysisBatch == 3, "the AVX kernel sums three frames at once");
    sumBlocksAvx(blocks, windowedOf, cosTable_.get(), sinTable_.get(), cosSum, sinSum);
    return;
  }
#endif
  sumBlocksSse2(blocks, count, windowedOf, cosTable_.get(), sinTable_.get(), cosSum, sinSum);
}

namespace {

// The synthesis loops: the sines of one bin over samples [0, count), the
// phase advancing by `step` after each. The first keeps the products, the
// second adds them into the accumulator, each product as soon as its sine
// is known. Both return the phase after the last sample.
double keepSines(double* kept, std::size_t count, double phase, double step, double magnitude) {
  for (std::size_t m = 0; m < count; ++m) {
    kept[m] = libm::sin(phase) * magnitude;
    phase = phase + step;
  }
  return phase;
}

double addSines(double* out, std::size_t count, double phase, double step, double magnitude) {
  for (std::size_t m = 0; m < count; ++m) {
    out[m] = out[m] + libm::sin(phase) * magnitude;
    phase = phase + step;
  }
  return phase;
}

}  // namespace

std::size_t SpectralResampler::synthesiseFrame(const Place& at, std::size_t mSplit,
                                               const double* cosSum, const double* sinSum,
                                               double*& aside, std::size_t& sineCalls) {
  // First every bin's magnitude and starting phase: their square roots,
  // divisions and arc tangents then overlap one another instead of each
  // holding up the first sine of its bin.
  struct BinStart {
    std::size_t k;
    double phase;
    double magnitude;
  };
  std::array<BinStart, kTableStride> starts;
  std::size_t live = 0;
  const std::size_t mBegin = at.mBegin;
  for (std::size_t k = 0; k < bins_; ++k) {
    const double cs = cosSum[k];
    const double ss = sinSum[k];
    double magnitude = std::sqrt(cs * cs + ss * ss) / kFrameScale;
    if (k == 0) magnitude = magnitude / 2.0;
    // A silent bin would only add zeros.
    if (magnitude == 0.0) continue;
    const double q = cs == 0.0 ? kVerticalRatio : -ss / cs;
    double phase = libm::atan(q) + (cs < 0.0 ? kThreeQuarterTurn : kQuarterTurn);
    const double step = binSteps_[k];
    phase = at.offset * step + phase;
    for (std::size_t m = 0; m < mBegin; ++m) phase = phase + step;
    starts[live++] = BinStart{k, phase, magnitude};
  }

  // Then the sines, bin by bin. Samples mBegin .. mSplit - 1 go aside (their
  // entries are added later, after earlier runs'), the rest straight into the
  // accumulator.
  double* frameOut = accumulator_.get() + at.j0;
  const std::size_t mEnd = at.mEnd;
  for (std::size_t b = 0; b < live; ++b) {
    const BinStart& bin = starts[b];
    if (bin.k == 0) {
      // Bin 0 does not advance (its step is 0.0): one sine serves all.
      const double v = libm::sin(bin.phase) * bin.magnitude;
      ++sineCalls;
      for (std::size_t m = mBegin; m < mSplit; ++m) *aside++ = v;
      for (std::size_t m = mSplit; m < mEnd; ++m) frameOut[m] = frameOut[m] + v;
    } else {
      const double step = binSteps_[bin.k];
      const double phase = keepSines(aside, mSplit - mBegin, bin.phase, step, bin.magnitude);
      aside += mSplit - mBegin;
      addSines(frameOut + mSplit, mEnd - mSplit, phase, step, bin.magnitude);
      sineCalls += mEnd - mBegin;
    }
  }
  return live;
}

void SpectralResampler::runFrames(std::size_t r) {
  Run& run = runs_[r];
  AsideFrame* asideFrame = r == 0 ? nullptr : &asideFrames_[(r - 1) * kMaxAsideFrames];
  double* aside = r == 0 ? nullptr : asideProducts_.get() + (r - 1) * kAsideCapacity;
  std::size_t asideCount = 0;
  std::size_t sineCalls = 0;
  FrameSums sums[kAnalysisBatch];

  // Frames are analysed a batch at a time and synthesised one by one, in order.
  for (std::size_t a = run.begin; a < run.end; a += kAnalysisBatch) {
    const std::size_t count = std::min(kAnalysisBatch, run.end - a);
    analyseFrames(&activeFrames_[a], count, sums);
    for (std::size_t f = 0; f < count; ++f) {
      const Place at = place(activeFrames_[a + f] * kHop);
      // Samples that land where earlier runs add too are kept aside
      // (asideFits made room for them).
      const std::size_t mSplit =
          at.j0 < run.asideLimit ? std::min(std::max(run.asideLimit - at.j0, at.mBegin), at.mEnd)
                                 : at.mBegin;
      const std::size_t bins = synthesiseFrame(at, mSplit, sums[f].cosines.data(),
                                               sums[f].sines.data(), aside, sineCalls);
      if (mSplit > at.mBegin) asideFrame[asideCount++] = AsideFrame{at.j0, at.mBegin, mSplit, bins};
    }
  }
  run.asideFrames = asideCount;
  run.sineCalls = sineCalls;
}

std::size_t SpectralResampler::sineCalls() const {
  std::size_t calls = 0;
  for (std::size_t r = 0; r < runCount_; ++r) calls += runs_[r].sineCalls;
  return calls;
}

void SpectralResampler::addAsides() {
  // Once every run is done, each run's kept products go in after those of
  // the runs before it, which is where the frame order puts them.
  double* y = accumulator_.get();
  for (std::size_t r = 1; r < runCount_; ++r) {
    const AsideFrame* record = &asideFrames_[(r - 1) * kMaxAsideFrames];
    const double* product = asideProducts_.get() + (r - 1) * kAsideCapacity;
    for (std::size_t f = 0; f < runs_[r].asideFrames; ++f, ++record) {
      double* frameOut = y + record->j0;
      for (std::size_t b = 0; b < record->bins; ++b) {
        for (std::size_t m = record->mBegin; m < record->mSplit; ++m) {
          frameOut[m] = frameOut[m] + *product++;
        }
      }
    }
  }
}

void SpectralResampler::fillInput(const std::uint8_t* src, std::size_t len, std::size_t loopStart) {
  // X: 256 zeros, the source less 128, then the tail.
  double* x = input_.get();
  std::fill_n(x, kLeadingZeros, 0.0);
  for (std::size_t i = 0; i < len; ++i) x[kLeadingZeros + i] = static_cast<int>(src[i]) - 128;
  double* tail = x + kLeadingZeros + len;
  if (loopStart == 0) {
    std::fill_n(tail, kTailLength, 0.0);
  } else {
    const std::size_t loopLen = len - loopStart;
    std::size_t r = 0;  // i mod loopLen
    for (std::size_t i = 0; i < kTailLength; ++i) {
      tail[i] = static_cast<int>(src[loopStart + r]) - 128;
      if (++r == loopLen) r = 0;
    }
  }
}

bool SpectralResampler::listActiveFrames(std::size_t total, std::size_t& activeCount) {
  // Only accumulator entries firstUsed_ .. endUsed_ - 1 reach the output.
  // Frame samples outside them are skipped (their phases still advance by
  // the same additions); so are frames that reach none of them, and silent
  // frames, which have only zero bins and add nothing.
  activeCount = 0;
  for (std::size_t s = 0, frame = 0; s < total; s += kHop, ++frame) {
    const Place at = place(s);
    if (at.mBegin >= at.mEnd || silentFrame(s)) continue;
    if (frame >= kMaxFrames) return false;  // beyond the capacity (cannot happen)
    activeFrames_[activeCount++] = frame;
  }
  return true;
}

void SpectralResampler::computeRuns() {
  if (runCount_ == 1) {
    runFrames(0);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sharedRuns_ = runCount_;
    nextRun_ = 0;
    runsPending_ = runCount_;
    ++call_;
  }
  wake_.notify_all();
  shareRuns();
  {
    // Sleeps until a worker finishes the runs it took; never spins.
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return runsPending_ == 0; });
  }
  addAsides();
}

void SpectralResampler::writeOutput(std::size_t shift, std::size_t outLen,
                                    std::span<std::uint8_t> out) const {
  // The accumulator holds half the output level; the first `shift` entries
  // stand for the leading zeros.
  const double* level = accumulator_.get() + shift;
  for (std::size_t i = 0; i < outLen; ++i) {
    const double t = 2.0 * level[i] + 0.5;
    int v;
    if (t >= 128.0) {
      v = 127;
    } else if (t > -129.0) {
      v = static_cast<int>(t);  // toward zero
    } else {
      v = -128;
    }
    out[i] = static_cast<std::uint8_t>(v + 128);
  }
}

bool SpectralResampler::resample(const std::uint8_t* src, std::size_t len, double rate,
                                 std::size_t loopStart, std::span<std::uint8_t> out) {
  if (src == nullptr || len == 0 || !fits(len) || !supportsRate(rate)) return false;
  if (loopStart != 0 && loopStart >= len) return false;
  const std::size_t outLen = outputLength(len, rate);
  if (out.size() < outLen) return false;

  const std::size_t kmax = highestBin(rate);
  const std::size_t cnt = samplesPerFrame(rate);
  const std::size_t shift = outputShift(rate);
  const std::size_t cleared = len + kAccumulatorMargin;
  // At a supported rate kmax <= 128 and cnt <= 256, and the output reads at
  // most len + 464 accumulator entries; checked all the same before anything
  // is written. Frames write only entries that the output reads, so every
  // access stays within the cleared part.
  if (kmax > kMaxBin || cnt > kFrameLength || shift + outLen > cleared) return false;

  rate_ = rate;
  bins_ = kmax + 1;
  cnt_ = cnt;
  firstUsed_ = shift;
  endUsed_ = shift + outLen;
  prepareTables(bins_);
  for (std::size_t k = 0; k < bins_; ++k) {
    // The bin's phase advance per output sample, evaluated left to right.
    binSteps_[k] = static_cast<double>(k) * kTwoPi / kFrameScale / kTarget * rate_;
  }
  fillInput(src, len, loopStart);
  std::fill_n(accumulator_.get(), cleared, 0.0);
  std::size_t activeCount = 0;
  if (!listActiveFrames(len + kTailLength, activeCount)) return false;
  planRuns(activeCount);
  computeRuns();
  writeOutput(shift, outLen, out);
  return true;
}

}  // namespace kvtram
