// x_screenshot FILE.png: saves what the X server's screen shows, for looking
// at the real window in tests and by hand on Xvfb.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: x_screenshot FILE.png\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
  qunsetenv("QT_SCALE_FACTOR");  // the screen's own pixels
  QGuiApplication app(argc, argv);
  const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
  if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "x_screenshot: could not save %s\n", argv[1]);
    return 1;
  }
  return 0;
}
