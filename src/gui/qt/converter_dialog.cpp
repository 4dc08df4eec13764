#include "gui/qt/converter_dialog.h"

#include <QCheckBox>
#include <QFile>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "gui/qt/check_box_style.h"
#include "gui/qt/dialog_font.h"
#include "gui/qt/file_drop_target.h"

namespace kvtram::gui {

namespace {

QString fromBytes(const std::string& text) { return QString::fromUtf8(text); }

std::string toBytes(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace

QIcon applicationIcon() {
  QIcon icon;
  for (const char* size : {"16", "48", "256"}) {
    icon.addFile(QStringLiteral(":/kvtram/kvtram-gui-%1.png").arg(QLatin1String(size)));
  }
  return icon;
}

ConverterDialog::ConverterDialog(kvtram::MessageSink* sink, QWidget* parent)
    : QDialog(parent),
      boxes_(this),
      model_(sink != nullptr ? *sink : static_cast<kvtram::MessageSink&>(boxes_), this) {
  const kvtram::DialogTemplate& dialog = kvtram::converterDialogTemplate();
  installDialogFontSubstitutes();
  setFont(dialogFont(dialog));
  baseUnits_ = dialogBaseUnits(font());

  // A top-level window of its own (with a task-bar entry), with a caption
  // and a close box but no resizing, minimising or maximising.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowTitle(fromBytes(dialog.caption));
  setWindowIcon(applicationIcon());
  setFixedSize(kvtram::horizontalDluToPixels(dialog.width, baseUnits_),
               kvtram::verticalDluToPixels(dialog.height, baseUnits_));
  setSizeGripEnabled(false);

  drops_ = new FileDropTarget(this);
  drops_->watch(this);
  connect(drops_, &FileDropTarget::filesDropped, this, [this](const std::vector<std::string>& paths) {
    // The drag ends first; the list and any message follow from the event loop.
    QMetaObject::invokeMethod(this, [this, paths] { takeDrop(paths); }, Qt::QueuedConnection);
  });
  buildControls();
}

// The batch's thread posts to this dialog until it ends.
ConverterDialog::~ConverterDialog() { model_.waitForBatch(); }

// A widget for one control of the dialog template, with its behaviour.
QWidget* ConverterDialog::makeControl(const kvtram::ControlTemplate& spec) {
  const QString text = fromBytes(spec.label());
  QWidget* widget = nullptr;
  switch (spec.kind) {
    case kvtram::ControlKind::ListBox: {
      auto* list = new QListWidget(this);
      list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
      list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      list->setSelectionMode(QAbstractItemView::SingleSelection);
      drops_->watch(list->viewport());
      widget = list;
      break;
    }
    case kvtram::ControlKind::PushButton: {
      auto* button = new QPushButton(text, this);
      button->setAutoDefault(false);
      button->setDefault(false);
      widget = button;
      break;
    }
    case kvtram::ControlKind::Edit: {
      auto* edit = new QLineEdit(this);
      // Text starts at the top left of the box, as in a plain edit control.
      edit->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      // A file dropped onto an edit is a drop onto the dialog.
      edit->setAcceptDrops(false);
      widget = edit;
      break;
    }
    case kvtram::ControlKind::Label: {
      auto* label = new QLabel(text, this);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setTextFormat(Qt::PlainText);
      widget = label;
      break;
    }
    case kvtram::ControlKind::CheckBox: {
      auto* box = new QCheckBox(text, this);
      box->setStyle(checkBoxStyle_);
      widget = box;
      break;
    }
  }
  return widget;
}

void ConverterDialog::buildControls() {
  const kvtram::DialogTemplate& dialog = kvtram::converterDialogTemplate();
  checkBoxStyle_ = new CheckBoxStyle;
  checkBoxStyle_->setParent(this);
  QWidget* previous = nullptr;
  for (const kvtram::ControlTemplate& spec : dialog.controls) {
    QWidget* widget = makeControl(spec);
    widget->setGeometry([&] {
      const kvtram::UnitRect r = kvtram::dluToPixels(spec.rect, baseUnits_);
      return QRect(r.x, r.y, r.width, r.height);
    }());
    widget->setProperty("controlId", spec.id);
    if (spec.id != kvtram::kNoControlId) {
      widget->setObjectName(QString::number(spec.id));
      controls_.insert(spec.id, widget);
    }
    if (spec.tabStop) {
      widget->setFocusPolicy(Qt::StrongFocus);
      if (previous != nullptr) QWidget::setTabOrder(previous, widget);
      previous = widget;
    } else {
      widget->setFocusPolicy(Qt::NoFocus);
    }
  }

  list_ = qobject_cast<QListWidget*>(control(kvtram::kIdFileList));
  psgEdit_ = qobject_cast<QLineEdit*>(control(kvtram::kIdPsgVolume));
  fmEdit_ = qobject_cast<QLineEdit*>(control(kvtram::kIdFmVolume));
  loopEdit_ = qobject_cast<QLineEdit*>(control(kvtram::kIdLoopCount));
  useSccI_ = qobject_cast<QCheckBox*>(control(kvtram::kIdUseSccI));
  strictMid_ = qobject_cast<QCheckBox*>(control(kvtram::kIdStrictMid));
  strictHigh_ = qobject_cast<QCheckBox*>(control(kvtram::kIdStrictHigh));
  strictMidHigh_ = qobject_cast<QCheckBox*>(control(kvtram::kIdStrictMidHigh));
  highQuality_ = qobject_cast<QCheckBox*>(control(kvtram::kIdHighQuality));

  showStartValues();

  auto* convert = qobject_cast<QPushButton*>(control(kvtram::kIdConvert));
  auto* exit = qobject_cast<QPushButton*>(control(kvtram::kIdExit));
  connect(convert, &QPushButton::clicked, this, [this] { model_.pressConvert(); });
  connect(exit, &QPushButton::clicked, this, &QDialog::accept);

  progress_ = new QLabel(this);
  progress_->setObjectName(QStringLiteral("progress"));
  progress_->setTextFormat(Qt::PlainText);
  progress_->setFocusPolicy(Qt::NoFocus);
  const kvtram::UnitRect r = kvtram::dluToPixels(dialog.progressLine, baseUnits_);
  progress_->setGeometry(r.x, r.y, r.width, r.height);
  progress_->hide();
}

// The option edits and check boxes as the dialog opens.
void ConverterDialog::showStartValues() {
  const kvtram::OptionControls start = kvtram::startOptionControls();
  psgEdit_->setText(fromBytes(start.psgVolumeText));
  fmEdit_->setText(fromBytes(start.fmVolumeText));
  loopEdit_->setText(fromBytes(start.loopCountText));
  useSccI_->setChecked(start.useSccI);
  strictMid_->setChecked(start.strictMid);
  strictHigh_->setChecked(start.strictHigh);
  strictMidHigh_->setChecked(start.strictMidHigh);
  highQuality_->setChecked(start.highQuality);
}

void ConverterDialog::done(int result) {
  if (!model_.mayClose()) return;
  QDialog::done(result);
}

void ConverterDialog::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if (enter && modifiers == Qt::NoModifier) {
    // No button is the default: Enter presses the button that has the focus
    // and closes the dialog from any other control.
    if (isConverting()) return;
    if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button != nullptr) {
      if (button->isEnabled()) button->click();
      return;
    }
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void ConverterDialog::takeDrop(const std::vector<std::string>& paths) {
  model_.drop(paths);
  emit dropHandled();
}

void ConverterDialog::showFiles(const std::vector<std::string>& paths) {
  QStringList items;
  items.reserve(static_cast<qsizetype>(paths.size()));
  for (const std::string& path : paths) items.append(QFile::decodeName(path.c_str()));
  list_->clear();
  list_->addItems(items);
}

kvtram::OptionControls ConverterDialog::readControls() const {
  kvtram::OptionControls controls;
  controls.psgVolumeText = toBytes(psgEdit_->text());
  controls.fmVolumeText = toBytes(fmEdit_->text());
  controls.loopCountText = toBytes(loopEdit_->text());
  controls.useSccI = useSccI_->isChecked();
  controls.strictMid = strictMid_->isChecked();
  controls.strictHigh = strictHigh_->isChecked();
  controls.strictMidHigh = strictMidHigh_->isChecked();
  controls.highQuality = highQuality_->isChecked();
  return controls;
}

void ConverterDialog::showBusy(bool busy) {
  progress_->clear();
  progress_->setVisible(busy);
  if (busy) {
    setCursor(Qt::BusyCursor);
  } else {
    unsetCursor();
  }
}

void ConverterDialog::showProgress(const std::string& line) {
  const QString text = QString::fromUtf8(line);
  progress_->setText(progress_->fontMetrics().elidedText(text, Qt::ElideMiddle, progress_->width()));
  emit progressChanged(text);
}

void ConverterDialog::restoreFocus() {
  if (focusBefore_ != nullptr) focusBefore_->setFocus();
}

void ConverterDialog::setControlsEnabled(bool enabled) {
  for (QWidget* widget : std::as_const(controls_)) widget->setEnabled(enabled);
  drops_->setTaken(enabled);
}

void ConverterDialog::post(std::function<void()> task) {
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

}  // namespace kvtram::gui
