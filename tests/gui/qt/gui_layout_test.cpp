// The dialog as it opens: the template's controls, the font and the start states.
#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTest>

#include "gui/qt/converter_dialog.h"
#include "gui/qt/dialog_font.h"
#include "gui_support.h"
#include "messages/messages.h"

namespace kvtram::gui {

class LayoutTest : public QObject {
  Q_OBJECT

 private:
  // The template's controls as a person would check them against the window.
  struct Expected {
    int id;
    const char* className;
    const char* text;
    int x, y, w, h;
  };
  static const std::vector<Expected>& expected() {
    static const std::vector<Expected> controls{
        {1000, "QListWidget", "", 20, 20, 260, 50},
        {1001, "QPushButton", "変換", 20, 145, 50, 40},
        {1002, "QPushButton", "終了", 230, 135, 50, 50},
        {1003, "QLineEdit", "1", 130, 125, 40, 20},
        {1004, "QLineEdit", "1", 130, 165, 40, 20},
        {-1, "QLabel", "KV ファイル（複数可）", 20, 10, 128, 8},
        {-1, "QLabel", "PSG 音量減", 130, 115, 45, 8},
        {-1, "QLabel", "FM 音量減", 130, 155, 45, 8},
        {1005, "QCheckBox", "SCC-I 使用", 230, 90, 50, 10},
        {1006, "QCheckBox", "サンプリング計算厳密化(中音)", 20, 80, 99, 10},
        {1007, "QCheckBox", "サンプリング計算厳密化(高音)", 20, 120, 99, 10},
        {1008, "QCheckBox", "サンプリング計算厳密化(中高音)", 20, 100, 106, 10},
        {1009, "QCheckBox", "高音質化（中高音を有効）", 130, 90, 90, 10},
        {1010, "QLineEdit", "2", 230, 110, 30, 15},
        {-1, "QLabel", "ループ", 265, 112, 20, 8},
    };
    return controls;
  }

  static QString textOf(const QWidget* widget) {
    if (auto* b = qobject_cast<const QAbstractButton*>(widget)) return b->text();
    if (auto* e = qobject_cast<const QLineEdit*>(widget)) return e->text();
    if (auto* l = qobject_cast<const QLabel*>(widget)) return l->text();
    return {};
  }

  // The template's controls among the dialog's children, in creation order.
  static QList<QWidget*> templateControls(const ConverterDialog& dialog) {
    QList<QWidget*> widgets;
    for (QWidget* w : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (w->property("controlId").isValid()) widgets.append(w);
    }
    return widgets;
  }

 private slots:
  // Every text below is compared in Japanese.
  void initTestCase() { msg::setLanguage(msg::Language::Japanese); }

  void captionSizeAndFont() {
    ConverterDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Kv_TRAM"));
    const QString family = QFontInfo(dialog.font()).family();
    QVERIFY2(family == "IPAPGothic" || family == "IPAGothic", qPrintable(family));
    QCOMPARE(dialog.font().pointSize(), 9);
    // The base units come from the font the dialog really uses.
    const kvtram::DialogBaseUnits units = dialog.baseUnits();
    QCOMPARE(units.height, QFontMetrics(dialog.font()).height());
    QVERIFY(units.width >= 5 && units.width <= 9);
    QCOMPARE(dialog.size(), QSize(kvtram::horizontalDluToPixels(301, units),
                                  kvtram::verticalDluToPixels(200, units)));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(!dialog.windowIcon().isNull());
  }

