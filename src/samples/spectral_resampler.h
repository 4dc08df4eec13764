// Resampling of a sample variant by analysis and resynthesis.
//
// The source, taken to be recorded at the variant's source rate R, is cut
// into frames of 256 samples that overlap by half (hop 128), each weighted by
// a triangular window. For every frame the magnitude and phase of the
// frequency bins 0 .. kmax are measured, kmax being the bin nearest to the
// Nyquist frequency of the 11151 Hz target rate, and for each bin a sine of
// that magnitude and phase is added into the output at the target rate, over
// the stretch of output that the frame covers (two frames' worth, so that
// neighbouring frames cross-fade). Higher bins are dropped, which is what
// keeps the variant free of aliasing.
//
// The source is analysed behind 256 zeros and followed by a tail of 1088
// samples, the loop played on from its start or silence, so that the output
// also holds the variant's continuation.
//
// Frames are independent up to the moment they add into the output: only
// the order of those additions (frame by frame, bin by bin, sample by
// sample) fixes the rounding. A resampler with worker threads therefore cuts
// the frames into runs, computes the runs on its threads at once and keeps
// that order: a run adds directly only into the output entries no earlier
// run reaches; its contributions to the entries where it overlaps the runs
// before it are kept aside and added once all runs are done, run by run.
// The bytes are the same for every number of threads.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>
#include <memory>
#include <vector>

namespace kvtram {

// One resampler is built once and reused for every variant: its analysis
// input, its accumulator, its trigonometric tables and the buffers of its
// runs are allocated, and its worker threads started, in the constructor;
// resample() allocates nothing and starts no thread. The arrays are not
// initialised: every entry is written by a call before that call reads it,
// so their memory is touched only as far as the samples reach (the tables
// only as far as their bins).
// The destructor stops and joins the workers.
//
// A resampler is used by one thread at a time (each conversion workspace
// owns one). resample() cuts its work into runs and computes them itself,
// while its workers take the runs it has not taken yet: a worker that gets
// no core takes nothing, the calling thread never spins, and no run is
// computed twice. resample() returns once
// every run is done; between calls the workers sleep.
class SpectralResampler {
 public:
  // Entries of the analysis input and of the accumulator.
  static constexpr std::size_t kCapacity = 1048576;
  static constexpr std::size_t kFrameLength = 256;
  static constexpr std::size_t kHop = 128;
  static constexpr std::size_t kLeadingZeros = 256;
  static constexpr std::size_t kTailLength = 1088;
  // Accumulator entries cleared beyond the source length.
  static constexpr std::size_t kAccumulatorMargin = 1600;
  static constexpr std::size_t kExtraOutput = 208;
  // The highest bin of a frame that can be analysed (its Nyquist bin), the
  // one a source rate equal to the target rate asks for.
  static constexpr std::size_t kMaxBin = 128;

  // At most this many worker threads besides the calling one.
  static constexpr std::size_t kMaxWorkerThreads = 7;

  // 1 when the machine runs at least two threads at once, else 0.
  static std::size_t defaultWorkerThreads();

  // workerThreads: the threads that help the calling one, capped at
  // kMaxWorkerThreads. 0 when every core already has work of its own (one
  // conversion per core, say): resample() then does all the work itself,
  // with no thread and no cutting into runs. If the system refuses to start
  // a thread, the resampler works with those it has (workerThreads() tells
  // how many).
  //
  // analysis: the vector instructions the analysis uses. Best takes AVX where
  // the processor has it; Sse2 keeps to what every x86-64 processor has (so
  // that tests can compare the two: the bytes are the same).
  enum class Analysis { Best, Sse2 };
  explicit SpectralResampler(std::size_t workerThreads = defaultWorkerThreads(),
                             Analysis analysis = Analysis::Best);
  ~SpectralResampler();
  SpectralResampler(const SpectralResampler&) = delete;
  SpectralResampler& operator=(const SpectralResampler&) = delete;

  std::size_t workerThreads() const { return workers_.size(); }

  // The sin() calls the last resample() made (what the benchmarks weigh the
  // resampler's time against).
  std::size_t sineCalls() const;

  // Source rates at least the target rate (and finite). Lower rates would
  // ask for bins above the frame's Nyquist bin and write the accumulator
  // beyond what is cleared for the source.
  static bool supportsRate(double rate);

