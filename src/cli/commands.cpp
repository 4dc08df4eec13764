#include "cli/commands.h"

#include <CLI/CLI.hpp>

#include <array>
#include <memory>
#include <ostream>

#include "image/trm_decoder.h"
#include "io/file_io.h"
#include "messages/messages.h"

#ifndef KVTRAM_VERSION
#define KVTRAM_VERSION "unknown"
#endif

namespace kvtram {

namespace {

constexpr std::array<const char*, 3> kCommands{"convert", "info", "dump"};

// Help lines name both forms of a switch ("--strict-mid,--no-strict-mid")
// without the library's "{false}" mark, which reads as if the default were
// off; the descriptions say each default.
class HelpFormatter : public CLI::Formatter {
 public:
  std::string make_option_name(const CLI::Option* option, bool positional) const override {
    std::string name = CLI::Formatter::make_option_name(option, positional);
    for (const char* mark : {"{false}", "{true}"}) {
      for (auto at = name.find(mark); at != std::string::npos; at = name.find(mark)) {
        name.erase(at, std::string(mark).size());
      }
    }
    return name;
  }
};

// A whole number, with an optional sign and nothing else.
bool parseWholeNumber(const std::string& text, int& value) {
  std::size_t i = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
  if (i == text.size() || text.size() > 10) return false;
  long long v = 0;
  for (std::size_t k = i; k < text.size(); ++k) {
    if (text[k] < '0' || text[k] > '9') return false;
    v = v * 10 + (text[k] - '0');
  }
  value = static_cast<int>(text[0] == '-' ? -v : v);
  return v <= 2147483647;
}

// The numeric options of one command, taken as text so that every bad value
// is reported by its option's name, all of them at once.
class NumberOptions {
 public:
  // The help line ends in "(default N)", or in `defaultText` when given.
  void add(CLI::App& app, const std::string& name, int& target, const OptionRange& range, const std::string& help,
           const std::string& defaultText = {}) {
    // Errors name the long form ("--jobs" of "-j,--jobs").
    auto entry = std::make_unique<Entry>(Entry{name.substr(name.rfind(',') + 1), {}, &target, range});
    const std::string shown = defaultText.empty() ? std::to_string(target) : defaultText;
    app.add_option(name, entry->text, help + " (default " + shown + ")")->type_name("N");
    entries_.push_back(std::move(entry));
  }

  // Stores the given values; returns one line per bad one.
  std::vector<std::string> apply() const {
    std::vector<std::string> errors;
    for (const auto& e : entries_) {
      if (e->text.empty()) continue;
      int value = 0;
      if (!parseWholeNumber(e->text, value)) {
        errors.push_back(msg::failureLine(e->name + " " + e->text, msg::kNotAWholeNumber));
      } else if (!e->range.contains(value)) {
        errors.push_back(msg::failureLine(e->name + " " + e->text, e->range.outOfRange()));
      } else {
        *e->target = value;
      }
    }
    return errors;
  }

