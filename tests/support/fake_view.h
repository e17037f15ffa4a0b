// A plain view of the window's controls for tests: it holds the controls'
// state, records what the conversion showed, and answers error reports from
// a queue; and a strict one for tests that expect no report.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "book_fixture.h"
#include "book_lock.h"
#include "conversion/form_values.h"

namespace varnok::testing {

class FakeView : public conversion::FormValuesView {
 public:
  using TextBox = conversion::TextBox;
  using Option = conversion::Option;
  using Shown = conversion::Shown;
  using Bar = conversion::Bar;

  // Controls; the boxes and options are in `form`.
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
  // The questions asked, and the answer to each (No unless set).
  std::vector<std::string> questions;
  bool confirmAnswer = false;  // to cutting models
  bool againAnswer = false;    // to converting books that look converted already

  // Fills every box a run needs.
  void fillIn(const std::string& oldFolder, const std::string& newFolder,
              const std::string& date) {
    form.oldBookFolder = oldFolder;
    form.newBookFolder = newFolder;
    form.conversionDate = date;
    form.previousLicensee = kPreviousLicensee;
    form.newLicensee = kNewLicensee;
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
  bool confirm(conversion::Question about, const std::string& question) override {
    questions.push_back(question);
    return about == conversion::Question::ConvertAgain ? againAnswer : confirmAnswer;
  }
  errortrap::Answer errorReport(const std::string& message) override {
    reports.push_back(message);
    if (answers.empty()) return errortrap::Answer::Abort;
    const auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

// Fails the test on an error report nobody asked for, and answers Ignore so
// that the rest of the test still reports what it finds.
class StrictView : public FakeView {
 public:
  errortrap::Answer errorReport(const std::string& message) override {
    if (!answers.empty()) return FakeView::errorReport(message);
    reports.push_back(message);
    ADD_FAILURE() << "unexpected error report:\n" << message;
    return reports.size() < 20 ? errortrap::Answer::Ignore : errortrap::Answer::Abort;
  }
};

// Notes, while the counts of both books show, whether another process
// could write to each of `files`.
class LockWatchingView : public FakeView {
 public:
  std::vector<std::string> files;
  std::vector<bool> lockedWhileCountsShow;
  void messageBox(const std::string& text) override {
    if (text.rfind("Number of old guns", 0) == 0)
      for (const std::string& file : files) lockedWhileCountsShow.push_back(lockedElsewhere(file));
    FakeView::messageBox(text);
  }
};

}  // namespace varnok::testing
