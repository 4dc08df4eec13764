#include "cli/command_line.h"

namespace kvtram {

namespace {

// The help's column of names, as wide as the descriptions are indented.
constexpr std::size_t kNameColumn = 30;

std::string helpLine(const std::string& name, const std::string& description) {
  std::string line = "  " + name;
  if (line.size() >= kNameColumn) return line + "\n" + std::string(kNameColumn, ' ') + description + "\n";
  line.resize(kNameColumn, ' ');
  return line + description + "\n";
}

std::string optionName(const OptionSpec& o) {
  std::string name;
  if (o.shortName != 0) name = std::string("-") + o.shortName + ",";
  name += o.longName;
  if (!o.negativeName.empty()) name += "," + o.negativeName;
  if (!o.valueName.empty()) name += " " + o.valueName;
  return name;
}

std::string argumentName(const CommandSpec& c) {
  return c.argumentName + " " + msg::text(msg::Id::HelpText) + " " + msg::text(msg::Id::HelpMany) + " " +
         msg::text(msg::Id::HelpRequired);
}

// Every line of `text` indented by two more spaces.
std::string indented(const std::string& text) {
  std::string result;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size() - 1;
    result += "  " + text.substr(start, end + 1 - start);
    start = end + 1;
  }
  return result;
}

class ArgumentReader {
 public:
  ArgumentReader(const CommandSpec& command, const std::vector<std::string>& args, bool& helpWanted)
      : command_(command), args_(args), helpWanted_(helpWanted) {}

  std::vector<std::string> read() {
    bool onlyArguments = false;
    for (next_ = 0; next_ < args_.size();) {
      const std::string& arg = args_[next_++];
      if (onlyArguments || arg.size() < 2 || arg[0] != '-') {
        argument(arg);
      } else if (arg == "--") {
        onlyArguments = true;
      } else if (arg == "-h" || arg == "--help" || arg == "--help-all") {
        helpWanted_ = true;
      } else if (arg[1] == '-') {
        longOption(arg);
      } else {
        shortOptions(arg);
      }
    }
    if (command_.arguments->empty()) {
      errors_.push_back(msg::failureLine(command_.name, msg::fill(msg::Id::MissingArgument, {command_.argumentName})));
    }
    return errors_;
  }

 private:
  void error(const std::string& what, const std::string& reason) { errors_.push_back(msg::failureLine(what, reason)); }

  void argument(const std::string& arg) { command_.arguments->push_back(arg); }

  void longOption(const std::string& arg) {
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    for (const OptionSpec& o : command_.options) {
      const bool negative = !o.negativeName.empty() && name == o.negativeName;
      if (name != o.longName && !negative) continue;
      if (equals != std::string::npos) {
        if (o.kind == OptionSpec::Kind::Switch) return error(arg, msg::text(msg::Id::UnexpectedValue));
        return take(o, arg.substr(equals + 1));
      }
      if (o.kind == OptionSpec::Kind::Switch) return setSwitch(o, !negative);
      return takeNext(o);
    }
    error(name, msg::kNoSuchOption);
  }

  // "-qr", "-j4", "-j 4", "-o DIR".
  void shortOptions(const std::string& arg) {
    for (std::size_t i = 1; i < arg.size(); ++i) {
      const OptionSpec* found = nullptr;
      for (const OptionSpec& o : command_.options) {
        if (o.shortName == arg[i]) found = &o;
      }
      if (found == nullptr) {
        error(std::string("-") + arg[i], msg::kNoSuchOption);
        continue;
      }
      if (found->kind == OptionSpec::Kind::Switch) {
        setSwitch(*found, true);
        continue;
      }
      if (i + 1 < arg.size()) return take(*found, arg.substr(i + 1));
      return takeNext(*found);
    }
  }

  void setSwitch(const OptionSpec& o, bool on) { *o.flag = on; }

  // The value is the next argument, whatever it looks like ("--fm-reduction -1").
  void takeNext(const OptionSpec& o) {
    if (next_ >= args_.size()) return error(o.longName, msg::text(msg::Id::MissingValue));
    take(o, args_[next_++]);
  }

  void take(const OptionSpec& o, const std::string& value) {
    for (const OptionSpec* seen : given_) {
      if (seen == &o) return error(o.longName, msg::text(msg::Id::GivenTwice));
    }
    given_.push_back(&o);
    if (o.kind == OptionSpec::Kind::Text) {
      if (value.empty()) return error(o.longName, msg::text(msg::Id::EmptyValue));
      *o.text = value;
      return;
    }
    int number = 0;
    if (!parseWholeNumber(value, number)) return error(o.longName + " " + value, msg::kNotAWholeNumber);
    if (!o.range.contains(number)) return error(o.longName + " " + value, o.range.outOfRange());
    *o.number = number;
  }

