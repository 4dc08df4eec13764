// The `kvtram` command line: convert, info and dump. Each command writes to
// the streams it is given, so the tests run them in-process.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "app/options.h"

namespace kvtram {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFileFailed = 1;
inline constexpr int kExitBadArguments = 2;

struct ConvertArgs {
  ConversionOptions options;
  bool quiet = false;
  bool showProgress = false;  // a progress line per file on `err` (set for terminals)
  std::vector<std::string> files;
};
int runConvert(const ConvertArgs& args, std::ostream& out, std::ostream& err);

struct InfoArgs {
  int loopCount = 2;
  bool highQuality = false;
  std::vector<std::string> files;
};
int runInfo(const InfoArgs& args, std::ostream& out, std::ostream& err);

struct DumpArgs {
  std::string file;
  int waveCount = -1;  // < 0: inferred from bank 0
};
int runDump(const DumpArgs& args, std::ostream& out, std::ostream& err);

// Parses the arguments (argv[0] is the program name) and runs the command.
int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   bool errIsTerminal = false);
int runCommandLine(int argc, char** argv);

}  // namespace kvtram
