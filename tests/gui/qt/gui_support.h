// Helpers of the dialog tests: a message recorder, drops as the desktop sends
// them, KV files to convert, and waiting for the dialog's queued work.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <string>
#include <vector>

#include "app/dialog_model.h"

class QWidget;

namespace kvtram::gui {

class ConverterDialog;

class RecordingSink : public kvtram::MessageSink {
 public:
  void showMessage(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> messages;
};

// file:// URLs of the given local paths.
QList<QUrl> fileUrls(const QStringList& paths);

// Sends a drag of `urls` to `target` as drag-enter, drag-move and drop at its
// centre. Returns whether every step was accepted (an unaccepted step ends
// the drag).
bool dragAndDrop(QWidget* target, const QList<QUrl>& urls);

// Drops onto the list's viewport and waits until the dialog has taken the drop.
bool dropOntoList(ConverterDialog& dialog, const QList<QUrl>& urls);

// Presses Convert and waits until the batch has ended and its message shown.
bool convertAndWait(ConverterDialog& dialog, int timeoutMs = 60000);

// The texts of the list box, top to bottom.
QStringList listTexts(const ConverterDialog& dialog);

// The smallest KV file that converts: no PCM channels, no samples, one PSG
// write, end of frame, end of song.
QByteArray minimalKvFile();

bool writeFile(const QString& path, const QByteArray& bytes);

inline QString fromBytes(const std::string& text) { return QString::fromUtf8(text); }

}  // namespace kvtram::gui
