// kvtram-gui.exe: the converter's dialog. The program ends when it closes.
#include <windows.h>

#include <commctrl.h>

#include "gui/win32/converter_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  kvtram::win32::runConverterDialog(instance);
  return 0;
}
