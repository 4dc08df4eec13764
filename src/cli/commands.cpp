#include "cli/commands.h"

#include <cstdio>

namespace kvtram {

int runCommandLine(int, char**) {
  std::fputs("kvtram: not yet available\n", stderr);
  return 2;
}

}  // namespace kvtram
