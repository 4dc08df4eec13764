#include "cli/commands.h"
#include "io/user_language.h"

#ifdef _WIN32
#include "io/utf16.h"

// Windows hands the arguments over as UTF-16 whatever the code page; they
// become UTF-8 like every text inside the program.
int wmain(int argc, wchar_t** argv) {
  kvtram::msg::setLanguage(kvtram::userLanguage());
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(kvtram::fromWide(argv[i]));
  return kvtram::runCommandLine(args);
}
#else
int main(int argc, char** argv) {
  kvtram::msg::setLanguage(kvtram::userLanguage());
  return kvtram::runCommandLine(argc, argv);
}
#endif
