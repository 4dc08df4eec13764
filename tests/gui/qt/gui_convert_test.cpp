// Convert: the option checks, the batch off the GUI thread and its message.
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "gui/qt/converter_dialog.h"
#include "gui_support.h"
#include "messages/messages.h"

namespace kvtram::gui {

class ConvertTest : public QObject {
  Q_OBJECT

 private:
  static void setText(ConverterDialog& dialog, int id, const QString& text) {
    qobject_cast<QLineEdit*>(dialog.control(id))->setText(text);
  }

 private slots:
  // The messages below are compared in Japanese.
  void initTestCase() { msg::setLanguage(msg::Language::Japanese); }

  void init() { QVERIFY(folder.isValid()); }

  void eachOptionErrorStopsTheBatchBeforeItsFirstFile() {
    struct Case {
      int id;
      const char* text;
      const char* message;
    };
    const Case cases[] = {
        {1003, "16", "PSG 補整音量が範囲外です ( 0-15 )"},
        {1003, "-1", "PSG 補整音量が範囲外です ( 0-15 )"},
        {1004, "16", "FM音源 補整音量が範囲外です ( 0-15 )"},
        {1004, " -3", "FM音源 補整音量が範囲外です ( 0-15 )"},
        {1010, "0", "ループ数 が範囲外です ( 1-15 )"},
        {1010, "abc", "ループ数 が範囲外です ( 1-15 )"},
        {1010, "16", "ループ数 が範囲外です ( 1-15 )"},
    };
    const QString d = folder.path();
    QVERIFY(writeFile(d + "/real.kv", minimalKvFile()));
    for (const Case& c : cases) {
      RecordingSink sink;
      ConverterDialog dialog(&sink);
      dialog.show();
      QVERIFY(dropOntoList(dialog, fileUrls({d + "/real.kv", d + "/missing1.kv", d + "/missing2.kv"})));
      setText(dialog, c.id, QString::fromUtf8(c.text));
      QVERIFY(convertAndWait(dialog));
      // Only the option's message: no file was read (no missing-file line)
      // and none was written.
      QCOMPARE(sink.messages, std::vector<std::string>{c.message});
      QVERIFY(!QFileInfo::exists(d + "/real.trm"));
    }
  }

  void editTextsAreReadByTheDialogsRule() {
    RecordingSink sink;
    ConverterDialog dialog(&sink);
    dialog.show();
    QVERIFY(dropOntoList(dialog, fileUrls({folder.path() + "/notes.txt"})));
    setText(dialog, 1003, "abc");  // 0, accepted
    setText(dialog, 1004, "15");
    setText(dialog, 1010, "7x");   // 7
    QVERIFY(convertAndWait(dialog));
    QCOMPARE(sink.messages, std::vector<std::string>{"終了しました"});
  }

  void anEmptyListIsDoneWithoutCheckingTheEdits() {
    RecordingSink sink;
    ConverterDialog dialog(&sink);
    dialog.show();
    setText(dialog, 1010, "0");
    QVERIFY(convertAndWait(dialog));
    QCOMPARE(sink.messages, std::vector<std::string>{"終了しました"});
  }

  void realFilesAreConvertedBesideTheirSources() {
    const QString d = folder.path();
    QVERIFY(writeFile(d + "/first.kv", minimalKvFile()));
    QVERIFY(writeFile(d + "/second.kv", minimalKvFile()));
    RecordingSink sink;
    ConverterDialog dialog(&sink);
    dialog.show();
    QVERIFY(dropOntoList(dialog, fileUrls({d + "/second.kv", d + "/first.kv"})));
    QVERIFY(convertAndWait(dialog));
    QCOMPARE(sink.messages, std::vector<std::string>{"終了しました"});
    QVERIFY(QFileInfo(d + "/first.trm").size() > 576);
    QVERIFY(QFileInfo(d + "/second.trm").size() > 576);
  }

  void aMissingFileIsNamedInTheMessage() {
    const QString missing = folder.path() + "/gone.kv";
    RecordingSink sink;
    ConverterDialog dialog(&sink);
    dialog.show();
    QVERIFY(dropOntoList(dialog, fileUrls({missing})));
    QVERIFY(convertAndWait(dialog));
    QCOMPARE(sink.messages.size(), std::size_t{1});
    QCOMPARE(fromBytes(sink.messages[0]), missing + " : ファイルが見つかりません");
  }

  void whileTheBatchRunsTheDialogIsBusyAndTellsTheFile() {
    RecordingSink sink;
    ConverterDialog dialog(&sink);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QString d = folder.path();
    QVERIFY(dropOntoList(dialog, fileUrls({d + "/a.kv", d + "/skipped.txt", d + "/b.kv"})));
    QSignalSpy progress(&dialog, &ConverterDialog::progressChanged);
    QSignalSpy finished(&dialog, &ConverterDialog::conversionFinished);
    QTest::mouseClick(dialog.control(1001), Qt::LeftButton);
    // The batch's end reaches the dialog through its event loop, so until the
    // loop runs again the batch counts as running.
    QVERIFY(dialog.isConverting());
    for (int id = 1000; id <= 1010; ++id) QVERIFY(!dialog.control(id)->isEnabled());
    QVERIFY(dialog.progressLine()->isVisible());
    dialog.reject();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());

    QVERIFY(finished.count() > 0 || finished.wait(10000));
    QVERIFY(!dialog.isConverting());
    for (int id = 1000; id <= 1010; ++id) QVERIFY(dialog.control(id)->isEnabled());
    QVERIFY(!dialog.progressLine()->isVisible());
    QVERIFY(dialog.isVisible());
    // One line per ".kv" file, counted over the whole list.
    QCOMPARE(progress.count(), 2);
    QCOMPARE(progress[0][0].toString(), "変換中 1 / 3 : " + d + "/a.kv");
    QCOMPARE(progress[1][0].toString(), "変換中 3 / 3 : " + d + "/b.kv");
  }

  void theMessageBoxHasTheCaptionAndAnOkButton() {
    ConverterDialog dialog;  // real message boxes
    dialog.show();
    QString caption, text;
    QList<QAbstractButton*> buttons;
    bool seen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || seen) return;
      seen = true;
      caption = box->windowTitle();
      text = box->text();
      buttons = box->buttons();
      if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->click();
    });
    poll.start(10);
    QVERIFY(convertAndWait(dialog));
    QVERIFY(seen);
    QCOMPARE(caption, QStringLiteral("Kv_TRAM"));
    QCOMPARE(text, QStringLiteral("終了しました"));
    QCOMPARE(buttons.size(), 1);
  }

 private:
  QTemporaryDir folder;
};

}  // namespace kvtram::gui

QTEST_MAIN(kvtram::gui::ConvertTest)
#include "gui_convert_test.moc"
