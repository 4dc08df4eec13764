// The model's window template as Windows takes it: an in-memory extended
// dialog template (DLGTEMPLATEEX and its items), so that the layout and the
// labels are written once, in the dialog model, for both front ends.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/dialog_model.h"

namespace kvtram::win32 {

// The face a dialog is drawn with.
struct DialogFace {
  std::wstring name;
  bool systemFace = false;  // the system's dialog face (DS_SHELLFONT)
};

// The template's face where it is installed; else the system's dialog face
// ("MS Shell Dlg", which Windows maps to the face of its own dialogs), so that
// the dialog units follow a font that is there and no label is cut.
DialogFace dialogFace(const DialogTemplate& dialog);

// The width in pixels that a control of the open dialog `window`, made from
// `control`, leaves its text: a label its width, a check box its width less
// the box and the gap beside it, a push button its width less its frame.
int textRoom(HWND window, const ControlTemplate& control);

// Whether the text of `control` drawn with `font` fits its room.
bool textFits(HWND window, const ControlTemplate& control, HFONT font);

// The template of `dialog` drawn with `face`, in WORDs (whose storage is
// aligned for DialogBoxIndirectParamW). The styles are those of a resource
// script: a modal frame, a caption and a system menu with a task-bar button;
// a sorted list box, push buttons, edits, labels and auto check boxes as
// ControlKind says.
std::vector<WORD> buildDialogTemplate(const DialogTemplate& dialog, const DialogFace& face);

}  // namespace kvtram::win32
