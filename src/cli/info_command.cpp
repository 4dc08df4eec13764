#include <ostream>

#include "cli/commands.h"

namespace kvtram {

int runInfo(const InfoArgs&, std::ostream&, std::ostream& err) {
  err << "info: not yet available\n";
  return kExitBadArguments;
}

}  // namespace kvtram
