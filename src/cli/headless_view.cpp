#include "cli/headless_view.h"

#include <unistd.h>

#include <cctype>
#include <iostream>

namespace varnok::cli {

using conversion::Bar;
using conversion::Shown;

HeadlessView::HeadlessView(conversion::FormValues values, errortrap::Answer onError)
    : FormValuesView(std::move(values)),
      onError_(onError),
      drawOnTerminal_(isatty(STDERR_FILENO) != 0),
      askOnTerminal_(isatty(STDIN_FILENO) != 0 && isatty(STDERR_FILENO) != 0) {}

HeadlessView::~HeadlessView() { clearBars(); }

void HeadlessView::setVisible(Shown control, bool visible) {
  visible_[control] = visible;
  if (visible) {
    drawBars();
  } else if (!visible_[Shown::OldBookBar] && !visible_[Shown::NewBookBar]) {
    clearBars();
  }
}

void HeadlessView::setBarValue(Bar bar, float value) {
  (bar == Bar::OldBook ? bar1_ : bar2_) = value;
  drawBars();
}

void HeadlessView::setMousePointer(int) {}

void HeadlessView::messageBox(const std::string& text) {
  clearBars();
  std::cout << text << std::endl;
  drawBars();
}

namespace {

std::string barLine(const char* label, float value) {
  constexpr int kWidth = 30;
  const int filled = static_cast<int>(value / 100.0f * kWidth);
  std::string line = std::string(label) + " [";
  for (int i = 0; i < kWidth; ++i) line += i < filled ? '#' : '.';
  line += "] " + std::to_string(static_cast<int>(value)) + "%";
  return line;
}

// The report with plain line ends for a terminal or a log.
std::string withNewlines(const std::string& report) {
  std::string text;
  for (char c : report)
    if (c != '\r') text += c;
  return text;
}

}  // namespace

void HeadlessView::drawBars() {
  if (!drawOnTerminal_) return;
  const bool show1 = visible_[Shown::OldBookBar], show2 = visible_[Shown::NewBookBar];
  if (!show1 && !show2) return;
  const int whole1 = static_cast<int>(bar1_), whole2 = static_cast<int>(bar2_);
  if (barsOnScreen_ && whole1 == drawnBar1_ && whole2 == drawnBar2_) return;
  std::string line = "\r";
  if (show1) line += barLine("Old Gun Book", bar1_) + "  ";
  if (show2) line += barLine("New Gun Book", bar2_);
  std::cerr << line << std::flush;
  drawnBar1_ = whole1;
  drawnBar2_ = whole2;
  barsOnScreen_ = true;
}

void HeadlessView::clearBars() {
  if (!barsOnScreen_) return;
  std::cerr << "\r\x1b[K" << std::flush;
  barsOnScreen_ = false;
}

errortrap::Answer HeadlessView::errorReport(const std::string& message) {
  const errortrap::Answer answer = askOperator(message);
  drawnBar1_ = drawnBar2_ = -1;
  return answer;
}

errortrap::Answer HeadlessView::askOperator(const std::string& message) {
  clearBars();
  std::cout << std::flush;
  std::cerr << withNewlines(message) << std::endl;
  if (!askOnTerminal_) {
    std::cerr << (onError_ == errortrap::Answer::Ignore ? "Ignore" : "Abort") << std::endl;
    return onError_;
  }
  for (;;) {
    std::cerr << "Abort, Retry or Ignore? [A/r/i] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return errortrap::Answer::Abort;
    const char first = answer.empty() ? 'a' : static_cast<char>(std::tolower(answer[0]));
    if (first == 'a') return errortrap::Answer::Abort;
    if (first == 'r') return errortrap::Answer::Retry;
    if (first == 'i') return errortrap::Answer::Ignore;
  }
}

}  // namespace varnok::cli
