#include "gui/qt/message_box_sink.h"

#include <QMessageBox>

#include "messages/dialog_texts.h"

namespace kvtram::gui {

void MessageBoxSink::showMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(msg::kAppCaption.c_str()), QString::fromUtf8(text),
                  QMessageBox::Ok, parent_);
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
}

}  // namespace kvtram::gui
