// The window's controls without a window: the boxes hold what was given on
// the command line, messages go to standard output, the progress bars and
// the error report to standard error.
#pragma once

#include <array>
#include <cstdio>
#include <map>
#include <string>

#include "conversion/form_view.h"

namespace varnok::cli {

struct FormInput {
  std::array<std::string, 6> previousLicensee;  // Text1(0..5)
  std::array<std::string, 6> newLicensee;       // Text2(0..5)
  std::string oldFolder;                        // Text3
  std::string newFolder;                        // Text4
  std::string prefix;                           // Text5
  std::string date;                             // MaskEdBox1
  bool keepReceivedFrom = false;                // mnuOption1
  bool keepDateIn = false;                      // mnuOption2
};

class HeadlessView final : public conversion::FormView {
 public:
  // onError answers reports when standard input is not a terminal.
  HeadlessView(FormInput input, errortrap::Answer onError);
  ~HeadlessView() override;

  std::string text(conversion::TextBox box, int index) override;
  void setText(conversion::TextBox box, int index, const std::string& text) override;
  bool checked(conversion::Option option) override;
  void setVisible(conversion::Shown control, bool visible) override;
  void setBarValue(conversion::Bar bar, float value) override;
  void setMousePointer(int pointer) override;
  void messageBox(const std::string& text) override;
  errortrap::Answer errorReport(const std::string& message) override;

  // How many error reports were answered Ignore: each left something undone.
  int ignoredReports() const { return ignoredReports_; }

 private:
  errortrap::Answer askOperator(const std::string& message);
  void drawBars();
  void clearBars();

  FormInput input_;
  errortrap::Answer onError_;
  bool drawOnTerminal_;
  bool askOnTerminal_;
  std::map<conversion::Shown, bool> visible_;
  float bar1_ = 0, bar2_ = 0;
  int drawnBar1_ = -1, drawnBar2_ = -1;
  bool barsOnScreen_ = false;
  int ignoredReports_ = 0;
};

}  // namespace varnok::cli
