// The real program on Xvfb, where the window manager's part matters: its
// request to close is never lost or refused, and the window fits a
// 1024 x 768 screen at any font size or scale factor a desktop offers.
#include <gtest/gtest.h>

#include <fstream>

#include "support/book_fixture.h"
#include "support/conversion_dates.h"
#include "support/window_on_x.h"

namespace varnok::testing {
namespace {

bool haveXTools() { return !findOnPath("Xvfb").empty() && !findOnPath("xdotool").empty(); }

class RealWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveXTools()) GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/install-deps)";
    ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
  }
  // From the old book's folder box, Enter after each box, through to Begin.
  void fillInByKeyboard(const WindowOnX& varnok) {
    varnok.type(oldFolder);
    varnok.type("03152004");
    for (const std::string& value : kPreviousLicensee) varnok.type(value);
    varnok.type(newFolder);
    for (const std::string& value : kNewLicensee) varnok.type(value);
  }

  ScratchDir dir;
  std::string oldFolder = dir.folder("old"), newFolder = dir.folder("new");
  std::map<std::string, std::string> environment{{"XDG_DATA_HOME", dir.folder("data")}};
  XvfbServer x{"1024x768"};
};

TEST_F(RealWindow, ACloseAskedForDuringARunClosesTheWindowOnceTheRunEnds) {
  makeBook(oldFolder, {gun("A1", "20040301", kBlankDate, "PAWN"), gun("A2", kLater, kBlankDate, "SALE")});
  makeBook(newFolder, {gun("A1", "20040301", kBlankDate, "PAWN")});
  WindowOnX varnok(x, environment);
  ASSERT_FALSE(varnok.window().empty());
  fillInByKeyboard(varnok);
  varnok.type("", {"space"});  // "Begin"
  ASSERT_FALSE(varnok.waitFor(kMessageBoxTitle).empty()) << "no count of the books";
  varnok.askToClose();
  varnok.type("", {"Return"});
  // The run goes on to its end, then the window closes.
  ASSERT_FALSE(varnok.waitFor(kMessageBoxTitle).empty()) << "no \"Finished\"";
  varnok.type("", {"Return"});
  EXPECT_EQ(varnok.exitStatus(), 0);
  EXPECT_EQ(readBook(oldFolder).size(), 1u);  // A2, received after the date, is gone
}

TEST_F(RealWindow, TheWindowManagersCloseIsNeverRefused) {
  for (const bool messageShown : {false, true}) {
    SCOPED_TRACE(messageShown ? "\"You must enter a value\" shown" : "an empty box focused");
    WindowOnX varnok(x, environment);
    ASSERT_FALSE(varnok.window().empty());
    varnok.type("");
    varnok.type("03152004");  // the focus is now on the empty last name
    if (messageShown) {
      varnok.type("");
      ASSERT_FALSE(varnok.waitFor(kMessageBoxTitle).empty());
    }
    varnok.askToClose();
    EXPECT_EQ(varnok.exitStatus(), 0);
  }
}

// Where no window manager hands the keyboard back after a message, the
// window takes it back itself: Escape after "You must enter a value" leaves.
TEST_F(RealWindow, AfterAMessageTheKeyboardIsTheWindowsAgain) {
  WindowOnX varnok(x, environment);
  ASSERT_FALSE(varnok.window().empty());
  varnok.type("");
  varnok.type("03152004");
  varnok.type("");
  ASSERT_FALSE(varnok.waitFor(kMessageBoxTitle).empty());
  varnok.type("", {"Return", "Escape"});
  EXPECT_EQ(varnok.exitStatus(), 0);
}

TEST_F(RealWindow, FitsA1024By768ScreenAtAnyFontSizeAndScaleFactor) {
  struct Desktop {
    int points;
    const char* scaleFactor;
  };
  for (const Desktop& d : {Desktop{9, "1"}, Desktop{11, "1"}, Desktop{14, "1"}, Desktop{9, "2"}}) {
    SCOPED_TRACE(std::to_string(d.points) + " points, scale factor " + d.scaleFactor);
    // The desktop's font as a KDE desktop sets it.
    const std::string config = dir.folder("config-" + std::to_string(d.points));
    std::ofstream(config + "kdeglobals")
        << "[General]\nfont=DejaVu Sans," << d.points << ",-1,5,50,0,0,0,0,0\n";
    auto desktop = environment;
    desktop.insert({{"XDG_CONFIG_HOME", config}, {"XDG_CURRENT_DESKTOP", "KDE"},
                    {"KDE_SESSION_VERSION", "5"}, {"QT_SCALE_FACTOR", d.scaleFactor}});
    WindowOnX varnok(x, desktop);
    ASSERT_FALSE(varnok.window().empty());
    auto g = varnok.geometry(varnok.window());
    EXPECT_GE(g["X"], 0);
    EXPECT_GE(g["Y"], 0);
    EXPECT_LE(g["X"] + g["WIDTH"], 1024);
    EXPECT_LE(g["Y"] + g["HEIGHT"], 768);
    // Escape leaves, whatever the size.
    varnok.type("", {"Escape"});
    EXPECT_EQ(varnok.exitStatus(), 0);
  }
}

}  // namespace
}  // namespace varnok::testing
