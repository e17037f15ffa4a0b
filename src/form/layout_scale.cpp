#include "form/layout_scale.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QWidget>
#include <cmath>

namespace varnok::form {
namespace {

// The drawn dialog font and the larger one of the headings, in points.
constexpr double kDialogPoints = 8.25;
constexpr double kLargerPoints = 9.75;
constexpr double kStep = 0.01;
constexpr double kMostScale = 4.0;

QRect scaled(const QRect& r, double f) {
  const int left = int(std::lround(r.left() * f)), top = int(std::lround(r.top() * f));
  const int right = int(std::lround((r.left() + r.width()) * f));
  const int bottom = int(std::lround((r.top() + r.height()) * f));
  return QRect(left, top, right - left, bottom - top);
}

// Room a button needs around its caption (frame and margins) or its
// picture (frame and a pixel each side).
QSize buttonNeeds(const QAbstractButton& button) {
  const QStyle* style = button.style();
  const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &button);
  if (button.text().isEmpty()) return button.iconSize() + QSize(2 * frame + 2, 2 * frame + 2);
  const int margin = style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button);
  return button.fontMetrics().size(Qt::TextShowMnemonic, button.text()) +
         QSize(2 * (frame + margin), 2 * frame + margin);
}

// True when the control shows its whole text inside `room`.
bool fitsIn(const QWidget& w, const QSize& room) {
  if (const auto* label = qobject_cast<const QLabel*>(&w)) {
    if (label->wordWrap()) return label->heightForWidth(room.width()) <= room.height();
    const QSize need = label->sizeHint();
    return need.width() <= room.width() && need.height() <= room.height();
  }
  if (const auto* check = qobject_cast<const QCheckBox*>(&w)) {
    const QSize need = check->sizeHint();
    return need.width() <= room.width() && need.height() <= room.height();
  }
  if (const auto* button = qobject_cast<const QPushButton*>(&w)) {
    const QSize need = buttonNeeds(*button);
    return need.width() <= room.width() && need.height() <= room.height();
  }
  if (const auto* edit = qobject_cast<const QLineEdit*>(&w)) {
    if (edit->minimumSizeHint().height() > room.height()) return false;
    const QString sample = edit->property("fitText").toString();
    if (sample.isEmpty()) return true;
    const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
    // Text margins and the cursor's width beside the frame.
    return edit->fontMetrics().horizontalAdvance(sample) + 2 * frame + 6 <= room.width();
  }
  return true;
}

bool allFit(const QWidget& form, double f) {
  for (const QWidget* child : form.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (!fitsIn(*child, scaled(child->geometry(), f).size())) return false;
  }
  return true;
}

}  // namespace

double scaleToFont(QWidget& form) {
  const auto children = form.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  for (QWidget* child : children) {
    if (!child->property("largerFont").toBool()) continue;
    QFont font = child->font();
    font.setPointSizeF(font.pointSizeF() * kLargerPoints / kDialogPoints);
    child->setFont(font);
  }
  double f = 1.0;
  while (f < kMostScale && !allFit(form, f)) f += kStep;
  for (QWidget* child : children) child->setGeometry(scaled(child->geometry(), f));
  form.setFixedSize(scaled(QRect(QPoint(0, 0), form.minimumSize()), f).size());
  return f;
}

}  // namespace varnok::form
