#include "app/batch.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "app/convert_file.h"
#include "app/printable.h"
#include "app/workspace.h"
#include "io/file_io.h"
#include "messages/messages.h"

namespace kvtram {

namespace {

// One path of the batch, as the batch decided before converting anything.
struct FileTask {
  std::string path;
  bool kv = false;  // converted, or refused with a failure line; else skipped
  std::string image;
  std::string refusal;  // the failure line when the file is refused unconverted
};

struct FileResult {
  bool started = true;  // false: the batch stopped before this file
  std::string line;     // "" when the image was written
  std::string warning;
  std::size_t imageBytes = 0;
  bool measured = false;
  SizeReport size;
};

// Why a path that names nothing fails ("" when it names something).
std::string absence(const std::string& path) {
  switch (pathKind(path)) {
    case PathKind::Missing: return msg::kFileNotFound;
    case PathKind::Unreachable: return msg::withCause(msg::kCannotReach, unreachableCause(path));
    default: return {};
  }
}

std::vector<FileTask> planTasks(const std::vector<std::string>& paths, const std::string& outputFolder,
                                bool missingPathsFail) {
  std::vector<FileTask> tasks(paths.size());
  // Which song takes each image path: a later song with the same image path
  // would silently replace the earlier one's image.
  std::map<std::string, std::string> takenBy;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    FileTask& task = tasks[i];
    task.path = paths[i];
    if (missingPathsFail) {
      if (std::string reason = absence(task.path); !reason.empty()) {
        task.kv = true;
        task.refusal = msg::failureLine(task.path, reason);
        continue;
      }
    }
    task.kv = hasKvExtension(task.path);
    if (!task.kv) continue;
    task.image = imagePathFor(task.path, outputFolder);
    auto [taken, fresh] = takenBy.emplace(task.image, task.path);
    if (!fresh && taken->second != task.path) {
      task.refusal = msg::failureLine(task.path, msg::imageTakenBy(task.image, taken->second));
    }
  }
  return tasks;
}

FileResult convertTask(Workspace& workspace, const FileTask& task, const ConversionOptions& options,
                       bool measure) {
  FileResult result;
  if (!task.refusal.empty()) {
    result.line = task.refusal;
    return result;
  }
  // A failure names the file it is about: the song, or the image when only
  // its write failed.
  const std::string reason = buildImage(workspace, task.path, options, measure ? &result.size : nullptr);
  result.measured = measure && result.size.end != 0;
  if (const KvSong& song = workspace.song; song.sampleBytesMissing > 0) {
    result.warning = msg::failureLine(song.sampleShown, msg::sampleFileShort(song.sampleBytesMissing));
  }
  if (!reason.empty()) {
    result.line = msg::failureLine(task.path, reason);
  } else if (std::string writeFailure = writeImage(workspace, task.image); !writeFailure.empty()) {
    result.line = msg::failureLine(task.image, writeFailure);
  } else {
    result.imageBytes = workspace.image.bytes().size();
  }
  return result;
}

// Collects the outcome and tells the observer, in the order of the paths.
class Recorder {
 public:
  Recorder(BatchOutcome& outcome, BatchObserver* observer, std::size_t count)
      : outcome_(outcome), notify_(observer != nullptr ? *observer : silent_), count_(count) {}

  void skipped(std::size_t i, const FileTask& task) {
    outcome_.skipped.push_back(task.path);
    notify_.fileSkipped(i, count_, task.path);
  }
  void starting(std::size_t i, const FileTask& task) { notify_.fileStarting(i, count_, task.path); }
  void finished(std::size_t i, const FileTask& task, const FileResult& result) {
    if (!result.warning.empty()) {
      outcome_.warnings.push_back(result.warning);
      notify_.fileWarned(i, result.warning);
    }
    if (result.measured) notify_.sizeMeasured(i, task.path, result.size);
    if (result.line.empty()) {
      outcome_.written.push_back(task.image);
      outcome_.writtenSizes.push_back(result.imageBytes);
      notify_.imageWritten(i, task.image, result.imageBytes);
    } else {
      outcome_.failures.push_back(result.line);
    }
    notify_.fileFinished(i, count_, task.path, result.line);
  }

 private:
  BatchObserver silent_;
  BatchOutcome& outcome_;
  BatchObserver& notify_;
  std::size_t count_;
};

// Whether the batch is to start no more files.
class StopCheck {
 public:
  explicit StopCheck(const std::function<bool()>& ask) : ask_(ask) {}
  bool operator()() const { return ask_ && ask_(); }

 private:
  const std::function<bool()>& ask_;
};

void convertInOrder(Workspace& workspace, const std::vector<FileTask>& tasks,
                    const ConversionOptions& options, bool measure, const StopCheck& stop,
                    Recorder& recorder) {
  for (std::size_t i = 0; i < tasks.size(); ++i) {
    if (stop()) return;
    if (!tasks[i].kv) {
      recorder.skipped(i, tasks[i]);
      continue;
    }
    recorder.starting(i, tasks[i]);
    recorder.finished(i, tasks[i], convertTask(workspace, tasks[i], options, measure));
  }
}

// Several workers, each with its own workspace, take the files in order;
// the calling thread reports each file as soon as it and all before it are
// done, so the reports keep the order of the paths.
class SideBySide {
 public:
  SideBySide(const std::vector<FileTask>& tasks, const ConversionOptions& options, bool measure,
             const StopCheck& stop)
      : tasks_(tasks), options_(options), measure_(measure), stop_(stop), results_(tasks.size()),
        done_(tasks.size(), false) {}

