#include "cli/commands.h"

#ifdef _WIN32
#include "io/utf16.h"

// Windows hands the arguments over as UTF-16 whatever the code page; they
// become UTF-8 like every text inside the program.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) {
    const std::wstring_view arg(argv[i]);
    args.push_back(kvtram::utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(arg.data()), arg.size())));
  }
  return kvtram::runCommandLine(args);
}
#else
int main(int argc, char** argv) { return kvtram::runCommandLine(argc, argv); }
#endif
