// The list box of the dialog: shows the dropped paths and takes drops of
// local files itself, so that a drop onto the list behaves like a drop onto
// the rest of the dialog.
#pragma once

#include <QListWidget>
#include <QMimeData>
#include <QStringList>

#include <string>
#include <vector>

namespace kvtram::gui {

// The local file paths of a drag's data, in the order the desktop gave them
// (as the file system's bytes); URLs that are not local files are left out.
std::vector<std::string> localFilePaths(const QMimeData* data);
// Whether a drag carries at least one local file.
bool carriesLocalFiles(const QMimeData* data);

class FileDropList : public QListWidget {
  Q_OBJECT

 public:
  explicit FileDropList(QWidget* parent = nullptr);

  // Whether drops are taken at the moment (not while a batch runs).
  void setDropsTaken(bool taken) { dropsTaken_ = taken; }

 signals:
  void filesDropped(const QMimeData* data);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  bool dropsTaken_ = true;
};

}  // namespace kvtram::gui
