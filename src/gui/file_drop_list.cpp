#include "gui/file_drop_list.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace kvtram::gui {

namespace {

bool isLocalFile(const QUrl& url) { return url.isLocalFile() && !url.toLocalFile().isEmpty(); }

}  // namespace

std::vector<std::string> localFilePaths(const QMimeData* data) {
  std::vector<std::string> paths;
  if (data == nullptr || !data->hasUrls()) return paths;
  const QList<QUrl> urls = data->urls();
  paths.reserve(static_cast<std::size_t>(urls.size()));
  for (const QUrl& url : urls) {
    if (isLocalFile(url)) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  }
  return paths;
}

bool carriesLocalFiles(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return false;
  const QList<QUrl> urls = data->urls();
  return std::any_of(urls.begin(), urls.end(), isLocalFile);
}

FileDropList::FileDropList(QWidget* parent) : QListWidget(parent) {
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  setDropIndicatorShown(false);
}

void FileDropList::dragEnterEvent(QDragEnterEvent* event) {
  if (dropsTaken_ && carriesLocalFiles(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

// The item view's own handling would refuse the drag here, as its model
// takes no data.
void FileDropList::dragMoveEvent(QDragMoveEvent* event) {
  if (dropsTaken_ && carriesLocalFiles(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void FileDropList::dragLeaveEvent(QDragLeaveEvent* event) { event->accept(); }

void FileDropList::dropEvent(QDropEvent* event) {
  if (!dropsTaken_ || !carriesLocalFiles(event->mimeData())) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  emit filesDropped(event->mimeData());
}

}  // namespace kvtram::gui
