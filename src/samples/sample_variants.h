// The three pitch variants in which every sample is stored, the one rate the
// player plays all of them at, and the arithmetic that picks a note's variant
// and its pitch index within it.
//
// Each variant is the sample transposed to one pitch range. The linear
// resampler steps through the source by the variant's ratio (source samples
// per output sample); the spectral resampler instead treats the source as
// recorded at the variant's source rate and resynthesises it at the target
// rate. The values are the format's own constants, digit for digit: the
// ratio of variant 2 is deliberately not 22203.152892 / 11151, and its source
// rate is the double one unit in the last place above 22203.152892.
#pragma once

#include <cstddef>

namespace kvtram {

inline constexpr double kTargetRate = 11151.0;

inline constexpr std::size_t kVariantCount = 3;

// Index 0 is variant 1 (mid), 1 is variant 2 (mid-high), 2 is variant 3 (high).
inline constexpr double kVariantRatio[kVariantCount] = {
    1.407945475742086, 1.9911355835351092, 2.815890951484172};

inline constexpr double kVariantSourceRate[kVariantCount] = {
    15700.0, 22203.152892000002, 31400.0};

// The variant (1-3) that a pitch byte needs: up to 128 the mid variant, up to
// 186 the mid-high one when `highQuality` (else the high one), above the high one.
int variantOfPitch(int pitch, bool highQuality);

// The note's pitch index in its variant (95 stands for the variant's own pitch,
// one step per semitone); may exceed 95 for a pitch the variant cannot play.
int pitchIndex(int pitch, int variant);

}  // namespace kvtram
