// The real program on a real X server: it shows its window and quits through
// its exit button.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "support/x_server.h"

namespace varnok::testing {
namespace {

// The drawn client area and the exit button's centre, in pixels.
constexpr double kDrawnWidth = 671, kDrawnHeight = 518;
constexpr double kExitCentreX = (9120 + 495 / 2.0) / 15, kExitCentreY = (6840 + 495 / 2.0) / 15;

std::map<std::string, int> shellValues(const std::string& text) {
  std::map<std::string, int> values;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const auto equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = std::stoi(line.substr(equals + 1));
  }
  return values;
}

TEST(WindowSmoke, ShowsItsWindowOnAnXServerAndQuitsThroughItsExitButton) {
  if (findOnPath("Xvfb").empty() || findOnPath("xdotool").empty())
    GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/install-deps installs them)";
  XvfbServer x;
  ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
  BackgroundProgram varnok(VARNOK_WINDOW_PATH, {},
                           {{"DISPLAY", x.display()},
                            {"QT_QPA_PLATFORM", "xcb"},
                            {"LSAN_OPTIONS", "suppressions=" VARNOK_LEAK_SUPPRESSIONS}});

  std::string window;
  for (int attempt = 0; attempt < 100 && window.empty(); ++attempt) {
    const auto found = x.run("xdotool", {"search", "--onlyvisible", "--name",
                                         "^Convert Gun Book for New License$"});
    window = found.out.substr(0, found.out.find('\n'));
    if (window.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_FALSE(window.empty()) << "no window titled \"Convert Gun Book for New License\"";

  // The window is the drawn client area scaled by one factor, under the menu.
  auto geometry = shellValues(x.run("xdotool", {"getwindowgeometry", "--shell", window}).out);
  const double scale = geometry["WIDTH"] / kDrawnWidth;
  const double menu = geometry["HEIGHT"] - std::round(kDrawnHeight * scale);
  const int exitX = int(std::lround(kExitCentreX * scale));
  const int exitY = int(std::lround(menu + kExitCentreY * scale));
  x.run("xdotool", {"mousemove", "--window", window, std::to_string(exitX),
                    std::to_string(exitY), "click", "1"});

  EXPECT_EQ(varnok.waitForExit(std::chrono::seconds(10)), 0);
}

}  // namespace
}  // namespace varnok::testing