  // The bytes resample() writes for len source samples at a supported rate:
  // trunc(len x 11151.0 / rate + 0.5) + 208. 0 for an unsupported rate (or
  // an absurd len).
  static std::size_t outputLength(std::size_t len, double rate);

  // Whether len source samples fit the analysis input (256 + len + 1088
  // entries) and the accumulator (len + 1600 entries).
  static bool fits(std::size_t len);

  // For a supported rate: the highest bin analysed, trunc(1427328.0 / rate
  // + 0.5); the output samples each frame synthesises, trunc(2854656.0 / rate
  // + 0.5); and the output samples that stand for the 256 leading zeros and
  // are skipped, trunc(2854656.0 / rate). 0 for an unsupported rate.
  static std::size_t highestBin(double rate);
  static std::size_t samplesPerFrame(double rate);
  static std::size_t outputShift(double rate);

  // Resamples len bytes at src (unsigned, 128 = silence) recorded at `rate`
  // and writes outputLength(len, rate) bytes into out from index 0. loopStart
  // is the offset of the loop within the source, 0 for none. Returns false
  // and writes nothing when src is null, len is 0 or does not fit, the rate
  // is not supported, loopStart is not 0 and not inside the source, or out
  // is too small.
  bool resample(const std::uint8_t* src, std::size_t len, double rate, std::size_t loopStart,
                std::span<std::uint8_t> out);

  // A budget of source samples for the callers that want to bound the work
  // (placeSamples refills it once per song and leaves the variants beyond it
  // to the linear resampler). Unbounded unless a limit is set: only builds
  // that run many times slower (the fuzz targets' instrumented build) set one.
  void setWorkLimit(std::size_t samples) { workLimit_ = workLeft_ = samples; }
  void refillWork() { workLeft_ = workLimit_; }
  // Takes len samples of the budget; false (taking nothing) when they are
  // not left.
  bool takeWork(std::size_t len) {
    if (len > workLeft_) return false;
    workLeft_ -= len;
    return true;
  }

 private:
  // Bins are analysed in blocks of kBinBlock; the tables have a column per
  // bin 0 .. kMaxBin, padded to whole blocks.
  static constexpr std::size_t kBinBlock = 8;
  static constexpr std::size_t kTableStride = (kMaxBin + kBinBlock) / kBinBlock * kBinBlock;
  static constexpr std::size_t kTableAlignment = kBinBlock * sizeof(double);
  // Frames analysed at once, each table entry read once for all of them.
  static constexpr std::size_t kAnalysisBatch = 3;

  // Frames start at multiples of kHop below the analysis input's capacity.
  static constexpr std::size_t kMaxFrames = kCapacity / kHop;
  // Runs per thread: more than one, so that a thread that gets its core late
  // (or runs cheap frames) leaves its share to the others.
  static constexpr std::size_t kRunsPerThread = 4;
  static constexpr std::size_t kMaxRuns = kRunsPerThread * (kMaxWorkerThreads + 1);
  // A run is not cut shorter than this many frames that do work.
  static constexpr std::size_t kMinRunFrames = 4;
  // What one run can keep aside: products for this many frames, at most one
  // frame's worth of (bin, sample) pairs in all. Overlaps are at most about
  // half a frame at the usual rates; a cut that would need more is not made.
  static constexpr std::size_t kMaxAsideFrames = 4;
  static constexpr std::size_t kAsideCapacity = (kMaxBin + 1) * kFrameLength;

  // Where a frame lands in the accumulator: its first entry j0, the phase
  // offset of that entry, and the frame samples m in [mBegin, mEnd) that
  // reach the output.
  struct Place {
    std::size_t j0;
    double offset;
    std::size_t mBegin;
    std::size_t mEnd;
  };

  // A run of the frames that do work, activeFrames_[begin .. end). Its
  // samples that land below asideLimit are added later, from its aside
  // buffer; asideFrames counts the frames that put products there.
  struct Run {
    std::size_t begin;
    std::size_t end;
    std::size_t asideLimit;
    std::size_t asideFrames;
    std::size_t sineCalls;
  };

