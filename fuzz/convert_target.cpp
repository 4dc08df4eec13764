// Fuzz target: the whole conversion of a song and its sample file, with one
// workspace reused from input to input as a batch reuses it. Every image the
// converter writes must decode; a refused song must leave no image behind.
#include <memory>
#include <span>

#include "app/convert_file.h"
#include "app/workspace.h"
#include "fuzz/fuzz_support.h"
#include "image/trm_decoder.h"

using namespace kvtram;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto workspace = fuzz::makeWorkspace();
  static const auto decoded = std::make_unique<TrmImage>();
  const fuzz::StagedSong song = fuzz::stageSong(data, size);

  const std::string failure = convertFile(*workspace, song.songPath, song.imagePath, song.options);
  if (!failure.empty()) {
    fuzz::check(!fuzz::fileExists(song.imagePath), "an image was written for a refused song: " + failure);
    return 0;
  }
  const std::string image = fuzz::readFile(song.imagePath);
  const std::string decodeFailure = decodeTrm(
      std::span(reinterpret_cast<const std::uint8_t*>(image.data()), image.size()), *decoded);
  fuzz::check(decodeFailure.empty(), "the decoder refuses a written image: " + decodeFailure);
  return 0;
}