  void everyControlOfTheTemplateInTabOrder() {
    ConverterDialog dialog;
    const kvtram::DialogBaseUnits units = dialog.baseUnits();
    const QList<QWidget*> widgets = templateControls(dialog);
    QCOMPARE(widgets.size(), static_cast<qsizetype>(expected().size()));
    for (std::size_t i = 0; i < expected().size(); ++i) {
      const Expected& e = expected()[i];
      QWidget* w = widgets[static_cast<qsizetype>(i)];
      const QByteArray where = QByteArray("control ") + e.text + " " + QByteArray::number(e.id);
      QVERIFY2(w->property("controlId").toInt() == e.id, where);
      if (e.id >= 0) QVERIFY2(dialog.control(e.id) == w && w->objectName() == QString::number(e.id), where);
      QVERIFY2(QByteArray(w->metaObject()->className()) == e.className, where);
      QVERIFY2(textOf(w) == QString::fromUtf8(e.text), where);
      const QRect px(kvtram::horizontalDluToPixels(e.x, units), kvtram::verticalDluToPixels(e.y, units),
                     kvtram::horizontalDluToPixels(e.w, units), kvtram::verticalDluToPixels(e.h, units));
      QVERIFY2(w->geometry() == px, where);
      QVERIFY2(w->isVisibleTo(&dialog), where);
    }

    // Tab goes through the controls with ids in the template's order.
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QList<int> tabOrder;
    QWidget* w = dialog.control(1000);
    do {
      if ((w->focusPolicy() & Qt::TabFocus) && w->property("controlId").isValid())
        tabOrder.append(w->property("controlId").toInt());
      w = w->nextInFocusChain();
    } while (w != dialog.control(1000));
    QCOMPARE(tabOrder, (QList<int>{1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010}));
    // The first tab stop has the focus at start.
    QCOMPARE(QApplication::focusWidget(), dialog.control(1000));
  }

  void startStates() {
    ConverterDialog dialog;
    QCOMPARE(qobject_cast<QLineEdit*>(dialog.control(1003))->text(), QStringLiteral("1"));
    QCOMPARE(qobject_cast<QLineEdit*>(dialog.control(1004))->text(), QStringLiteral("1"));
    QCOMPARE(qobject_cast<QLineEdit*>(dialog.control(1010))->text(), QStringLiteral("2"));
    const std::pair<int, bool> boxes[] = {{1005, false}, {1006, true}, {1007, false}, {1008, true}, {1009, false}};
    for (const auto& [id, checked] : boxes) {
      QVERIFY2(qobject_cast<QCheckBox*>(dialog.control(id))->isChecked() == checked,
               qPrintable(QString::number(id)));
    }
    QCOMPARE(qobject_cast<QListWidget*>(dialog.control(1000))->count(), 0);
    for (int id : {1001, 1002}) {
      auto* button = qobject_cast<QPushButton*>(dialog.control(id));
      QVERIFY(!button->isDefault() && !button->autoDefault());
    }
    QVERIFY(!dialog.progressLine()->isVisibleTo(&dialog));
  }

  // The captions fit their controls in each language: none is cut off at the
  // template's widths, measured with the dialog's font.
  void captionsFitTheirControls() {
    for (const msg::Language language : {msg::Language::Japanese, msg::Language::English}) {
      msg::setLanguage(language);
      ConverterDialog dialog;
      for (QWidget* w : templateControls(dialog)) {
        const QString text = textOf(w);
        if (auto* box = qobject_cast<QCheckBox*>(w)) {
          QStyleOptionButton option;
          option.initFrom(box);
          option.text = text;
          const QRect contents = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
          QVERIFY2(box->fontMetrics().horizontalAdvance(text) <= contents.width(), qPrintable(text));
        } else if (auto* label = qobject_cast<QLabel*>(w)) {
          QVERIFY2(label->fontMetrics().horizontalAdvance(text) <= label->width(), qPrintable(text));
        } else if (auto* button = qobject_cast<QPushButton*>(w)) {
          QVERIFY2(button->fontMetrics().horizontalAdvance(text) <= button->width() - 8, qPrintable(text));
        }
      }
    }
    msg::setLanguage(msg::Language::Japanese);
  }

  // The dialog speaks the language chosen before it opens.
  void englishLabels() {
    msg::setLanguage(msg::Language::English);
    ConverterDialog dialog;
    msg::setLanguage(msg::Language::Japanese);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Kv_TRAM"));
    QCOMPARE(textOf(dialog.control(1001)), QStringLiteral("Convert"));
    QCOMPARE(textOf(dialog.control(1006)), QStringLiteral("Fine resampling (mid)"));
  }
};

}  // namespace kvtram::gui

QTEST_MAIN(kvtram::gui::LayoutTest)
#include "gui_layout_test.moc"
