// The real varnok on an X server of the test's own (Xvfb, no window
// manager), driven as an operator at the keyboard would drive it, through
// xdotool; wm_close asks a window to close as a window manager does.
#pragma once

#include <chrono>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "x_server.h"

namespace varnok::testing {

inline constexpr const char* kWindowTitle = "^Convert Gun Book for New License$";
inline constexpr const char* kMessageBoxTitle = "^Varnok$";

class WindowOnX {
 public:
  // environment: what the program runs with beside DISPLAY (a data folder,
  // the desktop's font settings, a scale factor).
  WindowOnX(const XvfbServer& x, std::map<std::string, std::string> environment)
      : x_(x), program_(VARNOK_WINDOW_PATH, {}, withDisplay(x, std::move(environment))) {
    window_ = waitFor(kWindowTitle, /*takeKeyboard=*/true);
  }

  // The main window's X id, or empty when it did not show.
  const std::string& window() const { return window_; }

  // The first shown window whose title matches, waiting up to 20 seconds;
  // with takeKeyboard, once it holds the keyboard, given it as a click on
  // it would (no window manager does).
  std::string waitFor(const std::string& title, bool takeKeyboard = false) const {
    for (int attempt = 0; attempt < 200; ++attempt) {
      // Several windows may bear the title for a moment (one going, one
      // coming): any of them that holds the keyboard is the one.
      std::istringstream found(x_.run("xdotool", {"search", "--onlyvisible", "--name", title}).out);
      for (std::string id; std::getline(found, id);)
        if (!id.empty() && (!takeKeyboard || hasKeyboard(id))) return id;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return {};
  }

  // The window's place and size on the screen: X, Y, WIDTH, HEIGHT.
  std::map<std::string, int> geometry(const std::string& id) const {
    std::map<std::string, int> values;
    std::istringstream lines(x_.run("xdotool", {"getwindowgeometry", "--shell", id}).out);
    for (std::string line; std::getline(lines, line);) {
      const auto equals = line.find('=');
      if (equals != std::string::npos) values[line.substr(0, equals)] = std::stoi(line.substr(equals + 1));
    }
    return values;
  }

  // Types `text` into what has the keyboard, then presses each of `keys`.
  void type(const std::string& text, const std::vector<std::string>& keys = {"Return"}) const {
    if (!text.empty()) x_.run("xdotool", {"type", "--delay", "10", text});
    for (const std::string& key : keys) x_.run("xdotool", {"key", key});
  }

  // Asks the main window to close as a window manager does.
  void askToClose() const { x_.run(VARNOK_WM_CLOSE_PATH, {window_}); }

  // The program's exit status once it ended within 10 seconds; -1 otherwise.
  int exitStatus() { return program_.waitForExit(std::chrono::seconds(10)); }

 private:
  bool hasKeyboard(const std::string& id) const {
    if (x_.run("xdotool", {"getwindowfocus"}).out == id + "\n") return true;
    x_.run("xdotool", {"windowfocus", id});
    return false;
  }

  static std::map<std::string, std::string> withDisplay(const XvfbServer& x,
                                                        std::map<std::string, std::string> env) {
    env["DISPLAY"] = x.display();
    env["QT_QPA_PLATFORM"] = "xcb";
    // No session bus to look for: without one, D-Bus would try to start one
    // for the display and Qt could wait its 25-second timeout at start-up.
    env["DBUS_SESSION_BUS_ADDRESS"] = "disabled:";
    env["LSAN_OPTIONS"] = "suppressions=" VARNOK_LEAK_SUPPRESSIONS;
    return env;
  }

  const XvfbServer& x_;
  BackgroundProgram program_;
  std::string window_;
};

}  // namespace varnok::testing
