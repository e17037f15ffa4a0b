// Keeps out of a box any character a gun book cannot hold (outside
// Windows-1252, or a control character), as it is typed or pasted. The run
// and the transfer refuse such text anyway; this stops it at the keyboard.
#pragma once

#include <QValidator>

namespace varnok::form {

class StorableText final : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& position) const override;
};

}  // namespace varnok::form
