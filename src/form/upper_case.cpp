#include "form/upper_case.h"

#include <QList>

#include "gunbook/windows1252.h"

namespace varnok::form {

QString toUpperForBook(const QString& text) {
  QList<uint> characters = text.toUcs4();
  for (uint& c : characters) {
    const char32_t upper = QChar::toUpper(char32_t(c));
    if (upper != c && gunbook::windows1252Byte(upper)) c = upper;
  }
  return QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData()),
                           characters.size());
}

}  // namespace varnok::form
