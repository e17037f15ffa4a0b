// varnok: the conversion window.
#include <QApplication>

#include "form/brelmark.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  varnok::form::Brelmark window;
  window.show();
  window.activateWindow();
  return app.exec();
}
