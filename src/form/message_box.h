// Every message box of the window: the text alone, no icon, the title
// "Varnok"; one OK button, Abort (the default), Retry and Ignore for an
// error report, or Yes and No (the default) for a question.
//
// Tests answer boxes without showing them: setNextAnswer() queues the answer
// of the next box, and answeredTexts() tells what those boxes said.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class QMessageBox;
class QWidget;

namespace varnok::form {

class MessageBox {
 public:
  enum Button { Ok, Abort, Retry, Ignore, Yes, No };
  enum Kind { Information, ErrorReport, Question };

  // A message with one OK button.
  static void information(QWidget* parent, const QString& text);
  // An error report; returns the button chosen (Abort when the box is closed).
  static Button errorReport(QWidget* parent, const QString& text);
  // A question; true for Yes (No when the box is closed).
  static bool question(QWidget* parent, const QString& text);

  // The box as it would be shown, unshown.
  static std::unique_ptr<QMessageBox> build(QWidget* parent, Kind kind, const QString& text);

  // Test seam: the next box is not shown but answered `answer`. Calls queue.
  static void setNextAnswer(Button answer);
  static void clearNextAnswers();
  // The texts of the boxes answered through the seam since the last call.
  static QStringList takeAnsweredTexts();
  // For the window's other dialogs: when an answer is queued, takes it into
  // `answer`, counts `text` as answered and returns true; the dialog is then
  // not shown.
  static bool answerUnshown(const QString& text, Button& answer);

 private:
  static Button show(QWidget* parent, Kind kind, const QString& text);
};

}  // namespace varnok::form
