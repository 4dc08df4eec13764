#include "gui/message_box_sink.h"

#include <QMessageBox>

namespace kvtram::gui {

void MessageBoxSink::showMessage(const std::string& text) {
  const QString message = QString::fromUtf8(text);
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kvtram::kAppCaption), message,
                  QMessageBox::Ok, parent_);
  const QStringList lines = message.split(QLatin1Char('\n'));
  if (lines.size() > kMaxShownLines) {
    box.setText(lines.mid(0, kMaxShownLines).join(QLatin1Char('\n')) + QStringLiteral("\n…"));
    box.setDetailedText(message);
  }
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
}

}  // namespace kvtram::gui
