#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/workspace.h"

#include <sys/stat.h>
#include <unistd.h>

namespace kvtram::fuzz {

namespace {

namespace fs = std::filesystem;

// Made on first use, removed with what is in it when the process ends.
class WorkFolder {
 public:
  WorkFolder() : path_((fs::temp_directory_path() / ("kvtram-fuzz-" + std::to_string(::getpid()))).string()) {
    fs::create_directories(path_);
  }
  ~WorkFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const std::string& workFolder() {
  static const WorkFolder folder;
  return folder.path();
}

// A FIFO nobody writes to: opening it for reading blocks unless the opener
// takes care not to.
void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size, bool fifo) {
  std::error_code ignored;
  fs::remove(path, ignored);
  if (fifo) {
    check(::mkfifo(path.c_str(), 0600) == 0, "mkfifo " + path);
    return;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  check(static_cast<bool>(out), "write " + path);
}

}  // namespace

std::unique_ptr<Workspace> makeWorkspace() {
  auto workspace = std::make_unique<Workspace>(0);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  workspace->interpreter.work.setLimit(kFuzzWorkBytes);
  workspace->spectral.setWorkLimit(kFuzzSpectralSamples);
#endif
  return workspace;
}

SongInput splitInput(const std::uint8_t* data, std::size_t size) {
  std::uint8_t head[5] = {0, 0x11, 1, 0, 0};
  for (std::size_t i = 0; i < 5 && i < size; ++i) head[i] = data[i];
  const std::size_t rest = size > 5 ? size - 5 : 0;
  const std::uint8_t* body = data + (size > 5 ? 5 : size);
  const std::size_t songBytes = std::min<std::size_t>(head[3] | (head[4] << 8), rest);

  SongInput in;
  ConversionOptions& o = in.options;
  o.useSccI = head[0] & 1;
  o.strictMid = head[0] & 2;
  o.strictMidHigh = head[0] & 4;
  o.strictHigh = head[0] & 8;
  o.highQuality = head[0] & 16;
  o.psgVolumeReduction = head[1] & 15;
  o.fmVolumeReduction = head[1] >> 4;
  o.loopCount = 1 + head[2] % 15;
  in.music = {body, songBytes};
  in.samples = {body + songBytes, rest - songBytes};
  in.samplesAreFifo = head[0] & 32;
  in.musicIsFifo = head[0] & 64;
  return in;
}

StagedSong stageSong(const std::uint8_t* data, std::size_t size) {
  const SongInput in = splitInput(data, size);
  StagedSong staged;
  staged.options = in.options;
  const std::string folder = workFolder();
  staged.songPath = folder + "/song.kv";
  staged.imagePath = folder + "/song.trm";
  writeFile(staged.songPath, in.music.data(), in.music.size(), in.musicIsFifo);
  writeFile(folder + "/S.kvp", in.samples.data(), in.samples.size(), in.samplesAreFifo);
  std::error_code ignored;
  fs::remove(staged.imagePath, ignored);
  return staged;
}

bool fileExists(const std::string& path) { return fs::exists(path); }

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void fail(const std::string& what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace kvtram::fuzz
