// A temporary folder for one test, removed with everything in it afterwards.
// Names and paths are as the program takes them: UTF-8 on Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvtram {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // Writes a file into the folder and returns its full path.
  std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) const;
  std::vector<std::uint8_t> read(const std::string& name) const;
  bool exists(const std::string& name) const;

 private:
  std::string path_;
};

// A name that a song's header holds in Shift-JIS, as the file system here
// spells it: Windows names files in Unicode (`utf8`), other systems in bytes,
// where the header's bytes are the name.
std::string fileNameHere(const std::string& shiftJis, const std::string& utf8);

}  // namespace kvtram
