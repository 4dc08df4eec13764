#include "gui_support.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "gui/qt/converter_dialog.h"

namespace kvtram::gui {

QList<QUrl> fileUrls(const QStringList& paths) {
  QList<QUrl> urls;
  for (const QString& path : paths) urls.append(QUrl::fromLocalFile(path));
  return urls;
}

bool dragAndDrop(QWidget* target, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &move);
  if (!move.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

bool dropOntoList(ConverterDialog& dialog, const QList<QUrl>& urls) {
  QSignalSpy handled(&dialog, &ConverterDialog::dropHandled);
  auto* list = qobject_cast<QListWidget*>(dialog.control(kvtram::kIdFileList));
  if (!dragAndDrop(list->viewport(), urls)) return false;
  return handled.count() > 0 || handled.wait(10000);
}

bool convertAndWait(ConverterDialog& dialog, int timeoutMs) {
  QSignalSpy finished(&dialog, &ConverterDialog::conversionFinished);
  auto* convert = qobject_cast<QPushButton*>(dialog.control(kvtram::kIdConvert));
  QTest::mouseClick(convert, Qt::LeftButton);
  return finished.count() > 0 || finished.wait(timeoutMs);
}

QStringList listTexts(const ConverterDialog& dialog) {
  auto* list = qobject_cast<QListWidget*>(dialog.control(kvtram::kIdFileList));
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) texts.append(list->item(i)->text());
  return texts;
}

QByteArray minimalKvFile() {
  QByteArray bytes(57, '\0');
  // 0: format version 0 and no PCM channels; 1-5: zero.
  for (int i = 6; i < 56; ++i) bytes[i] = ' ';  // title (42 bytes), sample file name (8)
  bytes[56] = 0;                                // no samples
  const char stream[] = {'\x40', '\x07', '\x38', '\xFF', '\xFE'};
  bytes.append(stream, sizeof stream);
  return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return file.write(bytes) == bytes.size();
}

}  // namespace kvtram::gui
