// Fuzz target: the image decoder and the `kvtram dump` listing on raw bytes.
// The listing lists every command once, so it stays within a fixed number of
// bytes per byte of the image.
#include <ostream>
#include <span>
#include <streambuf>

#include "cli/commands.h"
#include "fuzz/fuzz_support.h"

using namespace kvtram;

namespace {

// Counts what is written and keeps nothing.
struct CountingBuffer : std::streambuf {
  std::size_t count = 0;
  int overflow(int c) override {
    ++count;
    return c;
  }
  std::streamsize xsputn(const char*, std::streamsize n) override {
    count += static_cast<std::size_t>(n);
    return n;
  }
};

// The longest line of a listing is well under 200 bytes; the header and bank
// 0 add a fixed part (512 waves and 606 table entries at most).
constexpr std::size_t kListingBytesPerImageByte = 200;
constexpr std::size_t kFixedListingBytes = 256 * 1024;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CountingBuffer listing;
  CountingBuffer errors;
  std::ostream out(&listing);
  std::ostream err(&errors);
  const std::span<const std::uint8_t> file(data, size);
  const int waveCount = size > 0 ? data[size - 1] % 4 - 1 : -1;  // inferred, or 0-2 as given
  const int status = dumpImage(file, "image.trm", waveCount, out, err);
  fuzz::check(status == kExitOk || status == kExitFileFailed, "dump exit status " + std::to_string(status));
  fuzz::check(listing.count <= kFixedListingBytes + kListingBytesPerImageByte * size,
              "listing of " + std::to_string(listing.count) + " bytes for an image of " + std::to_string(size));
  return 0;
}
