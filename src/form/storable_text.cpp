#include "form/storable_text.h"

#include "conversion/input_check.h"

namespace varnok::form {

QValidator::State StorableText::validate(QString& input, int&) const {
  return conversion::unstorableCharacter(input.toStdString()).empty() ? Acceptable : Invalid;
}

}  // namespace varnok::form
