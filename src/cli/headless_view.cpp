#include "cli/headless_view.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "cli/commands.h"

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

bool HeadlessView::confirm(conversion::Question about, const std::string& question) {
  const bool cut = about == conversion::Question::CutModels;
  const bool yes = cut ? allowCutModels : again;
  const std::string option = cut ? "--allow-cut-models" : "--again";
  messageBox(question);
  messageBox(yes ? "Yes (" + option + ")" : "No (without " + option + ")");
  return yes;
}

namespace {

// The width of the terminal that shows the bars: what the terminal says,
// else COLUMNS, else 80.
int terminalColumns() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  if (const char* columns = std::getenv("COLUMNS")) {
    char* end = nullptr;
    const long value = std::strtol(columns, &end, 10);
    if (end != columns && *end == '\0' && value > 0 && value < 10000) return static_cast<int>(value);
  }
  return 80;
}

// One bar in at most `width` characters: "Old Gun Book [####......]  45%".
// A narrow terminal gets a short label, then no bar, then the percentage
// alone.
std::string barText(const char* label, const char* shortLabel, float value, int width) {
  constexpr int kLeastBar = 10, kMostBar = 50;
  const int whole = std::clamp(static_cast<int>(value), 0, 100);
  char percent[8];
  std::snprintf(percent, sizeof percent, "%3d%%", whole);
  for (const std::string name : {label, shortLabel}) {
    const int room = std::min(width - static_cast<int>(name.size()) - 8, kMostBar);
    if (room < kLeastBar) continue;
    const int filled = whole * room / 100;
    return name + " [" + std::string(filled, '#') + std::string(room - filled, '.') + "] " +
           percent;
  }
  const std::string shortest = std::string(shortLabel) + " " + percent;
  if (static_cast<int>(shortest.size()) <= width) return shortest;
  return std::string(percent).substr(0, std::max(width, 0));
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
  // Never the terminal's last column: a line that fills it makes the next
  // redraw start on a new line.
  const int width = terminalColumns() - 1;
  if (width < 12) return;  // no room for even two percentages
  std::string line;
  if (show1 && show2) {
    const int each = (width - 2) / 2;
    line = barText("Old Gun Book", "Old", bar1_, each) + "  " +
           barText("New Gun Book", "New", bar2_, width - 2 - each);
  } else if (show1) {
    line = barText("Old Gun Book", "Old", bar1_, width);
  } else {
    line = barText("New Gun Book", "New", bar2_, width);
  }
  std::cerr << '\r' << line << "\x1b[K" << std::flush;
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
  if (answer == errortrap::Answer::Abort && !reportFolder.empty())
    sayWhereTheReportIs(reportFolder);
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
