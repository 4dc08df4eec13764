#include <memory>
#include <ostream>

#include "app/batch.h"
#include "app/workspace.h"
#include "cli/commands.h"
#include "messages/messages.h"

namespace kvtram {

namespace {

class ConsoleProgress : public BatchObserver {
 public:
  ConsoleProgress(std::ostream& err, bool quiet, bool progress)
      : err_(err), quiet_(quiet), progress_(progress) {}
  void fileStarting(std::size_t index, std::size_t count, const std::string& path) override {
    if (progress_ && !quiet_ && count > 1) {
      err_ << "[" << index + 1 << "/" << count << "] " << path << "\n" << std::flush;
    }
  }
  void fileSkipped(std::size_t, std::size_t, const std::string& path) override {
    if (!quiet_) err_ << msg::failureLine(path, msg::kNotKvFile) << "\n";
  }

 private:
  std::ostream& err_;
  bool quiet_;
  bool progress_;
};

}  // namespace

int runConvert(const ConvertArgs& args, std::ostream& out, std::ostream& err) {
  // The batch checks the options before any file is touched (the command
  // line always names at least one file).
  auto workspace = std::make_unique<Workspace>();
  ConsoleProgress progress(err, args.quiet, args.showProgress);
  BatchOutcome outcome = runBatch(*workspace, args.files, args.options, &progress);
  if (outcome.stoppedByOptions) {
    err << outcome.message << "\n";
    return kExitBadArguments;
  }
  if (outcome.failures.empty()) {
    out << outcome.message << "\n";
    return kExitOk;
  }
  for (const std::string& line : outcome.failures) err << line << "\n";
  return kExitFileFailed;
}

}  // namespace kvtram
