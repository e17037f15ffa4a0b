#include "form/message_box.h"

#include <QApplication>
#include <QList>
#include <QMessageBox>

namespace varnok::form {
namespace {

QList<MessageBox::Button> nextAnswers;
QStringList answeredTexts;

const char* const kTitle = "Varnok";

MessageBox::Button buttonOf(int clicked) {
  switch (clicked) {
    case QMessageBox::Ok: return MessageBox::Ok;
    case QMessageBox::Retry: return MessageBox::Retry;
    case QMessageBox::Ignore: return MessageBox::Ignore;
    case QMessageBox::Yes: return MessageBox::Yes;
    case QMessageBox::No: return MessageBox::No;
    default: return MessageBox::Abort;
  }
}

}  // namespace

std::unique_ptr<QMessageBox> MessageBox::build(QWidget* parent, Kind kind, const QString& text) {
  auto box = std::make_unique<QMessageBox>(parent);
  box->setWindowTitle(QString::fromLatin1(kTitle));
  box->setIcon(QMessageBox::NoIcon);
  box->setTextFormat(Qt::PlainText);
  // Qt breaks lines at '\n'; a report's lines end in CR LF.
  box->setText(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
  if (kind == Information) {
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
  } else if (kind == Question) {
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
  } else {
    box->setStandardButtons(QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
    box->setDefaultButton(QMessageBox::Abort);
    box->setEscapeButton(QMessageBox::Abort);
  }
  return box;
}

bool MessageBox::answerUnshown(const QString& text, Button& answer) {
  if (nextAnswers.isEmpty()) return false;
  answeredTexts.append(text);
  answer = nextAnswers.takeFirst();
  return true;
}

MessageBox::Button MessageBox::show(QWidget* parent, Kind kind, const QString& text) {
  if (Button answer; answerUnshown(text, answer)) return answer;
  auto box = build(parent, kind, text);
  // The hourglass of a running conversion is the window's; the box that
  // waits for the operator shows the ordinary pointer.
  const bool busy = QApplication::overrideCursor() != nullptr;
  if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int clicked = box->exec();
  if (busy) QApplication::restoreOverrideCursor();
  // The keyboard goes back to the window, also where no window manager
  // hands it back (the X server would give it to no window at all).
  if (parent) parent->window()->activateWindow();
  return buttonOf(clicked);
}

void MessageBox::information(QWidget* parent, const QString& text) {
  show(parent, Information, text);
}

MessageBox::Button MessageBox::errorReport(QWidget* parent, const QString& text) {
  return show(parent, ErrorReport, text);
}

bool MessageBox::question(QWidget* parent, const QString& text) {
  return show(parent, Question, text) == Yes;
}

void MessageBox::setNextAnswer(Button answer) { nextAnswers.append(answer); }

void MessageBox::clearNextAnswers() { nextAnswers.clear(); }

QStringList MessageBox::takeAnsweredTexts() {
  QStringList texts;
  texts.swap(answeredTexts);
  return texts;
}

}  // namespace varnok::form
