#include "cli/commands.h"

int main(int argc, char** argv) { return kvtram::runCommandLine(argc, argv); }
