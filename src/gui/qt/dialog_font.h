// The dialog font and the dialog units it defines.
#pragma once

#include <QFont>
#include <QStringList>

#include "app/dialog_model.h"

namespace kvtram::gui {

// The Japanese Gothic faces that stand in for the dialog's face where it is
// not installed, proportional one first (its kana and Latin letters are
// proportional like the dialog face's).
QStringList dialogFontSubstitutes();

// Makes the dialog face resolve to the installed Japanese Gothic. Safe to call
// more than once.
void installDialogFontSubstitutes();

// The dialog's font: the template's face and point size.
QFont dialogFont(const kvtram::DialogTemplate& dialog);

// The base units that `font` gives to dialog units.
kvtram::DialogBaseUnits dialogBaseUnits(const QFont& font);

}  // namespace kvtram::gui
