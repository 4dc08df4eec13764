// kvtram-gui: the converter's dialog. The program ends when the dialog closes.
#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "gui/qt/converter_dialog.h"
#include "io/user_language.h"
#include "messages/dialog_texts.h"

#ifndef KVTRAM_VERSION
#define KVTRAM_VERSION "unknown"
#endif

namespace {

void print(std::FILE* stream, const std::string& text) {
  std::fputs((text + "\n").c_str(), stream);
  std::fflush(stream);
}

}  // namespace

int main(int argc, char** argv) {
  kvtram::msg::setLanguage(kvtram::userLanguage());
  // The command line is read before Qt sees it, so that --help and --version
  // need no display.
  const kvtram::DialogArguments arguments =
      kvtram::parseDialogArguments(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  switch (arguments.action) {
    case kvtram::DialogArguments::Action::Help:
      print(stdout, arguments.text);
      return 0;
    case kvtram::DialogArguments::Action::Version:
      print(stdout, kvtram::msg::dialogVersion(KVTRAM_VERSION));
      return 0;
    case kvtram::DialogArguments::Action::Refuse:
      print(stderr, arguments.text);
      return kvtram::kDialogArgumentsRefused;
    case kvtram::DialogArguments::Action::Open:
      break;
  }

  // Qt is given the program's name only: every argument is a path.
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  QApplication::setApplicationName(QStringLiteral("kvtram-gui"));
  QApplication::setApplicationDisplayName(QString::fromUtf8(kvtram::msg::kAppCaption.c_str()));
  QApplication::setDesktopFileName(QStringLiteral("kvtram-gui"));
  QApplication::setWindowIcon(kvtram::gui::applicationIcon());

  kvtram::gui::ConverterDialog dialog;
  // Files given on the command line ("Open with", a drop onto the program's
  // icon) start in the list as if they had been dropped.
  if (!arguments.paths.empty()) dialog.openFiles(arguments.paths);
  dialog.exec();
  return 0;
}
