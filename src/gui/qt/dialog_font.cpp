#include "gui/qt/dialog_font.h"

#include <QFontMetrics>

namespace kvtram::gui {

QStringList dialogFontSubstitutes() {
  return {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
          QStringLiteral("IPA Pゴシック"), QStringLiteral("IPAゴシック")};
}

void installDialogFontSubstitutes() {
  const QString face = QString::fromUtf8(converterDialogTemplate().fontFace);
  const QStringList present = QFont::substitutes(face);
  for (const QString& substitute : dialogFontSubstitutes()) {
    if (!present.contains(substitute)) QFont::insertSubstitution(face, substitute);
  }
}

QFont dialogFont(const kvtram::DialogTemplate& dialog) {
  QFont font(QString::fromUtf8(dialog.fontFace));
  font.setPointSize(dialog.fontPointSize);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

kvtram::DialogBaseUnits dialogBaseUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int alphabetAdvance = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return kvtram::baseUnitsFromFontMetrics(alphabetAdvance, metrics.height());
}

}  // namespace kvtram::gui
