// The conversion of one KV file into its TRAM image: the song's files read
// once and parsed, the passes over the song in their order, each from the
// song's start, and the write of the image.
#pragma once

#include <string>

#include "app/options.h"

namespace kvtram {

class Workspace;

// Converts the KV file at `kvPath` and writes the image to `imagePath`.
// Returns "" on success, else the reason it failed (messages.h), without the
// path, which the reporter puts in front; nothing is written then.
std::string convertFile(Workspace& workspace, const std::string& kvPath,
                        const std::string& imagePath, const ConversionOptions& options);

}  // namespace kvtram
