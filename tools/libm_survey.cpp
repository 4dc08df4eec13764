// How this build's mathematics library computes the sines, cosines, arc
// tangents and logarithms that a conversion takes, so that two builds (the
// native one and the WebAssembly one, say) can be compared call for call:
//   kvtram-libm-survey arguments FILE [SAMPLES]
//     the arguments: the analysis angles of every bin, and the arc tangents
//     and synthesis phases of SAMPLES (default 4) shaped 8 KiB samples at the
//     three source rates, by the step-by-step reference of the spectral
//     method; the logarithms of every pitch ratio of the pitch table
//   kvtram-libm-survey values ARGUMENTS VALUES
//     this build's results for them
//   kvtram-libm-survey compare ARGUMENTS VALUES_A VALUES_B
//     per function: calls, calls whose results differ, the largest difference
//     in units in the last place
// The arguments come from one build (their own values feed the later
// arguments), and both builds evaluate the same ones.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "samples/libm.h"
#include "samples/sample_variants.h"
#include "support/spectral_reference.h"
#include "support/xorshift_random.h"

namespace {

enum Function : std::uint8_t { kSin, kCos, kAtan, kLog, kFunctionCount };
const char* const kFunctionNames[kFunctionCount] = {"sin", "cos", "atan", "log"};

struct Call {
  Function function;
  double argument;
};

bool writeFile(const char* path, const void* data, std::size_t bytes) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(data, 1, bytes, file) == bytes;
  return std::fclose(file) == 0 && written;
}

template <typename T>
bool readFile(const char* path, std::vector<T>& items) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  T item;
  while (std::fread(&item, sizeof item, 1, file) == 1) items.push_back(item);
  std::fclose(file);
  return true;
}

void record(std::vector<Call>& calls, Function function, double argument) {
  calls.push_back({function, argument});
}

int arguments(const char* path, int samples) {
  std::vector<Call> calls;
  // The analysis tables: every bin's angles, advanced by repeated addition.
  for (int k = 0; k <= 128; ++k) {
    const double step = static_cast<double>(k) * 6.2831853071796 / 256.0;
    double angle = 0.0;
    for (int n = 0; n < 256; ++n) {
      record(calls, kCos, angle);
      record(calls, kSin, angle);
      angle = angle + step;
    }
  }
  // The pitch table: every pitch byte in every variant.
  for (int variant = 1; variant <= 3; ++variant) {
    for (int pitch = 1; pitch < 256; ++pitch) {
      record(calls, kLog, variant == 1 ? pitch / 128.0 : variant == 2 ? pitch / 128.0 / 1.41421356 : pitch / 256.0);
    }
  }
  // Arc tangents and synthesis phases of shaped samples.
  for (int i = 0; i < samples; ++i) {
    kvtram::XorshiftRandom random(static_cast<std::uint64_t>(i) + 1, 0x11b);
    std::vector<std::uint8_t> sample(8192);
    int level = 128;
    for (std::uint8_t& byte : sample) {
      level += random.below(9) - 4;
      level = level < 0 ? 0 : level > 255 ? 255 : level;
      byte = static_cast<std::uint8_t>(level);
    }
    for (double rate : kvtram::kVariantSourceRate) {
      kvtram::reference::spectralResample(
          sample.data(), sample.size(), rate, 0,
          [&](std::size_t, int, std::size_t, double p, double, double) { record(calls, kSin, p); },
          [&](double q) { record(calls, kAtan, q); });
    }
  }
  return writeFile(path, calls.data(), calls.size() * sizeof(Call)) ? 0 : 1;
}

double evaluate(const Call& call) {
  switch (call.function) {
    case kSin: return kvtram::libm::sin(call.argument);
    case kCos: return kvtram::libm::cos(call.argument);
    case kAtan: return kvtram::libm::atan(call.argument);
    case kLog: return kvtram::libm::log(call.argument);
    default: return 0.0;
  }
}

int values(const char* argumentsPath, const char* valuesPath) {
  std::vector<Call> calls;
  if (!readFile(argumentsPath, calls)) return 1;
  std::vector<double> results;
  results.reserve(calls.size());
  for (const Call& call : calls) results.push_back(evaluate(call));
  return writeFile(valuesPath, results.data(), results.size() * sizeof(double)) ? 0 : 1;
}

std::int64_t orderedBits(double value) {
  std::int64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits < 0 ? INT64_MIN - bits : bits;
}

int compare(const char* argumentsPath, const char* aPath, const char* bPath) {
  std::vector<Call> calls;
  std::vector<double> a;
  std::vector<double> b;
  if (!readFile(argumentsPath, calls) || !readFile(aPath, a) || !readFile(bPath, b) || a.size() != calls.size() ||
      b.size() != calls.size()) {
    std::fprintf(stderr, "libm-survey: the files do not belong together\n");
    return 2;
  }
  long long count[kFunctionCount] = {};
  long long differing[kFunctionCount] = {};
  long long mostUlps[kFunctionCount] = {};
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const int f = calls[i].function;
    ++count[f];
    if (std::memcmp(&a[i], &b[i], sizeof(double)) == 0) continue;
    ++differing[f];
    const long long ulps = std::llabs(orderedBits(a[i]) - orderedBits(b[i]));
    if (ulps > mostUlps[f]) mostUlps[f] = ulps;
  }
  bool any = false;
  for (int f = 0; f < kFunctionCount; ++f) {
    std::printf("%-5s %10lld calls, %9lld differ (%.4f%%), at most %lld ulp\n", kFunctionNames[f], count[f],
                differing[f], count[f] ? 100.0 * static_cast<double>(differing[f]) / static_cast<double>(count[f]) : 0.0,
                mostUlps[f]);
    any = any || differing[f] != 0;
  }
  return any ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "arguments" && (argc == 3 || argc == 4)) return arguments(argv[2], argc == 4 ? std::atoi(argv[3]) : 4);
  if (command == "values" && argc == 4) return values(argv[2], argv[3]);
  if (command == "compare" && argc == 5) return compare(argv[2], argv[3], argv[4]);
  std::fprintf(stderr,
               "usage: kvtram-libm-survey arguments FILE [SAMPLES]\n"
               "       kvtram-libm-survey values ARGUMENTS VALUES\n"
               "       kvtram-libm-survey compare ARGUMENTS VALUES_A VALUES_B\n");
  return 2;
}
