// The command line's grammar: each command declares its options and its
// handler, and one parser reads the arguments as people type them
// ("-j 4", "-j4", "--jobs=4", "-qr", "--" before names that begin with '-')
// and writes the help. Options begin with '-' on every platform: a '/' begins
// a path. Every error is the tool's own message naming the option, and all of
// them are listed at once, in the order of the command line.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "app/options.h"
#include "messages/messages.h"

namespace kvtram {

struct OptionSpec {
  enum class Kind { Switch, Number, Text };
  Kind kind = Kind::Switch;
  char shortName = 0;         // 'j' for -j; 0 for none
  std::string longName;       // "--jobs"
  std::string negativeName;   // switches: "--no-strict-mid" sets false
  std::string valueName;      // the value's name in the help ("N", "DIR")
  std::string help;           // the help line, the default included
  bool* flag = nullptr;       // Switch
  int* number = nullptr;      // Number, checked against `range`
  OptionRange range{};
  std::string* text = nullptr;  // Text: an empty value is an error
};

struct CommandSpec {
  std::string name;     // "convert"
  std::string summary;  // the help's first line and the command's line in the list
  std::string argumentName = "FILE";
  std::string argumentHelp;
  std::string footer;
  std::vector<OptionSpec> options;
  std::vector<std::string>* arguments = nullptr;
  // Runs the command once its arguments are read without error.
  std::function<int(std::ostream& out, std::ostream& err)> run;
};

// A command named `name` with its help's texts; the command adds its options,
// its arguments' target and its handler.
CommandSpec commandSpec(std::string name, msg::Id summary, msg::Id argumentHelp, msg::Id footer);

// A switch (with its negative form when `negativeName` is given), a whole
// number in `range` (its help ends in "(default N)", or in `defaultText`), a
// text that may not be empty.
OptionSpec switchOption(char shortName, std::string longName, std::string negativeName, bool& target,
                        std::string help);
OptionSpec numberOption(char shortName, std::string longName, int& target, const OptionRange& range,
                        const std::string& help, const std::string& defaultText = {});
OptionSpec textOption(char shortName, std::string longName, std::string valueName, std::string& target,
                      std::string help);

// Reads a command's arguments (those after its name) into its targets;
// returns one line per error, in the order of the arguments. `helpWanted` is
// set when -h, --help or --help-all stands among the options.
std::vector<std::string> parseCommandArguments(const CommandSpec& command, const std::vector<std::string>& args,
                                               bool& helpWanted);

// The help of one command; `nested` is its part of the help of every command.
std::string commandHelp(const CommandSpec& command, bool nested = false);
// The program's help: the commands listed, or each with its whole help.
std::string programHelp(const std::vector<CommandSpec>& commands, bool all);

// A whole number, with an optional sign and nothing else.
bool parseWholeNumber(const std::string& text, int& value);

}  // namespace kvtram
