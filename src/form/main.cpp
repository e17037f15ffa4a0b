// varnok: the conversion window.
#include <QApplication>
#include <QCommandLineParser>

#include "form/brelmark.h"
#include "varnok/version.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationVersion(VARNOK_VERSION);
  QCommandLineParser options;
  options.setApplicationDescription("Converts a pawnshop's gun books when its firearms licence changes hands.");
  options.addHelpOption();
  options.addVersionOption();
  options.process(app);

  varnok::form::Brelmark window;
  window.show();
  window.activateWindow();
  return app.exec();
}
