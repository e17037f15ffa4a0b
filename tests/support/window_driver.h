// Drives the conversion window in-process on Qt's offscreen platform: finds
// controls by objectName, types, presses keys and clicks as an operator
// would, and answers every message box through the window's test seam.
#pragma once

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QStringList>
#include <QTest>
#include <array>
#include <ostream>
#include <string>

// Test failures print Qt's texts as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

#include "book_fixture.h"
#include "conversion_dates.h"
#include "form/main_window.h"
#include "form/message_box.h"

namespace varnok::testing {

class WindowDriver {
 public:
  explicit WindowDriver(rm::RecordManager& manager = rm::bookEngine()) : window(manager) {
    form::MessageBox::clearNextAnswers();
    form::MessageBox::takeAnsweredTexts();
  }
  ~WindowDriver() { form::MessageBox::clearNextAnswers(); }

  // Shows the window and waits until it holds the keyboard.
  bool show() {
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
  }

  template <class Control = QWidget>
  Control* get(const QString& name) {
    return window.findChild<Control*>(name);
  }
  QLineEdit* box(const QString& name) { return get<QLineEdit>(name); }
  QString focused() const {
    const QWidget* widget = QApplication::focusWidget();
    return widget ? widget->objectName() : QString();
  }

  // Queued handlers (the focus advance, the checks) run before this returns.
  // Boxes shown meanwhile are answered OK.
  void settle() {
    for (int i = 0; i < 4; ++i) {
      answerBoxes(form::MessageBox::Ok, 4);
      QCoreApplication::processEvents();
      form::MessageBox::clearNextAnswers();
    }
  }
  void key(Qt::Key key) {
    QTest::keyClick(QApplication::focusWidget(), key);
    settle();
  }
  // Letters beyond ASCII arrive as text, as an input method would send them.
  void type(const QString& text) {
    for (const QChar c : text) {
      QWidget* target = QApplication::focusWidget();
      if (c.unicode() < 128) {
        QTest::keyClick(target, char(c.unicode()));
      } else {
        QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
      }
    }
  }
  // Boxes the click raises take the answers queued before it, then OK.
  void click(const QString& name) {
    QWidget* widget = get(name);
    answerBoxes(form::MessageBox::Ok, 4);
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
    settle();
  }
  void trigger(const QString& action) {
    get<QAction>(action)->trigger();
    settle();
  }

  // The boxes shown since the last call, in order.
  QStringList boxesShown() { return form::MessageBox::takeAnsweredTexts(); }
  static void answerBoxes(form::MessageBox::Button answer, int count = 1) {
    for (int i = 0; i < count; ++i) form::MessageBox::setNextAnswer(answer);
  }

  // Fills every box a conversion needs; the date as the date box holds it.
  void fillIn(const std::string& oldFolder, const std::string& newFolder,
              const QString& date = QString::fromUtf8(kDateTyped)) {
    box("Text3")->setText(QString::fromStdString(oldFolder));
    box("Text4")->setText(QString::fromStdString(newFolder));
    box("MaskEdBox1")->setText(date);
    for (int i = 0; i < 6; ++i) {
      box(QStringLiteral("Text1_%1").arg(i))->setText(QString::fromStdString(kPrevious[i]));
      box(QStringLiteral("Text2_%1").arg(i))->setText(QString::fromStdString(kNew[i]));
    }
  }

  static inline const Person& kPrevious = kPreviousLicensee;
  static inline const Person& kNew = kNewLicensee;

  form::MainWindow window;
};

// A small pair the window's menus work on: one gun on hand in both books,
// one only in the old, one disposed of in the new.
inline void makeMenuPair(const std::string& oldFolder, const std::string& newFolder) {
  makeBook(oldFolder, {gun("A1", "20040301", kBlankDate, "PAWN"),
                       gun("A3", "20040320", kBlankDate, "SALE")});
  makeBook(newFolder, {gun("A1", "20040301", kBlankDate, "PAWN"),
                       gun("A2", "20040310", "20040312", "SOLD")});
}

}  // namespace varnok::testing
