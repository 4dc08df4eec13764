// The batch driver: converts a list of paths one after the other (or side by
// side on several workspaces) and sums the batch up in one message.
// Toolkit-free; the command line and every dialog front end use it alike.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/size_report.h"

namespace kvtram {

class Workspace;

struct BatchOutcome {
  // What the final message box shows: the option error, the failure lines
  // (one per failed file, each beginning with its path), or "終了しました".
  std::string message;
  bool stoppedByOptions = false;       // an option was out of range: no file was touched
  std::vector<std::string> failures;   // one line per failed file, in batch order
  std::vector<std::string> written;    // the images written, in batch order
  std::vector<std::size_t> writtenSizes;  // their sizes in bytes
  std::vector<std::string> skipped;    // paths that do not end in ".kv"
  std::vector<std::string> warnings;   // converted all the same: the path, " : ", what is amiss
  bool stopped = false;                // BatchSettings::stopRequested ended the batch early
};

// Told about every path of the batch, always on the thread that called
// runBatch and in the order of the paths, whatever the number of workers.
class BatchObserver {
 public:
  virtual ~BatchObserver() = default;
  // A ".kv" path is about to be converted (or, with several workers, is the
  // next one whose outcome is awaited); `index` counts from 0 over all paths.
  virtual void fileStarting(std::size_t index, std::size_t count, const std::string& path) {
    (void)index, (void)count, (void)path;
  }
  // The path is done: `failure` is "" when its image was written, then
  // `image` is the image's path and `imageBytes` its size.
  virtual void fileFinished(std::size_t index, std::size_t count, const std::string& path,
                            const std::string& failure) {
    (void)index, (void)count, (void)path, (void)failure;
  }
  virtual void imageWritten(std::size_t index, const std::string& image, std::size_t imageBytes) {
    (void)index, (void)image, (void)imageBytes;
  }
  // With BatchSettings::measure: the size of the file's image, measured by
  // its conversion (also when the image was too big to be written); called
  // before fileFinished.
  virtual void sizeMeasured(std::size_t index, const std::string& path, const SizeReport& report) {
    (void)index, (void)path, (void)report;
  }
  // The file is converted, or fails, with something amiss that the user
  // should know (a sample file shorter than its song says): the line names
  // the file concerned. Called before fileFinished.
  virtual void fileWarned(std::size_t index, const std::string& line) { (void)index, (void)line; }
  // The path does not end in ".kv" (any case) and is passed over.
  virtual void fileSkipped(std::size_t index, std::size_t count, const std::string& path) {
    (void)index, (void)count, (void)path;
  }
};

// Whether the last three characters of `path`, in lower case, are ".kv".
bool hasKvExtension(const std::string& path);
// The image path of a KV file: the path less its last three characters, +
// ".trm"; with an output folder, that name in the folder.
std::string imagePathFor(const std::string& kvPath, const std::string& outputFolder = {});

// How a batch runs, beyond the conversion's options.
struct BatchSettings {
  std::string outputFolder;  // "" writes every image beside its song
  int jobs = 1;              // threads kept busy: file workers and the spectral resampler's helpers
  bool measure = false;      // tell the observer each image's size by its parts
  // A path that names nothing is a failed file ("ファイルが見つかりません"),
  // whatever its extension: a script learns of a mistyped path. The dialogs
  // keep passing over what is no ".kv" file, as they always have.
  bool missingPathsFail = false;
  // Asked before each file: once it says yes, no file is started any more;
  // the files under way are finished and reported, the rest are not.
  std::function<bool()> stopRequested;
};

// How `jobs` threads are shared out over `songs` files: file workers, each
// with this many spectral resampler helpers, so that workers x (1 + helpers)
// never exceeds jobs (at least one worker).
struct ThreadSplit {
  std::size_t workers;
  std::size_t spectralHelpers;
};
ThreadSplit splitThreads(int jobs, std::size_t songs);

// Converts every path in order. The options are checked (only when the list is
// not empty) before the first file; an option out of range stops the batch with
// its message. Every failed file gets its own line in the message, and a
// failure never keeps a later file from being converted. A song whose image
// path an earlier song of the batch already takes is refused, not written.
BatchOutcome runBatch(Workspace& workspace, const std::vector<std::string>& paths,
                      const ConversionOptions& options, BatchObserver* observer = nullptr);

// The same with the settings' output folder and number of threads: with
// several files and jobs, files are converted side by side, each worker on a
// workspace of its own. The images are the same for every number of jobs.
BatchOutcome runBatch(const std::vector<std::string>& paths, const ConversionOptions& options,
                      const BatchSettings& settings, BatchObserver* observer = nullptr);

}  // namespace kvtram
