// The converter's native Windows dialog over kvtram::DialogModel, made from
// the model's window template. Drops arrive as WM_DROPFILES; Convert runs the
// batch on a thread of its own while the controls are disabled and a
// progress line tells which file is being converted; every message goes to a
// message box with the caption "Kv_TRAM" and an OK button.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kvtram::win32 {

// What the batch's thread posts to the dialog: lParam is a
// std::function<void()>* to run on the dialog's thread.
inline constexpr UINT kTaskMessage = WM_APP + 1;

// The id of the progress line, a static control made when the dialog opens.
inline constexpr int kIdProgress = 1100;

// Runs the dialog modally (its icon from the resources of `instance`, the
// program's own) with `paths` in the list as if they had been dropped, and
// returns when it is closed.
void runConverterDialog(HINSTANCE instance, const std::vector<std::string>& paths = {});

}  // namespace kvtram::win32
