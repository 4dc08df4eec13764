// The converter's one window: the Qt dialog over kvtram::DialogModel.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QMap>
#include <QPointer>

#include <string>
#include <vector>

#include "app/dialog_model.h"
#include "gui/qt/message_box_sink.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace kvtram::gui {

class CheckBoxStyle;
class FileDropTarget;

// The application's icon in every size it is drawn in.
QIcon applicationIcon();

// The dialog of the window template: every control carries its id as its
// object name ("1000" ...) and as the property "controlId" (-1 for labels).
// Convert runs the batch on a thread of its own (DialogModel::pressConvert);
// meanwhile the controls are disabled, a progress line shows which file is
// being converted and the dialog cannot be closed.
class ConverterDialog : public QDialog, private kvtram::DialogView {
  Q_OBJECT

 public:
  // Messages go to `sink`, or to message boxes over the dialog when it is null.
  explicit ConverterDialog(kvtram::MessageSink* sink = nullptr, QWidget* parent = nullptr);
  ~ConverterDialog() override;

  // The control with the given id (nullptr for an unknown id).
  QWidget* control(int id) const { return controls_.value(id, nullptr); }
  // The line under the controls that tells the progress of a running batch.
  QLabel* progressLine() const { return progress_; }
  const kvtram::DialogModel& model() const { return model_; }
  const kvtram::DialogBaseUnits& baseUnits() const { return baseUnits_; }
  bool isConverting() const { return model_.converting(); }

  // Fills the list as a drop of these paths would (the files the program is
  // started with).
  void openFiles(const std::vector<std::string>& paths) { takeDrop(paths); }

  // Closing is refused while a batch runs.
  void done(int result) override;

 signals:
  // A drop has been taken into the list (or refused as too large).
  void dropHandled();
  // The progress line now tells `text`.
  void progressChanged(const QString& text);
  // A batch has ended and its message has been shown.
  void conversionFinished();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void buildControls();
  QWidget* makeControl(const kvtram::ControlTemplate& spec);
  void showStartValues();
  void takeDrop(const std::vector<std::string>& paths);

  // DialogView
  kvtram::OptionControls readControls() const override;
  void showFiles(const std::vector<std::string>& paths) override;
  void setControlsEnabled(bool enabled) override;
  void showBusy(bool busy) override;
  void showProgress(const std::string& line) override;
  void saveFocus() override { focusBefore_ = focusWidget(); }
  void restoreFocus() override;
  void batchFinished() override { emit conversionFinished(); }
  void post(std::function<void()> task) override;

  MessageBoxSink boxes_;
  kvtram::DialogModel model_;
  kvtram::DialogBaseUnits baseUnits_;
  QMap<int, QWidget*> controls_;
  QListWidget* list_ = nullptr;
  QLineEdit* psgEdit_ = nullptr;
  QLineEdit* fmEdit_ = nullptr;
  QLineEdit* loopEdit_ = nullptr;
  QCheckBox* useSccI_ = nullptr;
  QCheckBox* strictMid_ = nullptr;
  QCheckBox* strictHigh_ = nullptr;
  QCheckBox* strictMidHigh_ = nullptr;
  QCheckBox* highQuality_ = nullptr;
  QLabel* progress_ = nullptr;
  CheckBoxStyle* checkBoxStyle_ = nullptr;
  FileDropTarget* drops_ = nullptr;
  QPointer<QWidget> focusBefore_;
};

}  // namespace kvtram::gui
