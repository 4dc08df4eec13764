// kvtram-gui: the converter's dialog. The program ends when the dialog closes.
#include <QApplication>

#include "gui/converter_dialog.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kvtram-gui"));
  QApplication::setApplicationDisplayName(QString::fromUtf8(kvtram::kAppCaption));
  QApplication::setDesktopFileName(QStringLiteral("kvtram-gui"));
  QApplication::setWindowIcon(kvtram::gui::applicationIcon());

  kvtram::gui::ConverterDialog dialog;
  dialog.exec();
  return 0;
}
