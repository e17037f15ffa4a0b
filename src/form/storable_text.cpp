#include "form/storable_text.h"

#include <QLineEdit>
#include <QToolTip>

#include "conversion/input_check.h"

namespace varnok::form {
namespace {

// The refused character itself, then how the book's check names it.
QString hintFor(const QString& input) {
  for (const char32_t c : input.toUcs4()) {
    const QString one = QString::fromUcs4(&c, 1);
    const std::string why = conversion::unstorableCharacter(one.toStdString());
    if (why.empty()) continue;
    const QString named = QString::fromStdString(why);
    const QString shown = one.at(0).isPrint() || one.size() > 1
                              ? QStringLiteral("\u201C%1\u201D (%2)").arg(one, named)
                              : named;
    return QStringLiteral("A gun book cannot hold %1: nothing of what was typed or pasted "
                          "went in.").arg(shown);
  }
  return {};
}

}  // namespace

QValidator::State StorableText::validate(QString& input, int&) const {
  if (conversion::unstorableCharacter(input.toStdString()).empty()) return Acceptable;
  lastHint_ = hintFor(input);
  return Invalid;
}

void StorableText::guard(QLineEdit& box) {
  box.setValidator(this);
  connect(&box, &QLineEdit::inputRejected, this, [this, &box] { showHint(box); });
}

// Just under the box, where the operator's eyes are.
void StorableText::showHint(QLineEdit& box) const {
  if (lastHint_.isEmpty()) return;
  QToolTip::showText(box.mapToGlobal(QPoint(0, box.height())), lastHint_, &box);
}

}  // namespace varnok::form
