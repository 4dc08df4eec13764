#include <ostream>

#include "cli/commands.h"

namespace kvtram {

int runDump(const DumpArgs&, std::ostream&, std::ostream& err) {
  err << "dump: not yet available\n";
  return kExitBadArguments;
}

}  // namespace kvtram
