// kvtram-make-examples OUTDIR: writes the example songs (KV music files and
// their sample files) into OUTDIR. The songs are built from code, so every run
// writes the same bytes.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "support/example_songs.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: kvtram-make-examples OUTDIR\n";
    return 2;
  }
  const std::string folder = argv[1];
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::cerr << folder << " : フォルダを作成できませんでした\n";
    return 1;
  }
  std::vector<std::string> written;
  if (std::string failure = kvtram::writeExampleSongs(folder, &written); !failure.empty()) {
    std::cerr << failure << "\n";
    return 1;
  }
  for (const std::string& path : written) std::cout << path << "\n";
  return 0;
}
