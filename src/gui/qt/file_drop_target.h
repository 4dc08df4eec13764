// Drops of local files onto the dialog: one filter for every widget that
// takes them (the dialog itself and the list box's viewport, whose item view
// would otherwise refuse them), so that a drop anywhere in the window is the
// same drop.
#pragma once

#include <QMimeData>
#include <QObject>

#include <string>
#include <vector>

class QWidget;

namespace kvtram::gui {

// The local file paths of a drag's data, in the order the desktop gave them
// (as the file system's bytes); URLs that are not local files are left out.
std::vector<std::string> localFilePaths(const QMimeData* data);
// Whether a drag carries at least one local file.
bool carriesLocalFiles(const QMimeData* data);

class FileDropTarget : public QObject {
  Q_OBJECT

 public:
  explicit FileDropTarget(QObject* parent = nullptr) : QObject(parent) {}

  // `widget` takes drops, and its drag events come here.
  void watch(QWidget* widget);
  // Whether drops are taken at the moment (not while a batch runs).
  void setTaken(bool taken) { taken_ = taken; }

 signals:
  void filesDropped(const std::vector<std::string>& paths);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool taken_ = true;
};

}  // namespace kvtram::gui
