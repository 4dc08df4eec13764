// Resampling of a sample variant by linear interpolation.
//
// The source is a sample's copy in the sample store: unsigned 8-bit, 128 is
// silence. Before reading it, the resampler writes a 576-byte tail behind the
// sample (the loop played on from its start, or silence), so that the reads
// past the sample's end, which make up the variant's continuation, find the
// right data. It then steps through the store by the variant's ratio (source
// samples per output sample) and writes L + 208 output samples, L being the
// variant's scaled length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kvtram {

// Bytes written behind the sample before it is read.
inline constexpr std::size_t kLinearTailBytes = 576;

// Output samples produced beyond the scaled length: the 200 of the variant's
// continuation and 8 that are never placed.
inline constexpr std::size_t kLinearExtraOutput = 208;

// The scaled length L of a sample of srcLen bytes: srcLen / ratio truncated.
// Returns 0 for a ratio that is not positive and finite.
std::size_t linearOutputLength(std::size_t srcLen, double ratio);

// The highest store index + 1 that linearResample touches for these
// arguments: the end of the tail or, when the ratio is large, the last
// interpolation read, which can lie a few bytes past the tail. The read
// position is accumulated exactly as the resampler does (one addition per
// output sample), so the result is exact. Returns SIZE_MAX when no store can
// serve the request (ratio not positive and finite, sizes that overflow).
std::size_t linearStoreExtent(std::size_t srcPos, std::size_t srcLen, double ratio,
                              std::size_t outLen);

// Writes the tail into store[srcPos + srcLen, +576), then outLen + 208 output
// samples into out[0, outLen + 208). loopStart is the byte offset of the loop
// within the sample, 0 when the sample does not loop (or loops from its first
// byte). outLen is normally linearOutputLength(srcLen, ratio).
//
// Returns false and writes nothing when srcLen is 0, loopStart is not 0 and
// not inside the sample, the ratio is not positive and finite, the store is
// shorter than linearStoreExtent(...) or out is shorter than outLen + 208.
bool linearResample(std::span<std::uint8_t> store, std::size_t srcPos, std::size_t srcLen,
                    std::size_t loopStart, double ratio, std::size_t outLen,
                    std::span<std::uint8_t> out);

}  // namespace kvtram
