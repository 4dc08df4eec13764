// The Windows side of the interrupt watch: a console control handler, which
// Windows runs on a thread of its own.
#include "io/interrupts.h"
#include "io/interrupts_shared.h"

#include <windows.h>

namespace kvtram::interrupts_shared {

namespace {

// The numbers of the C runtime's signals: SIGINT, SIGBREAK; 1 (SIGHUP
// elsewhere) for the console's closing, logoff and shutdown.
int signalOf(DWORD event) { return event == CTRL_C_EVENT ? 2 : event == CTRL_BREAK_EVENT ? 21 : 1; }

void removeFile(const char* path) {
  // The writer opens its temporary file with FILE_SHARE_DELETE: the file
  // goes when the process ends and closes it.
  wchar_t wide[kPathBytes];
  if (::MultiByteToWideChar(CP_UTF8, 0, path, -1, wide, static_cast<int>(kPathBytes)) > 0) ::DeleteFileW(wide);
}

void pauseBriefly() { ::Sleep(1); }

BOOL WINAPI onConsoleEvent(DWORD event) {
  Registry* registry = current.load();
  if (registry == nullptr) return FALSE;
  const int signal = signalOf(event);
  int none = 0;
  // Windows ends the process soon after its console closes: end now.
  if (signal != 1 && registry->signal.compare_exchange_strong(none, signal)) return TRUE;
  removeTemporaryFiles(*registry, removeFile, pauseBriefly);
  ::ExitProcess(static_cast<UINT>(128 + signal));
}

}  // namespace

void installHandlers() { ::SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

void removeHandlers() { ::SetConsoleCtrlHandler(onConsoleEvent, FALSE); }

}  // namespace kvtram::interrupts_shared
