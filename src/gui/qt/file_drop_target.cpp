#include "gui/qt/file_drop_target.h"

#include <QDropEvent>
#include <QFile>
#include <QUrl>
#include <QWidget>

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

void FileDropTarget::watch(QWidget* widget) {
  widget->setAcceptDrops(true);
  widget->installEventFilter(this);
}

bool FileDropTarget::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
      // Enter and move derive from the drop event.
      auto* drop = static_cast<QDropEvent*>(event);
      if (!taken_ || !carriesLocalFiles(drop->mimeData())) {
        drop->ignore();
        return true;
      }
      drop->acceptProposedAction();
      if (event->type() == QEvent::Drop) emit filesDropped(localFilePaths(drop->mimeData()));
      return true;
    }
    case QEvent::DragLeave:
      event->accept();
      return true;
    default:
      return QObject::eventFilter(watched, event);
  }
}

}  // namespace kvtram::gui
