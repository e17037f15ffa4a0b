// Upper-casing of what is typed into the licensee boxes.
#pragma once

#include <QString>

namespace varnok::form {

// Each letter in its upper-case form where that is one character the book
// can hold (Windows-1252): "é" becomes "É" and "ÿ" "Ÿ", but "ß" and "µ"
// stay, since their upper-case forms are two letters or not in the book's
// code page.
QString toUpperForBook(const QString& text);

}  // namespace varnok::form
