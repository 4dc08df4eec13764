// kvtram-gui: the converter's dialog. The program ends when the dialog closes.
#include <QApplication>
#include <QFile>
#include <QStringList>

#include <string>
#include <vector>

#include "gui/converter_dialog.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kvtram-gui"));
  QApplication::setApplicationDisplayName(QString::fromUtf8(kvtram::kAppCaption));
  QApplication::setDesktopFileName(QStringLiteral("kvtram-gui"));
  QApplication::setWindowIcon(kvtram::gui::applicationIcon());

  kvtram::gui::ConverterDialog dialog;
  // Files given on the command line ("Open with", a drop onto the program's
  // icon) start in the list as if they had been dropped.
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) {
    std::vector<std::string> paths;
    for (qsizetype i = 1; i < arguments.size(); ++i) paths.push_back(QFile::encodeName(arguments[i]).toStdString());
    dialog.openFiles(paths);
  }
  dialog.exec();
  return 0;
}
