// Closing the dialog: Exit, Enter and Escape; Enter on a button presses it.
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "gui/qt/converter_dialog.h"
#include "gui_support.h"
#include "messages/messages.h"

namespace kvtram::gui {

class KeysTest : public QObject {
  Q_OBJECT

 private:
  static void open(ConverterDialog& dialog) {
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
  }

 private slots:
  // The messages below are compared in Japanese.
  void initTestCase() { msg::setLanguage(msg::Language::Japanese); }

  // Enter closes from every control but a push button (the dialog has no
  // default button), also the keypad's Enter.
  void enterCloses() {
    const std::pair<int, Qt::Key> cases[] = {
        {1003, Qt::Key_Return}, {1004, Qt::Key_Return}, {1010, Qt::Key_Enter},
        {1000, Qt::Key_Return}, {1006, Qt::Key_Enter}};
    for (const auto& [id, key] : cases) {
      RecordingSink sink;
      ConverterDialog dialog(&sink);
      open(dialog);
      QWidget* control = dialog.control(id);
      control->setFocus();
      QSignalSpy finished(&dialog, &QDialog::finished);
      QTest::keyClick(control, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
      QVERIFY2(finished.count() == 1 && !dialog.isVisible(), qPrintable(QString::number(id)));
      QVERIFY(sink.messages.empty());
    }
  }

  void escapeCloses() {
    RecordingSink sink;
    ConverterDialog dialog(&sink);
    open(dialog);
    dialog.control(1003)->setFocus();
    QTest::keyClick(dialog.control(1003), Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
  }

  void exitCloses() {
    RecordingSink sink;
    ConverterDialog dialog(&sink);
    open(dialog);
    QTest::mouseClick(dialog.control(1002), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QVERIFY(sink.messages.empty());
  }

  void enterOnConvertConvertsAndStaysOpen() {
    RecordingSink sink;
    ConverterDialog dialog(&sink);
    open(dialog);
    QSignalSpy done(&dialog, &ConverterDialog::conversionFinished);
    dialog.control(1001)->setFocus();
    QTest::keyClick(dialog.control(1001), Qt::Key_Return);
    QVERIFY(done.count() > 0 || done.wait(10000));
    QVERIFY(dialog.isVisible());
    QCOMPARE(sink.messages, std::vector<std::string>{"終了しました"});
  }
};

}  // namespace kvtram::gui

QTEST_MAIN(kvtram::gui::KeysTest)
#include "gui_keys_test.moc"
