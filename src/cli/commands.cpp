#include "cli/commands.h"

#include <ostream>

#include "image/trm_decoder.h"
#include "io/file_io.h"
#include "messages/messages.h"

#ifndef KVTRAM_VERSION
#define KVTRAM_VERSION "unknown"
#endif

namespace kvtram {

namespace {

const CommandSpec* findCommand(const std::vector<CommandSpec>& commands, const std::string& name) {
  for (const CommandSpec& c : commands) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

int refuse(const std::vector<std::string>& errors, std::ostream& err) {
  for (const std::string& line : errors) err << line << "\n";
  return kExitBadArguments;
}

}  // namespace

void addConversionOptions(std::vector<OptionSpec>& options, ConversionOptions& o) {
  using msg::Id;
  options.push_back(numberOption(0, "--psg-reduction", o.psgVolumeReduction, kPsgReductionRange,
                                 msg::fill(Id::HelpPsgReduction, {kPsgReductionRange.text()})));
  options.push_back(numberOption(0, "--fm-reduction", o.fmVolumeReduction, kFmReductionRange,
                                 msg::fill(Id::HelpFmReduction, {kFmReductionRange.text()})));
  options.push_back(
      numberOption(0, "--loops", o.loopCount, kLoopCountRange, msg::fill(Id::HelpLoops, {kLoopCountRange.text()})));
  options.push_back(switchOption(0, "--scc-i", "", o.useSccI, msg::text(Id::HelpSccI)));
  options.push_back(switchOption(0, "--strict-mid", "--no-strict-mid", o.strictMid, msg::text(Id::HelpStrictMid)));
  options.push_back(switchOption(0, "--strict-mid-high", "--no-strict-mid-high", o.strictMidHigh,
                                 msg::text(Id::HelpStrictMidHigh)));
  options.push_back(
      switchOption(0, "--strict-high", "--no-strict-high", o.strictHigh, msg::text(Id::HelpStrictHigh)));
  options.push_back(
      switchOption(0, "--high-quality", "--no-high-quality", o.highQuality, msg::text(Id::HelpHighQuality)));
}

int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   Terminals terminals) {
  const std::vector<CommandSpec> commands{convertCommand(terminals), infoCommand(), dumpCommand()};

  // The program's own options stand before the command.
  std::vector<std::string> errors;
  std::size_t at = 1;
  for (; at < args.size() && args[at].size() > 1 && args[at][0] == '-'; ++at) {
    const std::string& arg = args[at];
    if (arg == "--") {
      ++at;
      break;
    }
    if (arg == "-h" || arg == "--help" || arg == "--help-all") {
      out << programHelp(commands, arg == "--help-all");
      return kExitOk;
    }
    if (arg == "--version") {
      out << "kvtram " << KVTRAM_VERSION << "\n";
      return kExitOk;
    }
    errors.push_back(msg::failureLine(arg.substr(0, arg.find('=')), msg::kNoSuchOption));
  }
  if (at == args.size()) {
    // No command: what there is to choose from.
    if (errors.empty()) err << msg::text(msg::Id::HelpShortUsage) << "\n";
    return refuse(errors, err);
  }

  const std::string& name = args[at];
  if (name == "help" && errors.empty()) {
    if (at + 1 == args.size()) {
      out << programHelp(commands, false);
      return kExitOk;
    }
    if (const CommandSpec* command = findCommand(commands, args[at + 1])) {
      out << commandHelp(*command);
      return kExitOk;
    }
    return refuse({msg::failureLine(args[at + 1], msg::kNoSuchCommand)}, err);
  }
  const CommandSpec* command = findCommand(commands, name);
  if (command == nullptr) {
    errors.push_back(msg::failureLine(name, msg::kNoSuchCommand));
    return refuse(errors, err);
  }

  bool helpWanted = false;
  const std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(at) + 1, args.end());
  for (std::string& line : parseCommandArguments(*command, rest, helpWanted)) errors.push_back(std::move(line));
  if (helpWanted) {
    out << commandHelp(*command);
    return kExitOk;
  }
  if (!errors.empty()) return refuse(errors, err);
  return command->run(out, err);
}

int runCommandLine(int argc, char** argv) {
  return runCommandLine(std::vector<std::string>(argv, argv + argc));
}

int runCommandLine(const std::vector<std::string>& args) {
  return runCommandLine(args, standardOutput(), standardError(),
                        {standardOutputIsTerminal(), standardErrorIsTerminal()});
}

}  // namespace kvtram
