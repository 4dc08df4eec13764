#include "app/batch.h"

#include "app/convert_file.h"
#include "messages/messages.h"

namespace kvtram {

bool hasKvExtension(const std::string& path) {
  if (path.size() < 3) return false;
  std::string last = path.substr(path.size() - 3);
  for (char& c : last) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return last == ".kv";
}

std::string imagePathFor(const std::string& kvPath) {
  return kvPath.substr(0, kvPath.size() - 3) + ".trm";
}

BatchOutcome runBatch(Workspace& workspace, const std::vector<std::string>& paths,
                      const ConversionOptions& options, BatchObserver* observer) {
  BatchOutcome outcome;
  BatchObserver silent;
  BatchObserver& notify = observer != nullptr ? *observer : silent;

  // The edits cannot change during a run, so checking once before the first
  // file is the same as checking before every file; an empty list checks nothing.
  if (!paths.empty()) {
    std::string optionError = validateOptions(options);
    if (!optionError.empty()) {
      outcome.message = optionError;
      outcome.stoppedByOptions = true;
      return outcome;
    }
  }

  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string& path = paths[i];
    if (!hasKvExtension(path)) {
      outcome.skipped.push_back(path);
      notify.fileSkipped(i, paths.size(), path);
      continue;
    }
    notify.fileStarting(i, paths.size(), path);
    std::string image = imagePathFor(path);
    std::string failure = convertFile(workspace, path, image, options);
    std::string line;
    if (failure.empty()) {
      outcome.written.push_back(image);
    } else {
      line = msg::failureLine(path, failure);
      outcome.failures.push_back(line);
    }
    notify.fileFinished(i, paths.size(), path, line);
  }

  if (outcome.failures.empty()) {
    outcome.message = msg::kBatchDone;
  } else {
    for (const std::string& line : outcome.failures) {
      if (!outcome.message.empty()) outcome.message += '\n';
      outcome.message += line;
    }
  }
  return outcome;
}

}  // namespace kvtram
