#include "form/window_view.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QWidget>

#include "errortrap/runtime_error.h"
#include "form/control_names.h"
#include "form/message_box.h"

namespace varnok::form {
namespace {

// How often a working conversion lets the window repaint.
constexpr qint64 kRepaintIntervalMs = 200;

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

}  // namespace

WindowView::WindowView(QWidget& window) : window_(window) {}

template <class Control>
Control* WindowView::control(const QString& name) const {
  auto* found = window_.findChild<Control*>(name);
  if (!found) {
    throw errortrap::RunTimeError(errortrap::err::SubscriptOutOfRange,
                                  "No control " + name.toStdString());
  }
  return found;
}

std::string WindowView::text(conversion::TextBox box, int index) {
  const auto* edit = control<QLineEdit>(objectNameOf(box, index));
  // A masked box reads with its slashes and the blanks still to be typed.
  const QString text = edit->inputMask().isEmpty() ? edit->text() : edit->displayText();
  return text.toStdString();
}

void WindowView::setText(conversion::TextBox box, int index, const std::string& text) {
  control<QLineEdit>(objectNameOf(box, index))->setText(fromUtf8(text));
}

bool WindowView::checked(conversion::Option option) {
  // A menu item or the check box: both hold the state as "checked".
  return control<QObject>(objectNameOf(option))->property("checked").toBool();
}

void WindowView::setVisible(conversion::Shown shown, bool visible) {
  control<QWidget>(objectNameOf(shown))->setVisible(visible);
  repaint();
}

void WindowView::setBarValue(conversion::Bar bar, float value) {
  control<QProgressBar>(objectNameOf(bar))->setValue(static_cast<int>(value));
  repaintNowAndThen();
}

void WindowView::setMousePointer(int pointer) {
  const bool wait = pointer == conversion::kHourglass;
  if (wait && !hourglass_) QApplication::setOverrideCursor(Qt::WaitCursor);
  if (!wait && hourglass_) QApplication::restoreOverrideCursor();
  hourglass_ = wait;
  repaint();
}

void WindowView::messageBox(const std::string& text) {
  if (beforeMessage) beforeMessage(text);
  MessageBox::information(&window_, fromUtf8(text));
}

bool WindowView::confirm(conversion::Question, const std::string& question) {
  return MessageBox::question(&window_, fromUtf8(question));
}

errortrap::Answer WindowView::errorReport(const std::string& message) {
  switch (MessageBox::errorReport(&window_, fromUtf8(message))) {
    case MessageBox::Retry: return errortrap::Answer::Retry;
    case MessageBox::Ignore: return errortrap::Answer::Ignore;
    default: return errortrap::Answer::Abort;
  }
}

void WindowView::repaint() {
  if (!window_.isVisible()) return;
  // Paint and other window-system events only: keyboard and mouse input
  // waits, and input meant for the window is dropped while it works.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  sinceRepaint_.start();
}

void WindowView::repaintNowAndThen() {
  if (!sinceRepaint_.isValid() || sinceRepaint_.elapsed() >= kRepaintIntervalMs) repaint();
}

}  // namespace varnok::form
