// The window's tests share one application on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "support/cli_run.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Every run's report goes to the user's data folder: one of the tests' own.
  setenv("XDG_DATA_HOME", varnok::testing::cliDataHome().path().c_str(), 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
