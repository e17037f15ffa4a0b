// A report shown in a dialog of its own, titled Varnok: its text, read-only
// and scrolled, a "Save..." button that writes the text to a file the
// operator chooses (readable by the owner only, as every report file), and
// "Close", the default.
//
// show() goes through the message boxes' test seam: with an answer queued,
// the dialog is not shown and its text counts as a box answered.
#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;

namespace varnok::form {

class ReportDialog : public QDialog {
  Q_OBJECT

 public:
  // `heading`: a line above the text; `fileName`: the name Save offers.
  ReportDialog(QWidget* parent, const QString& heading, const QString& text,
               const QString& fileName);

  static void show(QWidget* parent, const QString& heading, const QString& text,
                   const QString& fileName);

  // Asks where, and writes the text there; a file that cannot be written is
  // told and nothing else changes. True when written.
  bool save();

 private:
  QString text_;
  QString fileName_;
};

}  // namespace varnok::form
