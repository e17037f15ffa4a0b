// Keeps out of a box any character a gun book cannot hold (outside
// Windows-1252, or a control character), as it is typed or pasted: an
// insertion holding one is refused whole, and the box says why where the
// operator is looking. The run and the transfer refuse such text anyway;
// this stops it at the keyboard.
#pragma once

#include <QString>
#include <QValidator>

class QLineEdit;

namespace varnok::form {

class StorableText final : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& position) const override;

  // Makes `box` take only storable text and show the hint when it refuses.
  void guard(QLineEdit& box);

  // Why the last refused text was refused, e.g. "A gun book cannot hold
  // "Ł" (the character U+0141): nothing of what was typed or pasted went in."
  const QString& lastHint() const { return lastHint_; }

 private:
  void showHint(QLineEdit& box) const;

  mutable QString lastHint_;
};

}  // namespace varnok::form
