// The batch driver: converts a list of paths one after the other and sums the
// batch up in one message. Toolkit-free; the command line and every dialog
// front end use it alike.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "app/options.h"

namespace kvtram {

class Workspace;

struct BatchOutcome {
  // What the final message box shows: the option error, the failure lines
  // (one per failed file, each beginning with its path), or "終了しました".
  std::string message;
  bool stoppedByOptions = false;       // an option was out of range: no file was touched
  std::vector<std::string> failures;   // one line per failed file, in batch order
  std::vector<std::string> written;    // the images written, in batch order
  std::vector<std::string> skipped;    // paths that do not end in ".kv"
};

// Told about every path of the batch as it is handled (for progress displays).
// Called on the thread that runs the batch.
class BatchObserver {
 public:
  virtual ~BatchObserver() = default;
  // A ".kv" path is about to be converted; `index` counts from 0 over all paths.
  virtual void fileStarting(std::size_t index, std::size_t count, const std::string& path) {
    (void)index, (void)count, (void)path;
  }
  // The path is done: `failure` is "" when its image was written.
  virtual void fileFinished(std::size_t index, std::size_t count, const std::string& path,
                            const std::string& failure) {
    (void)index, (void)count, (void)path, (void)failure;
  }
  // The path does not end in ".kv" (any case) and is passed over.
  virtual void fileSkipped(std::size_t index, std::size_t count, const std::string& path) {
    (void)index, (void)count, (void)path;
  }
};

// Whether the last three characters of `path`, in lower case, are ".kv".
bool hasKvExtension(const std::string& path);
// The image path of a KV file: the path less its last three characters, + ".trm".
std::string imagePathFor(const std::string& kvPath);

// Converts every path in order. The options are checked (only when the list is
// not empty) before the first file; an option out of range stops the batch with
// its message. Every failed file gets its own line in the message, and a
// failure never keeps a later file from being converted.
BatchOutcome runBatch(Workspace& workspace, const std::vector<std::string>& paths,
                      const ConversionOptions& options, BatchObserver* observer = nullptr);

}  // namespace kvtram
