// The real program on a real X server: it shows its window and quits through
// its exit button.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <sstream>

#include "support/scratch_dir.h"
#include "support/x_server.h"

namespace varnok::testing {
namespace {

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

  // The exit button is where its red cross shows on the screen.
  const ScratchDir dir;
  const std::string shot = dir.file("screen.png");
  ASSERT_EQ(x.run(VARNOK_SCREENSHOT_PATH, {shot}).exitStatus, 0);
  const QImage screen(QString::fromStdString(shot));
  ASSERT_FALSE(screen.isNull());
  long sumX = 0, sumY = 0, red = 0;
  for (int y = 0; y < screen.height(); ++y) {
    for (int x = 0; x < screen.width(); ++x) {
      const QColor c = screen.pixelColor(x, y);
      if (c.red() > 150 && c.green() < 80 && c.blue() < 80) sumX += x, sumY += y, ++red;
    }
  }
  ASSERT_GT(red, 20) << "no red cross on the screen";
  auto geometry = shellValues(x.run("xdotool", {"getwindowgeometry", "--shell", window}).out);
  const int exitX = int(sumX / red), exitY = int(sumY / red);
  // In the window's bottom right corner, as drawn.
  EXPECT_GT(exitX - geometry["X"], geometry["WIDTH"] * 0.8);
  EXPECT_GT(exitY - geometry["Y"], geometry["HEIGHT"] * 0.6);
  x.run("xdotool", {"mousemove", std::to_string(exitX), std::to_string(exitY), "click", "1"});

  EXPECT_EQ(varnok.waitForExit(std::chrono::seconds(10)), 0);
}

}  // namespace
}  // namespace varnok::testing
