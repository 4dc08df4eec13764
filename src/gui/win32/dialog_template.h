// The model's window template as Windows takes it: an in-memory extended
// dialog template (DLGTEMPLATEEX and its items), so that the layout and the
// labels are written once, in the dialog model, for both front ends.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/dialog_model.h"

namespace kvtram::win32 {

// The template of `dialog` with its font face replaced by `fontFace`, in
// WORDs (whose storage is aligned for DialogBoxIndirectParamW). The styles
// are those of a resource script: a modal frame, a caption and a system menu
// with a task-bar button; a sorted list box, push buttons, edits, labels and
// auto check boxes as ControlKind says.
std::vector<WORD> buildDialogTemplate(const DialogTemplate& dialog, const std::wstring& fontFace);

}  // namespace kvtram::win32
