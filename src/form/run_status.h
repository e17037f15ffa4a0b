// The line at the foot of the window that says what the last run, preview or
// transfer came to: the warning for error reports answered Ignore (the one
// varnok-cli gives), the outcome with the verdicts of the reconciliation and
// of the check, and the report folder. It stays until the next run.
#pragma once

#include <QLabel>
#include <QString>

#include "conversion/converter.h"
#include "report/run_report.h"

class QMainWindow;

namespace varnok::form {

class RunStatusLine : public QLabel {
  Q_OBJECT

 public:
  // Puts itself, empty, in the window's status bar (objectName RunStatus),
  // with room for three lines.
  explicit RunStatusLine(QMainWindow& window);

  void showRun(const report::RunReport& runReport, const conversion::Converter& converter,
               report::RunKind kind, report::Mode mode);
  // A plain line, such as what an undo did; a warning stands out.
  void showText(const QString& text, bool warning = false);
};

// The status line's text for a finished run.
QString runStatusText(const report::RunReport& runReport, const conversion::Converter& converter,
                      report::RunKind kind, report::Mode mode);

}  // namespace varnok::form
