// Shows the dialog's messages as modal message boxes.
#pragma once

#include <QPointer>
#include <QWidget>

#include "app/dialog_model.h"

namespace kvtram::gui {

// Each message in a box with the caption "Kv_TRAM" and an OK button, over
// `parent`.
class MessageBoxSink : public kvtram::MessageSink {
 public:
  explicit MessageBoxSink(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }
  void showMessage(const std::string& text) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace kvtram::gui
