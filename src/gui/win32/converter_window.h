// The converter's native Windows dialog: template 102 of the resources over
// kvtram::DialogModel. Drops arrive as WM_DROPFILES; Convert runs the batch
// on a worker thread while the controls are disabled and a progress line
// tells which file is being converted; every message goes to a message box
// with the caption "Kv_TRAM" and an OK button.
#pragma once

#include <windows.h>

namespace kvtram::win32 {

// Messages the worker thread posts to the dialog.
inline constexpr UINT kProgressMessage = WM_APP + 1;  // lParam: std::string* (the progress line)
inline constexpr UINT kFinishedMessage = WM_APP + 2;  // lParam: BatchOutcome*

// The id of the progress line, a static control made when the dialog opens.
inline constexpr int kIdProgress = 1100;

// Runs the dialog modally from the resources of `instance` (the program's
// own) and returns when it is closed.
void runConverterDialog(HINSTANCE instance);

}  // namespace kvtram::win32
