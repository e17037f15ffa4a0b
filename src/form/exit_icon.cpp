#include "form/exit_icon.h"

#include <QPainter>
#include <QPen>
#include <QPixmap>

namespace varnok::form {

QIcon exitIcon() {
  QPixmap picture(kExitIconSize, kExitIconSize);
  picture.fill(Qt::white);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(220, 0, 0), 5, Qt::SolidLine, Qt::RoundCap));
  const int near = 6, far = kExitIconSize - 1 - near;
  painter.drawLine(near, near, far, far);
  painter.drawLine(far, near, near, far);
  painter.end();
  return QIcon(picture);
}

}  // namespace varnok::form
