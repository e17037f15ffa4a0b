// The window's controls as the conversion sees them. The conversion runs on
// the window's thread; while it works, this view lets the window repaint
// (bars, labels, the hourglass) a few times a second without delivering any
// keyboard or mouse input.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <string>

#include "conversion/form_view.h"

class QWidget;

namespace varnok::form {

class WindowView final : public conversion::FormView {
 public:
  // window: the widget that holds every control as a descendant.
  explicit WindowView(QWidget& window);

  std::string text(conversion::TextBox box, int index) override;
  void setText(conversion::TextBox box, int index, const std::string& text) override;
  bool checked(conversion::Option option) override;
  void setVisible(conversion::Shown control, bool visible) override;
  void setBarValue(conversion::Bar bar, float value) override;
  void setMousePointer(int pointer) override;
  void messageBox(const std::string& text) override;
  // Yes and No, No the default.
  bool confirm(conversion::Question about, const std::string& question) override;
  errortrap::Answer errorReport(const std::string& message) override;

  // Called with each message's text just before the message is shown.
  std::function<void(const std::string&)> beforeMessage;

 private:
  // The control named `name`; a run-time error when there is none.
  template <class Control>
  Control* control(const QString& name) const;
  void repaint();
  void repaintNowAndThen();

  QWidget& window_;
  QElapsedTimer sinceRepaint_;
  bool hourglass_ = false;
};

}  // namespace varnok::form
