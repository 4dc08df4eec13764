#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace kvtram {

namespace {

// Names are UTF-8 here, as in the program; on Windows the narrow file API
// would take them in the system's code page instead.
std::filesystem::path nativePath(const std::string& name) {
#ifdef _WIN32
  return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(name.data()), name.size()));
#else
  return name;
#endif
}

}  // namespace

TempDir::TempDir() {
#ifdef _WIN32
  // No mkdtemp here: a random name, taken only when the folder is new.
  std::random_device random;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    std::filesystem::path candidate = std::filesystem::temp_directory_path() /
                                      ("kvtram-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      const std::u8string name = candidate.u8string();
      path_.assign(name.begin(), name.end());
    }
  }
  if (path_.empty()) throw std::runtime_error("no temporary folder");
#else
  std::string pattern = (std::filesystem::temp_directory_path() / "kvtram-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
#endif
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(nativePath(path_), ignored);
}

std::string TempDir::write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
  std::string full = path_ + "/" + name;
  std::ofstream out(nativePath(full), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return full;
}

std::vector<std::uint8_t> TempDir::read(const std::string& name) const {
  std::ifstream in(nativePath(path_ + "/" + name), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool TempDir::exists(const std::string& name) const {
  return std::filesystem::exists(nativePath(path_ + "/" + name));
}

std::string fileNameHere([[maybe_unused]] const std::string& shiftJis, [[maybe_unused]] const std::string& utf8) {
#ifdef _WIN32
  return utf8;
#else
  return shiftJis;
#endif
}

}  // namespace kvtram
