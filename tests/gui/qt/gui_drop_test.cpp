// Dropping files onto the dialog: what is taken, how it is shown and kept.
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "gui/qt/converter_dialog.h"
#include "gui_support.h"
#include "messages/messages.h"

namespace kvtram::gui {

class DropTest : public QObject {
  Q_OBJECT

 private:
  static QStringList numbered(const QString& folder, int count) {
    QStringList paths;
    for (int i = 0; i < count; ++i) paths.append(folder + "/" + QString::number(i) + ".kv");
    return paths;
  }

 private slots:
  // The messages below are compared in Japanese.
  void initTestCase() { msg::setLanguage(msg::Language::Japanese); }

  void init() { QVERIFY(folder.isValid()); }

  void aDropReplacesTheEarlierOne() {
    RecordingSink sink;
    ConverterDialog dialog(&sink);
    const QString d = folder.path();
    QVERIFY(dropOntoList(dialog, fileUrls({d + "/1.kv", d + "/2.kv", d + "/3.kv"})));
    QCOMPARE(listTexts(dialog).size(), 3);
    QVERIFY(dropOntoList(dialog, fileUrls({d + "/4.kv"})));
    QCOMPARE(listTexts(dialog), QStringList{d + "/4.kv"});
    QCOMPARE(dialog.model().files().size(), std::size_t{1});
    QVERIFY(sink.messages.empty());
  }

  void theDialogOutsideTheListTakesDropsToo() {
    RecordingSink sink;
    ConverterDialog dialog(&sink);
    QSignalSpy handled(&dialog, &ConverterDialog::dropHandled);
    QVERIFY(dragAndDrop(&dialog, fileUrls({folder.path() + "/a.kv"})));
    QVERIFY(handled.count() > 0 || handled.wait(5000));
    QCOMPARE(listTexts(dialog), QStringList{folder.path() + "/a.kv"});
  }

  void onlyLocalFilesAreTaken() {
    RecordingSink sink;
    ConverterDialog dialog(&sink);
    auto* list = qobject_cast<QListWidget*>(dialog.control(1000));
    QVERIFY(dropOntoList(dialog, fileUrls({folder.path() + "/keep.kv"})));
    // A drag of nothing but remote URLs is refused and leaves the list alone.
    const QList<QUrl> remote{QUrl("https://example.org/a.kv"), QUrl("ftp://example.org/b.kv")};
    QVERIFY(!dragAndDrop(list->viewport(), remote));
    QVERIFY(!dragAndDrop(&dialog, remote));
    QTest::qWait(20);
    QCOMPARE(listTexts(dialog), QStringList{folder.path() + "/keep.kv"});
    // In a mixed drag the local files are taken, the rest left out.
    QList<QUrl> mixed = remote;
    mixed.insert(1, QUrl::fromLocalFile(folder.path() + "/x.kv"));
    QVERIFY(dropOntoList(dialog, mixed));
    QCOMPARE(listTexts(dialog), QStringList{folder.path() + "/x.kv"});
  }

  void sortedOnShowConvertedInDropOrder() {
    RecordingSink sink;
    ConverterDialog dialog(&sink);
    dialog.show();
    const QString d = folder.path();
    // Neither file exists, so the message names them in the order they were tried.
    QVERIFY(dropOntoList(dialog, fileUrls({d + "/b.kv", d + "/a.kv"})));
    QCOMPARE(listTexts(dialog), (QStringList{d + "/a.kv", d + "/b.kv"}));
    QVERIFY(convertAndWait(dialog));
    QCOMPARE(sink.messages.size(), std::size_t{1});
    const QStringList lines = fromBytes(sink.messages[0]).split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].startsWith(d + "/b.kv"), qPrintable(lines[0]));
    QVERIFY2(lines[1].startsWith(d + "/a.kv"), qPrintable(lines[1]));
    // The list box keeps the drop after the conversion.
    QCOMPARE(listTexts(dialog), (QStringList{d + "/a.kv", d + "/b.kv"}));
  }

  void aFolderStandsForTheKvFilesDirectlyInIt() {
    RecordingSink sink;
    ConverterDialog dialog(&sink);
    const QString d = folder.path();
    QVERIFY(QDir(d).mkpath("songs/deeper"));
    for (const char* name : {"songs/b.kv", "songs/A.KV", "songs/notes.txt", "songs/deeper/c.kv"}) {
      QFile file(d + "/" + name);
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(dropOntoList(dialog, fileUrls({d + "/songs", d + "/x.kv"})));
    QCOMPARE(dialog.model().files().conversionOrder(),
             (std::vector<std::string>{QFile::encodeName(d + "/songs/A.KV").toStdString(),
                                       QFile::encodeName(d + "/songs/b.kv").toStdString(),
                                       QFile::encodeName(d + "/x.kv").toStdString()}));
    // The files the program is started with are taken the same way.
    ConverterDialog started(&sink);
    started.openFiles({QFile::encodeName(d + "/songs").toStdString()});
    QCOMPARE(listTexts(started), (QStringList{d + "/songs/A.KV", d + "/songs/b.kv"}));
    QVERIFY(sink.messages.empty());
  }

  void nineThousandNineHundredNinetyNineAreTaken() {
    RecordingSink sink;
    ConverterDialog dialog(&sink);
    QVERIFY(dropOntoList(dialog, fileUrls(numbered(folder.path(), 9999))));
    QCOMPARE(listTexts(dialog).size(), 9999);
    QVERIFY(sink.messages.empty());
  }

  void tenThousandAreRefused() {
    RecordingSink sink;
    ConverterDialog dialog(&sink);
    dialog.show();
    QVERIFY(dropOntoList(dialog, fileUrls({folder.path() + "/earlier.kv"})));
    QVERIFY(dropOntoList(dialog, fileUrls(numbered(folder.path(), 10000))));
    QCOMPARE(sink.messages, std::vector<std::string>{"ファイルが多過ぎます"});
    QCOMPARE(listTexts(dialog).size(), 0);
    // Nothing is left to convert.
    QVERIFY(convertAndWait(dialog));
    QCOMPARE(sink.messages.back(), std::string("終了しました"));
  }

 private:
  QTemporaryDir folder;
};

}  // namespace kvtram::gui

QTEST_MAIN(kvtram::gui::DropTest)
#include "gui_drop_test.moc"