  const CommandSpec& command_;
  const std::vector<std::string>& args_;
  bool& helpWanted_;
  std::size_t next_ = 0;
  std::vector<const OptionSpec*> given_;
  std::vector<std::string> errors_;
};

}  // namespace

CommandSpec commandSpec(std::string name, msg::Id summary, msg::Id argumentHelp, msg::Id footer) {
  CommandSpec c;
  c.name = std::move(name);
  c.summary = msg::text(summary);
  c.argumentHelp = msg::text(argumentHelp);
  c.footer = msg::text(footer);
  return c;
}

OptionSpec switchOption(char shortName, std::string longName, std::string negativeName, bool& target,
                        std::string help) {
  OptionSpec o;
  o.shortName = shortName;
  o.longName = std::move(longName);
  o.negativeName = std::move(negativeName);
  o.help = std::move(help);
  o.flag = &target;
  return o;
}

OptionSpec numberOption(char shortName, std::string longName, int& target, const OptionRange& range,
                        const std::string& help, const std::string& defaultText) {
  OptionSpec o;
  o.kind = OptionSpec::Kind::Number;
  o.shortName = shortName;
  o.longName = std::move(longName);
  o.valueName = std::string("N");  // (assigning the literal trips a false -Wrestrict of GCC 12)
  const std::string shown = defaultText.empty() ? std::to_string(target) : defaultText;
  o.help = help;
  if (!help.empty()) o.help += ' ';
  o.help += msg::fill(msg::Id::HelpDefault, {shown});
  o.number = &target;
  o.range = range;
  return o;
}

OptionSpec textOption(char shortName, std::string longName, std::string valueName, std::string& target,
                      std::string help) {
  OptionSpec o;
  o.kind = OptionSpec::Kind::Text;
  o.shortName = shortName;
  o.longName = std::move(longName);
  o.valueName = std::move(valueName);
  o.help = std::move(help);
  o.text = &target;
  return o;
}

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

std::vector<std::string> parseCommandArguments(const CommandSpec& command, const std::vector<std::string>& args,
                                               bool& helpWanted) {
  return ArgumentReader(command, args, helpWanted).read();
}

std::string commandHelp(const CommandSpec& c, bool nested) {
  std::string positionals = helpLine(argumentName(c), c.argumentHelp);
  std::string options;
  if (!nested) {
    options += helpLine("-h,--help", msg::text(msg::Id::HelpHelp));
    options += helpLine("--help-all", msg::text(msg::Id::HelpHelpAll));
  }
  for (const OptionSpec& o : c.options) options += helpLine(optionName(o), o.help);

  const std::string positionalsTitle = std::string(msg::text(msg::Id::HelpPositionals)) + "\n";
  const std::string optionsTitle = std::string(msg::text(msg::Id::HelpOptions)) + "\n";
  if (nested) {
    return c.name + "\n" + indented(c.summary + "\n" + positionalsTitle + positionals + optionsTitle + options);
  }
  return c.summary + "\n" + msg::text(msg::Id::HelpUsage) + " kvtram " + c.name + " " +
         msg::text(msg::Id::HelpOptionsWord) + " " + c.argumentName + "...\n\n" +
         positionalsTitle + positionals + "\n" + optionsTitle + options + "\n" + c.footer + "\n";
}

std::string programHelp(const std::vector<CommandSpec>& commands, bool all) {
  std::string text = std::string(msg::text(msg::Id::HelpProgram)) + "\n" + msg::text(msg::Id::HelpUsage) +
                     " kvtram " + msg::text(msg::Id::HelpOptionsWord) + " " + msg::text(msg::Id::HelpCommandWord) +
                     "\n\n" + msg::text(msg::Id::HelpOptions) + "\n" + helpLine("-h,--help", msg::text(msg::Id::HelpHelp)) +
                     helpLine("--help-all", msg::text(msg::Id::HelpHelpAll)) +
                     helpLine("--version", msg::text(msg::Id::HelpVersion)) + "\n" + msg::text(msg::Id::HelpCommands) +
                     "\n";
  for (const CommandSpec& c : commands) text += all ? commandHelp(c, true) + "\n" : helpLine(c.name, c.summary);
  return text + "\n" + msg::text(msg::Id::HelpFooter) + "\n";
}

}  // namespace kvtram
