// The `kvtram` command line: convert, info and dump. Each command writes to
// the streams it is given, so the tests run them in-process.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <vector>

#include "app/options.h"
#include "cli/command_line.h"

namespace kvtram {

class Workspace;

// Where the command line's streams go, for the choices that depend on it.
struct Terminals {
  bool out = false;
  bool err = false;
};

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFileFailed = 1;
inline constexpr int kExitBadArguments = 2;
inline constexpr int kExitNothingConverted = 3;  // no file failed, but none was converted either

struct ConvertArgs {
  ConversionOptions options;
  bool quiet = false;         // wins over verbose
  bool verbose = false;       // the size report of every image
  bool recursive = false;     // folders: their sub-folders too
  std::string outputFolder;   // "" writes every image beside its song
  int jobs = 1;
  bool showProgress = false;  // a running progress line on `err` (set for terminals)
  bool listImages = false;    // each written image and its size on `out` (set for non-terminals)
  std::vector<std::string> files;
};
int runConvert(const ConvertArgs& args, std::ostream& out, std::ostream& err);

struct InfoArgs {
  ConversionOptions options;  // the image's size depends on them all
  bool recursive = false;     // folders: their sub-folders too
  std::vector<std::string> files;
};
int runInfo(const InfoArgs& args, std::ostream& out, std::ostream& err);
// What `info` prints for one file, worked out in `workspace`; returns "" or
// the failure text.
std::string describeSong(Workspace& workspace, const std::string& path, const InfoArgs& args, std::ostream& out);

struct DumpArgs {
  std::vector<std::string> files;
  int waveCount = -1;  // < 0: inferred from bank 0
};
int runDump(const DumpArgs& args, std::ostream& out, std::ostream& err);
// The listing of an image already in memory; `name` stands for its file.
int dumpImage(std::span<const std::uint8_t> file, const std::string& name, int waveCount, std::ostream& out,
              std::ostream& err);

// Each command: its options, bound to its arguments, and its handler.
CommandSpec convertCommand(Terminals terminals);
CommandSpec infoCommand();
CommandSpec dumpCommand();
// The options that shape the image, alike for convert and info.
void addConversionOptions(std::vector<OptionSpec>& options, ConversionOptions& o);

// Parses the arguments (argv[0] is the program name) and runs the command.
int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   Terminals terminals = {});
int runCommandLine(int argc, char** argv);
// The same on the process's standard streams, the arguments in UTF-8.
int runCommandLine(const std::vector<std::string>& args);

}  // namespace kvtram
