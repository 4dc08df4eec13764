// Runs the command line in-process, as `kvtram ARGS...`, and keeps what it printed.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace kvtram {

struct Outcome {
  int status;
  std::string out, err;
};

inline Outcome run(std::vector<std::string> args) {
  args.insert(args.begin(), "kvtram");
  std::ostringstream out, err;
  int status = runCommandLine(args, out, err);
  return {status, out.str(), err.str()};
}

}  // namespace kvtram
