// How big a song's image is and where its bytes go: measured by the very
// passes that build the image, so it is the size of the image written.
#pragma once

#include <string>
#include <vector>

#include "image/sample_layout.h"

namespace kvtram {

struct ImagePart {
  enum class Kind { Samples, PsgStream, FmStream, PcmChannel };
  Kind kind;
  int channel = 0;  // PcmChannel: from 0
  int start = 0;    // image addresses
  int end = 0;      // where the next part starts (or the image ends)
};

struct SizeReport {
  std::vector<PlacedVariant> variants;  // the used variants, in placement order
  std::vector<ImagePart> parts;         // in image order, one after the other
  int end = 0;                          // the image address after the last byte

  void clear() {
    variants.clear();
    parts.clear();
    end = 0;
  }
  long imageBytes() const;  // the image file's size: header + banks in use
  int banks() const;        // banks in use, bank 0 included
  long freeBytes() const;   // left of the 256 banks (negative: beyond them)
};

// How every listing names a PCM channel (`channel` from 0): "PCM channel 1"
// for the first, as the size report, `info` and `dump` count them.
std::string pcmChannelName(int channel);

// The report as indented lines in the user's language (each ending in "\n"): total, each
// variant and part, the free space, or which part goes beyond the 256 banks
// and by how much.
std::string describeSize(const SizeReport& report, const std::string& indent);

}  // namespace kvtram