  // A frame's products kept aside: `bins` blocks of (mSplit - mBegin)
  // products each, for entries j0 + mBegin .. j0 + mSplit - 1, in bin order.
  struct AsideFrame {
    std::size_t j0;
    std::size_t mBegin;
    std::size_t mSplit;
    std::size_t bins;
  };

  // The analysis sums of one frame: its bins' cosine and sine sums.
  struct FrameSums {
    std::array<double, kTableStride> cosines;
    std::array<double, kTableStride> sines;
  };

  struct TableDelete {
    void operator()(double* table) const;
  };
  using Table = std::unique_ptr<double[], TableDelete>;
  static Table allocateTable();

  // The entries of the aside buffers for this many workers.
  static std::size_t asideEntries(std::size_t workerThreads);

  // The parts of resample(), in their order.
  void prepareTables(std::size_t bins);
  void fillInput(const std::uint8_t* src, std::size_t len, std::size_t loopStart);
  bool listActiveFrames(std::size_t total, std::size_t& activeCount);
  void computeRuns();
  void writeOutput(std::size_t shift, std::size_t outLen, std::span<std::uint8_t> out) const;

  static std::size_t tableIndex(std::size_t k, std::size_t n) {
    return (k / kBinBlock) * (kFrameLength * kBinBlock) + n * kBinBlock + k % kBinBlock;
  }
  Place place(std::size_t s) const;
  bool silentFrame(std::size_t s) const;
  // Whether a run starting at activeFrames_[begin] with the given aside
  // limit would fit its aside buffer.
  bool asideFits(std::size_t begin, std::size_t activeCount, std::size_t limit) const;
  void planRuns(std::size_t activeCount);
  // The parts of a run: the bins' cosine and sine sums of `count` (1 ..
  // kAnalysisBatch) frames, then frame by frame each bin's sines added into
  // the accumulator.
  void runFrames(std::size_t run);
  void analyseFrames(const std::size_t* frames, std::size_t count, FrameSums* sums) const;
  // Returns the bins that added anything; counts the sin() calls.
  std::size_t synthesiseFrame(const Place& at, std::size_t mSplit, const double* cosSum,
                              const double* sinSum, double*& aside, std::size_t& sineCalls);
  // Takes runs of the current call and computes them until none is left.
  void shareRuns();
  void workerLoop();
  void addAsides();

  std::unique_ptr<double[]> input_;        // X: zeros, source - 128, tail
  std::unique_ptr<double[]> accumulator_;  // Y: output at the target rate, halved
  // cos and sin of the analysis angle of bin k at frame position n, stored
  // block by block of kBinBlock bins, and within a block at [n * kBinBlock +
  // k mod kBinBlock]: a block's analysis reads its part of the tables from
  // start to end. The first tableColumns_ columns are filled in.
  Table cosTable_;
  Table sinTable_;
  std::size_t tableColumns_ = 0;
  std::array<double, kFrameLength> window_{};
  bool avx_;  // the processor has AVX: the analysis uses it
  std::size_t workLimit_ = SIZE_MAX;
  std::size_t workLeft_ = SIZE_MAX;

  // The current call, set before the runs are handed out.
  double rate_ = 0.0;
  std::size_t bins_ = 0;
  std::array<double, kTableStride> binSteps_{};  // phase advance per output sample
  std::size_t cnt_ = 0;
  std::size_t firstUsed_ = 0;
  std::size_t endUsed_ = 0;
  std::unique_ptr<std::size_t[]> activeFrames_;  // indices of the frames that do work
  std::vector<Run> runs_;
  std::size_t runCount_ = 0;
  // Run r > 0 keeps aside into block r - 1 of these.
  std::unique_ptr<double[]> asideProducts_;
  std::vector<AsideFrame> asideFrames_;

  // Hand-out of the runs: guarded by mutex_. The fields of the current call
  // above are written only while no run is out.
  std::mutex mutex_;
  std::condition_variable wake_;  // a call has runs to share, or stop
  std::condition_variable done_;  // the last run of a call is finished
  std::uint64_t call_ = 0;        // counts the calls that shared runs
  std::size_t sharedRuns_ = 0;    // runs of the call last handed out
  std::size_t nextRun_ = 0;
  std::size_t runsPending_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace kvtram