  // Returns false when no worker could be started (nothing was done then).
  bool run(std::size_t workers, std::size_t spectralHelpers, Recorder& recorder) {
    std::vector<std::thread> threads;
    for (std::size_t w = 0; w < workers; ++w) {
      try {
        threads.emplace_back([this, spectralHelpers] { work(spectralHelpers); });
      } catch (const std::system_error&) {
        break;  // the threads that did start do all the work
      }
    }
    if (threads.empty()) return false;
    // After a stop, only the files that were under way are still reported
    // (in order): workers finish those and pass over the rest.
    for (std::size_t i = 0; i < tasks_.size(); ++i) {
      if (!tasks_[i].kv) {
        if (!stop_()) recorder.skipped(i, tasks_[i]);
        continue;
      }
      if (!stop_()) recorder.starting(i, tasks_[i]);
      std::unique_lock<std::mutex> lock(mutex_);
      finished_.wait(lock, [&] { return done_[i]; });
      lock.unlock();
      if (results_[i].started) recorder.finished(i, tasks_[i], results_[i]);
    }
    for (std::thread& t : threads) t.join();
    return true;
  }

 private:
  void work(std::size_t spectralHelpers) {
    auto workspace = std::make_unique<Workspace>(spectralHelpers);
    for (std::size_t i = next_++; i < tasks_.size(); i = next_++) {
      if (!tasks_[i].kv) continue;
      FileResult result;
      if (stop_()) result.started = false;
      else result = convertTask(*workspace, tasks_[i], options_, measure_);
      std::lock_guard<std::mutex> lock(mutex_);
      results_[i] = std::move(result);
      done_[i] = true;
      finished_.notify_all();
    }
  }

  const std::vector<FileTask>& tasks_;
  const ConversionOptions& options_;
  const bool measure_;
  const StopCheck& stop_;
  std::vector<FileResult> results_;
  std::vector<bool> done_;  // guarded by mutex_, as results_ once written
  std::atomic<std::size_t> next_{0};
  std::mutex mutex_;
  std::condition_variable finished_;
};

// Checks the options; on an error, the outcome that stops the batch.
bool optionsStop(const std::vector<std::string>& paths, const ConversionOptions& options,
                 BatchOutcome& outcome) {
  // The edits cannot change during a run, so checking once before the first
  // file is the same as checking before every file; an empty list checks nothing.
  if (paths.empty()) return false;
  std::string optionError = validateOptions(options);
  if (optionError.empty()) return false;
  outcome.message = optionError;
  outcome.stoppedByOptions = true;
  return true;
}

void sumUp(BatchOutcome& outcome) {
  if (outcome.failures.empty()) {
    outcome.message = msg::kBatchDone.c_str();
    return;
  }
  for (const std::string& line : outcome.failures) {
    if (!outcome.message.empty()) outcome.message += '\n';
    outcome.message += printable(line);
  }
}

}  // namespace

bool hasKvExtension(const std::string& path) {
  if (path.size() < 3) return false;
  std::string last = path.substr(path.size() - 3);
  for (char& c : last) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return last == ".kv";
}

std::string imagePathFor(const std::string& kvPath, const std::string& outputFolder) {
  std::string base = kvPath.substr(0, kvPath.size() - 3);
  if (outputFolder.empty()) return base + ".trm";
  std::string folder = outputFolder;
  if (folderOf(folder) != folder) folder += '/';
  return folder + base.substr(folderOf(base).size()) + ".trm";
}

ThreadSplit splitThreads(int jobs, std::size_t songs) {
  // A lone worker lends the other threads to the spectral resampler; several
  // share them out evenly.
  const auto threads = static_cast<std::size_t>(std::max(1, jobs));
  const std::size_t workers = std::max<std::size_t>(1, std::min(threads, songs));
  return {workers, threads / workers - 1};
}

BatchOutcome runBatch(Workspace& workspace, const std::vector<std::string>& paths,
                      const ConversionOptions& options, BatchObserver* observer) {
  BatchOutcome outcome;
  if (optionsStop(paths, options, outcome)) return outcome;
  Recorder recorder(outcome, observer, paths.size());
  const std::function<bool()> never;
  convertInOrder(workspace, planTasks(paths, {}, false), options, false, StopCheck(never), recorder);
  sumUp(outcome);
  return outcome;
}

BatchOutcome runBatch(const std::vector<std::string>& paths, const ConversionOptions& options,
                      const BatchSettings& settings, BatchObserver* observer) {
  BatchOutcome outcome;
  if (optionsStop(paths, options, outcome)) return outcome;
  const std::vector<FileTask> tasks = planTasks(paths, settings.outputFolder, settings.missingPathsFail);
  const auto songs = static_cast<std::size_t>(
      std::count_if(tasks.begin(), tasks.end(), [](const FileTask& t) { return t.kv; }));
  const ThreadSplit split = splitThreads(settings.jobs, songs);

  Recorder recorder(outcome, observer, paths.size());
  const StopCheck stop(settings.stopRequested);
  bool done = false;
  if (split.workers > 1) {
    done = SideBySide(tasks, options, settings.measure, stop).run(split.workers, split.spectralHelpers, recorder);
  }
  if (!done) {
    // One worker (or no thread could be started): the calling thread converts.
    auto workspace = std::make_unique<Workspace>(splitThreads(settings.jobs, 1).spectralHelpers);
    convertInOrder(*workspace, tasks, options, settings.measure, stop, recorder);
  }
  outcome.stopped = stop();
  sumUp(outcome);
  return outcome;
}

}  // namespace kvtram
