#include <algorithm>
#include <memory>
#include <ostream>

#include "app/batch.h"
#include "app/printable.h"
#include "app/size_report.h"
#include "app/song_folders.h"
#include "cli/commands.h"
#include "io/file_io.h"
#include "io/interrupts.h"
#include "messages/messages.h"

namespace kvtram {

namespace {

// What the console shows of a batch: failures always; without -q, notes on
// skipped paths, a listing of the images or a running progress line, and
// (from runConvert) the summary. Every line that holds a name is printed with
// its control characters escaped.
class ConsoleReport : public BatchObserver {
 public:
  ConsoleReport(std::ostream& out, std::ostream& err, const ConvertArgs& args)
      : out_(out), err_(err), quiet_(args.quiet), progress_(args.showProgress && !args.quiet),
        list_(args.listImages && !args.quiet) {}

  void fileStarting(std::size_t index, std::size_t count, const std::string& path) override {
    if (!progress_) return;
    err_ << "\r\033[K[" << index + 1 << "/" << count << "] " << printable(path) << std::flush;
    lineShown_ = true;
  }
  void fileSkipped(std::size_t, std::size_t, const std::string& path) override {
    note(msg::failureLine(path, msg::kNotKvFile));
  }
  void imageWritten(std::size_t, const std::string& image, std::size_t bytes) override {
    // Each line leaves at once, so that a log keeps what was written even
    // when the run is interrupted.
    if (list_) out_ << printable(msg::imageListed(image, bytes)) << "\n" << std::flush;
  }
  void sizeMeasured(std::size_t, const std::string& path, const SizeReport& report) override {
    endProgressLine();
    out_ << printable(path) << "\n" << describeSize(report, "  ");
  }
  void fileWarned(std::size_t, const std::string& line) override { failed(line); }
  void fileFinished(std::size_t, std::size_t, const std::string&, const std::string& failure) override {
    if (!failure.empty()) failed(failure);
  }

  void note(const std::string& line) {
    if (quiet_) return;
    endProgressLine();
    err_ << printable(line) << "\n";
  }
  // Failures and warnings, which -q does not silence.
  void failed(const std::string& line) {
    endProgressLine();
    err_ << printable(line) << "\n";
  }
  void endProgressLine() {
    if (lineShown_) err_ << "\r\033[K" << std::flush;
    lineShown_ = false;
  }

 private:
  std::ostream& out_;
  std::ostream& err_;
  bool quiet_;
  bool progress_;
  bool list_;
  bool lineShown_ = false;
};

}  // namespace

int runConvert(const ConvertArgs& args, std::ostream& out, std::ostream& err) {
  // Checked before any file is touched, whatever the files are.
  if (std::string optionError = validateOptions(args.options); !optionError.empty()) {
    err << optionError << "\n";
    return kExitBadArguments;
  }
  // Ctrl-C, a closed terminal or a request to terminate start no new file;
  // the run ends with the summary of what was done.
  const InterruptWatch interrupts;
  ConsoleReport report(out, err, args);
  const FolderExpansion inputs = expandSongFolders(args.files, args.recursive);
  for (const std::string& folder : inputs.emptyFolders) report.note(msg::failureLine(folder, msg::kNoKvFileInFolder));
  for (const std::string& line : inputs.failures) report.failed(line);

  // The output folder is made only when there is something to put into it.
  const bool anySong = std::any_of(inputs.paths.begin(), inputs.paths.end(), hasKvExtension);
  if (!args.outputFolder.empty() && anySong) {
    if (std::string reason = createFolders(args.outputFolder); !reason.empty()) {
      report.failed(msg::failureLine(args.outputFolder, reason));
      return kExitFileFailed;
    }
  }

  BatchSettings settings;
  settings.outputFolder = args.outputFolder;
  settings.jobs = std::clamp(args.jobs, kJobsRange.low, kJobsRange.high);
  settings.measure = args.verbose && !args.quiet;
  settings.missingPathsFail = true;
  settings.stopRequested = [&interrupts] { return interrupts.stopRequested(); };
  BatchOutcome outcome = runBatch(inputs.paths, args.options, settings, &report);
  report.endProgressLine();

  const std::size_t failed = outcome.failures.size() + inputs.failures.size();
  const std::size_t skipped = outcome.skipped.size() + inputs.emptyFolders.size();
  if (!args.quiet) {
    out << msg::batchSummary(outcome.written.size(), failed, skipped) << "\n";
  }
  if (const int signal = interrupts.signal(); signal != 0) return 128 + signal;
  if (failed > 0) return kExitFileFailed;
  return outcome.written.empty() ? kExitNothingConverted : kExitOk;
}

CommandSpec convertCommand(Terminals terminals) {
  using msg::Id;
  auto args = std::make_shared<ConvertArgs>();
  args->showProgress = terminals.err;
  args->listImages = !terminals.out;
  args->jobs = processorCount();
  CommandSpec c = commandSpec("convert", Id::HelpConvert, Id::HelpConvertFiles, Id::HelpConvertFooter);
  addConversionOptions(c.options, args->options);
  c.options.push_back(switchOption('r', "--recursive", "", args->recursive, msg::text(Id::HelpRecursive)));
  c.options.push_back(textOption('o', "--output-dir", "DIR", args->outputFolder, msg::text(Id::HelpOutputDir)));
  c.options.push_back(numberOption('j', "--jobs", args->jobs, kJobsRange,
                                   msg::fill(Id::HelpJobs, {kJobsRange.text()}), msg::text(Id::HelpJobsDefault)));
  c.options.push_back(switchOption('q', "--quiet", "", args->quiet, msg::text(Id::HelpQuiet)));
  c.options.push_back(switchOption('v', "--verbose", "", args->verbose, msg::text(Id::HelpVerbose)));
  c.arguments = &args->files;
  c.run = [args](std::ostream& out, std::ostream& err) { return runConvert(*args, out, err); };
  return c;
}

}  // namespace kvtram
