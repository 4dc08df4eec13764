// The `kvtram` command line: convert, info and dump.
#pragma once

namespace kvtram {

// Runs the command line and returns the process exit status:
// 0 success, 1 a file failed, 2 bad arguments.
int runCommandLine(int argc, char** argv);

}  // namespace kvtram
