// The file the operator chooses in a file dialog, to read or to write.
//
// Tests choose without showing the dialog: setNextChoice() queues the path
// the next chooser returns (an empty one: the operator cancelled).
#pragma once

#include <QString>

class QWidget;

namespace varnok::form {

class FileChoice {
 public:
  // An existing file; empty when cancelled.
  static QString toRead(QWidget* parent, const QString& caption);
  // A file to write, `suggested` offered; empty when cancelled.
  static QString toWrite(QWidget* parent, const QString& caption, const QString& suggested);

  static void setNextChoice(const QString& path);
  static void clearNextChoices();
};

}  // namespace varnok::form
