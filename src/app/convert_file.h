// The conversion of one KV file into its TRAM image: the song's files read
// once and parsed, the passes over the song in their order, each from the
// song's start, and the write of the image.
#pragma once

#include <string>

#include "app/options.h"
#include "app/size_report.h"
#include "input/interpreter.h"

namespace kvtram {

class Workspace;

// The options the interpreter reads while it plays.
inline PlaybackOptions playbackOptions(const ConversionOptions& options) {
  return {.loopCount = options.loopCount,
          .fmVolumeReduction = options.fmVolumeReduction,
          .psgVolumeReduction = options.psgVolumeReduction};
}

// Runs the passes over the KV file at `kvPath` and leaves the image in the
// workspace. Returns "" or the reason the song failed (messages.h), without
// the path, which the reporter puts in front. With `report`, the image is
// also measured into it, and an image too big for the banks is measured
// whole before its reason, msg::imageBeyondBanks, is returned.
std::string buildImage(Workspace& workspace, const std::string& kvPath, const ConversionOptions& options,
                       SizeReport* report = nullptr);

// Writes the image that buildImage left in the workspace to `imagePath`.
// Returns "" or the reason, which is about the image file, not the song.
std::string writeImage(Workspace& workspace, const std::string& imagePath);

// Both in one: converts the KV file at `kvPath` and writes the image to
// `imagePath`. Returns "" or the reason; nothing is written on a failure.
std::string convertFile(Workspace& workspace, const std::string& kvPath,
                        const std::string& imagePath, const ConversionOptions& options);

}  // namespace kvtram
