#include "samples/sample_variants.h"

#include <cmath>

#include "samples/libm.h"

namespace kvtram {

int variantOfPitch(int pitch, bool highQuality) {
  if (pitch <= 128) return 1;
  if (pitch <= 186) return highQuality ? 2 : 3;
  return 3;
}

int pitchIndex(int pitch, int variant) {
  if (pitch == 0) return 0;
  double q = variant == 1   ? pitch / 128.0
             : variant == 2 ? pitch / 128.0 / 1.41421356
                            : pitch / 256.0;
  int index = static_cast<int>(95.5 + libm::log(q) / std::log(1.0594631));
  if (variant == 1 && index < 0) index = 0;
  return index;
}

}  // namespace kvtram
