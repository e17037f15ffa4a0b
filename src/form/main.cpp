// varnok: the conversion window.
#include <QApplication>

#include <cstdio>
#include <cstring>

#include "form/main_window.h"
#include "varnok/version.h"

int main(int argc, char** argv) {
  // Answered before Qt starts, so they work without a display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::puts("varnok " VARNOK_VERSION);
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0) {
      std::puts("Usage: varnok [--help] [--version]\n"
                "The window that converts a pawnshop's gun books when its firearms licence\n"
                "changes hands. varnok-cli does the same jobs from a terminal.");
      return 0;
    }
  }
  QApplication app(argc, argv);
  varnok::form::MainWindow window;
  window.show();
  window.activateWindow();
  return app.exec();
}
