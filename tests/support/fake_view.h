// A plain view of the window's controls for tests: it holds the controls'
// state, records what the conversion showed, and answers error reports from
// a queue.
#pragma once

#include <array>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "conversion/form_view.h"

namespace varnok::testing {

class FakeView : public conversion::FormView {
 public:
  using TextBox = conversion::TextBox;
  using Option = conversion::Option;
  using Shown = conversion::Shown;
  using Bar = conversion::Bar;

  // Controls.
  std::array<std::string, 6> Text1, Text2;
  std::string Text3, Text4, Text5, MaskEdBox1;
  bool mnuOption1 = false, mnuOption2 = false, Check1 = false;
  std::map<Shown, bool> visible;
  float ProgressBar1 = 0, ProgressBar2 = 0;
  int mousePointer = conversion::kDefaultPointer;

  // What was shown, in order.
  std::vector<std::string> messages;
  std::vector<std::string> reports;
  std::vector<float> bar1Values, bar2Values;
  std::vector<int> pointerChanges;

  // Answers to error reports, taken in order; when none is left, Abort.
  std::deque<errortrap::Answer> answers;

  // Fills every box a run needs.
  void fillIn(const std::string& oldFolder, const std::string& newFolder,
              const std::string& date) {
    Text3 = oldFolder;
    Text4 = newFolder;
    MaskEdBox1 = date;
    Text1 = {"PRIOR", "PAT", "1 OLD RD", "OLDTOWN", "TX", "75001"};
    Text2 = {"NEWCO", "NORA", "9 NEW ST", "NEWTOWN", "TX", "75002"};
  }

  std::string text(TextBox box, int index) override {
    switch (box) {
      case TextBox::PreviousLicensee: return Text1.at(index);
      case TextBox::NewLicensee: return Text2.at(index);
      case TextBox::OldBookFolder: return Text3;
      case TextBox::NewBookFolder: return Text4;
      case TextBox::NewBookPrefix: return Text5;
      case TextBox::ConversionDate: return MaskEdBox1;
    }
    return {};
  }
  void setText(TextBox box, int index, const std::string& value) override {
    switch (box) {
      case TextBox::PreviousLicensee: Text1.at(index) = value; break;
      case TextBox::NewLicensee: Text2.at(index) = value; break;
      case TextBox::OldBookFolder: Text3 = value; break;
      case TextBox::NewBookFolder: Text4 = value; break;
      case TextBox::NewBookPrefix: Text5 = value; break;
      case TextBox::ConversionDate: MaskEdBox1 = value; break;
    }
  }
  bool checked(Option option) override {
    switch (option) {
      case Option::KeepReceivedFrom: return mnuOption1;
      case Option::KeepDateIn: return mnuOption2;
      case Option::LeaveReceivedInfo: return Check1;
    }
    return false;
  }
  void setVisible(Shown control, bool shown) override { visible[control] = shown; }
  void setBarValue(Bar bar, float value) override {
    if (bar == Bar::OldBook) {
      ProgressBar1 = value;
      bar1Values.push_back(value);
    } else {
      ProgressBar2 = value;
      bar2Values.push_back(value);
    }
  }
  void setMousePointer(int pointer) override {
    mousePointer = pointer;
    pointerChanges.push_back(pointer);
  }
  void messageBox(const std::string& text) override { messages.push_back(text); }
  errortrap::Answer errorReport(const std::string& message) override {
    reports.push_back(message);
    if (answers.empty()) return errortrap::Answer::Abort;
    const auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace varnok::testing
