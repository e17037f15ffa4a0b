#include "form/screen_fit.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>

namespace varnok::form {

void fitToScreen(QMainWindow& window) {
  QWidget* form = window.takeCentralWidget();
  auto* area = new QScrollArea(&window);
  area->setObjectName(QStringLiteral("formArea"));
  area->setFrameShape(QFrame::NoFrame);
  area->setFocusPolicy(Qt::NoFocus);  // Tab goes from control to control only
  area->setWidget(form);
  window.setCentralWidget(area);

  QSize needed = form->size() + QSize(0, window.menuBar()->sizeHint().height());
  if (const auto* status = window.findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly))
    needed += QSize(0, status->sizeHint().height());
  // The window manager's title bar and frame come on top of the window;
  // their size is known only once it is shown, so room is left for them.
  const QStyle* style = window.style();
  constexpr int kFrames = 2 * 8;
  const int title = style->pixelMetric(QStyle::PM_TitleBarHeight);
  const QRect free = window.screen()->availableGeometry();
  const QSize room = free.size() - QSize(kFrames, title + kFrames);
  if (needed.width() <= room.width() && needed.height() <= room.height()) {
    window.setFixedSize(needed);
    return;
  }
  const int bar = style->pixelMetric(QStyle::PM_ScrollBarExtent);
  window.setMaximumSize(needed + QSize(bar, bar));
  window.setMinimumSize(needed.boundedTo(room) / 2);
  window.resize(needed.boundedTo(room));
  window.move(free.topLeft());
  // Enter, Tab and the checks move the focus by program: follow it, the
  // whole control and a little around it (a box's own rule would show
  // only its text cursor).
  QObject::connect(qApp, &QApplication::focusChanged, area, [area, form](QWidget*, QWidget* now) {
    if (!now || !form->isAncestorOf(now)) return;
    const QRect place(now->mapTo(form, QPoint(0, 0)), now->size());
    constexpr int kAround = 8;
    area->ensureVisible(place.center().x(), place.center().y(), place.width() / 2 + kAround,
                        place.height() / 2 + kAround);
  });
}

}  // namespace varnok::form
