// Runs a fuzz target's entry point over corpus files without libFuzzer, so
// that an ordinary build (and CTest) replays the regression corpus. Arguments
// are files or folders (every file in a folder, in name order). Prints the
// number of inputs and the slowest one with its processor time; with
// --times first, each input's processor time and path instead (what the
// corpus renewal weighs inputs by).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

double processorSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  const bool times = argc > 1 && std::string(argv[1]) == "--times";
  for (int i = times ? 2 : 1; i < argc; ++i) {
    fs::path arg = argv[i];
    if (fs::is_directory(arg)) {
      for (const auto& entry : fs::directory_iterator(arg)) {
        if (entry.is_regular_file()) inputs.push_back(entry.path());
      }
    } else if (fs::is_regular_file(arg)) {
      inputs.push_back(arg);
    } else {
      std::fprintf(stderr, "%s: no such file or folder\n", argv[i]);
      return 2;
    }
  }
  std::sort(inputs.begin(), inputs.end());
  double slowest = 0;
  std::string slowestName;
  for (const fs::path& path : inputs) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const double start = processorSeconds();
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    const double spent = processorSeconds() - start;
    if (times) std::printf("%.4f %s\n", spent, path.string().c_str());
    if (spent > slowest) {
      slowest = spent;
      slowestName = path.string();
    }
  }
  if (!times) std::printf("%zu inputs; slowest %.3f s of processor time: %s\n", inputs.size(), slowest, slowestName.c_str());
  return inputs.empty() ? 1 : 0;
}
