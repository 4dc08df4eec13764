// kvtram-gui.exe: the converter's dialog. The program ends when it closes.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <ostream>
#include <string>
#include <vector>

#include "app/dialog_model.h"
#include "gui/win32/converter_window.h"
#include "io/file_io.h"
#include "io/user_language.h"
#include "io/utf16.h"
#include "messages/dialog_texts.h"

#ifndef KVTRAM_VERSION
#define KVTRAM_VERSION "unknown"
#endif

namespace {

// The arguments after the program's name, as UTF-8.
std::vector<std::string> arguments() {
  std::vector<std::string> args;
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (argv == nullptr) return args;
  for (int i = 1; i < count; ++i) args.push_back(kvtram::fromWide(argv[i]));
  ::LocalFree(argv);
  return args;
}

bool isOpen(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

// A program without a console window writes where its standard handle
// leads (a file, a pipe), else to the console it was started from. Returns
// false when there is neither.
bool reachStandardHandle(DWORD which) {
  if (isOpen(::GetStdHandle(which))) return true;
  if (!::AttachConsole(ATTACH_PARENT_PROCESS) && ::GetLastError() != ERROR_ACCESS_DENIED) return false;
  if (isOpen(::GetStdHandle(which))) return true;
  const HANDLE console = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
  if (!isOpen(console)) return false;
  ::SetStdHandle(which, console);
  return true;
}

// The help, the version or a refusal: on the console or into a redirection
// where there is one, else in a message box, as a Windows user expects of a
// program started from Explorer.
void tell(const std::string& text, bool error) {
  const DWORD which = error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE;
  if (reachStandardHandle(which)) {
    std::ostream& out = error ? kvtram::standardError() : kvtram::standardOutput();
    out << text << '\n' << std::flush;
    return;
  }
  ::MessageBoxW(nullptr, kvtram::toWide(text).c_str(), kvtram::toWide(kvtram::msg::kAppCaption.c_str()).c_str(),
                MB_OK | (error ? MB_ICONERROR : MB_ICONINFORMATION));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  kvtram::msg::setLanguage(kvtram::userLanguage());
  const kvtram::DialogArguments parsed = kvtram::parseDialogArguments(arguments());
  switch (parsed.action) {
    case kvtram::DialogArguments::Action::Help:
      tell(parsed.text, false);
      return 0;
    case kvtram::DialogArguments::Action::Version:
      tell(kvtram::msg::dialogVersion(KVTRAM_VERSION), false);
      return 0;
    case kvtram::DialogArguments::Action::Refuse:
      tell(parsed.text, true);
      return kvtram::kDialogArgumentsRefused;
    case kvtram::DialogArguments::Action::Open:
      break;
  }
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  // Files given on the command line ("Open with", a drop onto the program's
  // icon) start in the list as if they had been dropped.
  kvtram::win32::runConverterDialog(instance, parsed.paths);
  return 0;
}