 private:
  struct Entry {
    std::string name;
    std::string text;
    int* target;
    OptionRange range;
  };
  std::vector<std::unique_ptr<Entry>> entries_;
};

// Options that no command knows (the commands take them as extras, so that
// they are reported together with the bad values).
void addUnknownOptions(const CLI::App& command, std::vector<std::string>& errors) {
  for (const std::string& extra : command.remaining()) {
    if (extra.empty() || extra[0] != '-') continue;
    errors.push_back(msg::failureLine(extra.substr(0, extra.find('=')), msg::kNoSuchOption));
  }
}

// The options that shape the image, alike for convert and info.
void addConversionOptions(CLI::App& command, ConversionOptions& o, NumberOptions& numbers) {
  numbers.add(command, "--psg-reduction", o.psgVolumeReduction, kPsgReductionRange,
              "Amount subtracted from PSG channel volumes, " + kPsgReductionRange.text());
  numbers.add(command, "--fm-reduction", o.fmVolumeReduction, kFmReductionRange,
              "Amount added to FM attenuations, " + kFmReductionRange.text());
  numbers.add(command, "--loops", o.loopCount, kLoopCountRange,
              "Times the song's loop is played, " + kLoopCountRange.text());
  command.add_flag("--scc-i", o.useSccI, "Lay out the PCM channel streams for SCC-I (default off)");
  command.add_flag("--strict-mid,!--no-strict-mid", o.strictMid,
                   "Make the mid variant by the spectral resampler (default on)");
  command.add_flag("--strict-mid-high,!--no-strict-mid-high", o.strictMidHigh,
                   "Make the mid-high variant by the spectral resampler (default on)");
  command.add_flag("--strict-high,!--no-strict-high", o.strictHigh,
                   "Make the high variant by the spectral resampler (default off)");
  command.add_flag("--high-quality,!--no-high-quality", o.highQuality,
                   "Pitch bytes 129-186 use the mid-high variant (default off)");
}

const char* const kConvertFooter =
    "FILE may be a folder: every .kv file in it (any case) is converted, in name order; with -r\n"
    "its sub-folders too. Each image is written beside its song, or into the -o folder.\n"
    "A FILE that does not exist is a failed file. Without -q, each written image is listed with\n"
    "its size when standard output is no terminal, a progress line runs when standard error is\n"
    "one, and a summary line ends the run. Ctrl-C (or SIGTERM, SIGHUP) starts no new file and\n"
    "ends with the summary; a second Ctrl-C ends at once. No temporary file is left behind.\n"
    "Exit status: 0 all files converted, 1 a file failed, 2 bad arguments (nothing is touched),\n"
    "3 nothing to convert (no KV file among the FILEs), 128 + N stopped by signal N (130: Ctrl-C).";

}  // namespace

int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   Terminals terminals) {
  CLI::App app{"kvtram: converts KV music files (.kv, with their .kvp sample files) into TRAM images (.trm)"};
  app.name("kvtram");
  app.formatter(std::make_shared<HelpFormatter>());
  app.require_subcommand(1);
  app.set_help_all_flag("--help-all", "Show the help of every command");
  app.set_version_flag("--version", std::string("kvtram ") + KVTRAM_VERSION);
  app.footer("Commands: convert, info, dump; \"kvtram COMMAND --help\" tells more.\n"
             "Exit status: 0 success, 1 a file failed, 2 bad arguments, 3 nothing to convert.");

  ConvertArgs convert;
  convert.showProgress = terminals.err;
  convert.listImages = !terminals.out;
  ConversionOptions& o = convert.options;
  NumberOptions convertNumbers;
  CLI::App* convertCmd = app.add_subcommand(
      "convert", "Convert each KV file (.kv, any case) to <base name>.trm beside it");
  convertCmd->allow_extras();
  addConversionOptions(*convertCmd, o, convertNumbers);
  convertCmd->add_flag("-r,--recursive", convert.recursive, "Folders: convert the songs of their sub-folders too");
  convertCmd->add_option("-o,--output-dir", convert.outputFolder,
                         "Write the images into DIR (made if missing) instead of beside the songs")
      ->type_name("DIR");
  convert.jobs = processorCount();
  convertNumbers.add(*convertCmd, "-j,--jobs", convert.jobs, kJobsRange,
                     "Threads to convert with, files side by side, " + kJobsRange.text() +
                         "; the images are the same for every N",
                     "the number of processors");
  convertCmd->add_flag("-q,--quiet", convert.quiet, "Print nothing but failures");
  convertCmd->add_flag("-v,--verbose", convert.verbose, "Report the size of each image by its parts");
  convertCmd->add_option("FILE", convert.files, "KV music files or folders of them")->required();
  convertCmd->footer(kConvertFooter);

  InfoArgs info;
  NumberOptions infoNumbers;
  CLI::App* infoCmd = app.add_subcommand("info", "Describe KV music files and what their songs play");
  infoCmd->allow_extras();
  addConversionOptions(*infoCmd, info.options, infoNumbers);
  infoCmd->add_flag("-r,--recursive", info.recursive, "Folders: describe the songs of their sub-folders too");
  infoCmd->add_option("FILE", info.files, "KV music files or folders of them")->required();
  infoCmd->footer(
      "FILE may be a folder: every .kv file in it, in name order; with -r its sub-folders too.\n"
      "Prints for each file its title, format version, PCM channels and channel masks, samples\n"
      "(blocks, loop, wave set) and macros, then plays the song as a conversion does and prints its\n"
      "length in frames, its FM and PSG register writes, its wavetable and PCM note events (one per\n"
      "channel and frame) and the sample variants its notes need. Last, the image the song makes\n"
      "with the given options, as a conversion builds it (nothing is written): its size in bytes\n"
      "and banks, each sample variant and stream, the space left, or what goes beyond the 256 banks.\n"
      "Exit status: 0 all files read, 1 a file failed or is no KV song, 2 bad arguments, 3 no KV file\n"
      "among the FILEs.");

  DumpArgs dump;
  CLI::App* dumpCmd = app.add_subcommand("dump", "Disassemble TRAM images");
  dumpCmd->add_option("--waves", dump.waveCount,
                      "Number of wavetables at the start of bank 0 (default: found from the sample pointer table)")
      ->type_name("N")
      ->check(CLI::Range(0, kMaxDecodedWaves));
  dumpCmd->add_option("FILE", dump.files, "TRAM images (.trm)")->required();
  dumpCmd->footer(
      "Prints for each image its path, the header, bank 0 (wavetables, sample pointer table) and\n"
      "every stream command by command. The time column is the frames the player has waited when it\n"
      "reaches the command.\n"
      "Exit status: 0 every image well-formed, 1 a file that is no (complete) image, 2 bad arguments.");

  // A first word that is no option and no command: say which commands exist.
  if (args.size() > 1 && !args[1].empty() && args[1][0] != '-') {
    bool known = false;
    for (const char* name : kCommands) known = known || args[1] == name;
    if (!known) {
      err << msg::failureLine(args[1], msg::kNoSuchCommand) << "\n";
      return kExitBadArguments;
    }
  }

  std::vector<std::string> reversed(args.rbegin(), args.rend() - (args.empty() ? 0 : 1));
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    int status = app.exit(e, out, err);
    return status == 0 ? kExitOk : kExitBadArguments;
  }

  CLI::App* command = convertCmd->parsed() ? convertCmd : infoCmd->parsed() ? infoCmd : dumpCmd;
  std::vector<std::string> errors;
  if (command == convertCmd) errors = convertNumbers.apply();
  if (command == infoCmd) errors = infoNumbers.apply();
  addUnknownOptions(*command, errors);
  if (!errors.empty()) {
    for (const std::string& line : errors) err << line << "\n";
    return kExitBadArguments;
  }
  if (command == convertCmd) return runConvert(convert, out, err);
  if (command == infoCmd) return runInfo(info, out, err);
  return runDump(dump, out, err);
}

int runCommandLine(int argc, char** argv) {
  return runCommandLine(std::vector<std::string>(argv, argv + argc));
}

int runCommandLine(const std::vector<std::string>& args) {
  return runCommandLine(args, standardOutput(), standardError(),
                        {standardOutputIsTerminal(), standardErrorIsTerminal()});
}

}  // namespace kvtram
