// The window's controls without a window: the boxes hold what was given on
// the command line, messages go to standard output, the progress bars and
// the error report to standard error.
#pragma once

#include <array>
#include <cstdio>
#include <map>
#include <string>

#include "conversion/form_values.h"

namespace varnok::cli {

class HeadlessView final : public conversion::FormValuesView {
 public:
  // onError answers reports when standard input is not a terminal.
  HeadlessView(conversion::FormValues values, errortrap::Answer onError);
  ~HeadlessView() override;

  void setVisible(conversion::Shown control, bool visible) override;
  void setBarValue(conversion::Bar bar, float value) override;
  void setMousePointer(int pointer) override;
  void messageBox(const std::string& text) override;
  // Prints the question and answers it from the option that gives the
  // answer: "Yes (--allow-cut-models)", "No (without --again)".
  bool confirm(conversion::Question about, const std::string& question) override;
  errortrap::Answer errorReport(const std::string& message) override;

  // The run's report folder: an Abort, which ends the program at once,
  // first says where it is.
  std::string reportFolder;
  // --allow-cut-models: Yes to cutting models that do not fit beside the prefix.
  bool allowCutModels = false;
  // --again: Yes to converting books that look converted on the date already.
  bool again = false;

 private:
  errortrap::Answer askOperator(const std::string& message);
  void drawBars();
  void clearBars();

  errortrap::Answer onError_;
  bool drawOnTerminal_;
  bool askOnTerminal_;
  std::map<conversion::Shown, bool> visible_;
  float bar1_ = 0, bar2_ = 0;
  int drawnBar1_ = -1, drawnBar2_ = -1;
  bool barsOnScreen_ = false;
};

}  // namespace varnok::cli
