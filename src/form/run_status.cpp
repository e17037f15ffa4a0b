#include "form/run_status.h"

#include <QMainWindow>
#include <QStatusBar>

#include "report/summary.h"

namespace varnok::form {
namespace {

constexpr int kLines = 3;
constexpr double kFontScale = 0.9;

std::string verdictOr(const std::string& verdict) {
  return verdict.empty() ? std::string("not made (see the report)") : verdict;
}

}  // namespace

RunStatusLine::RunStatusLine(QMainWindow& window) : QLabel(&window) {
  setObjectName(QStringLiteral("RunStatus"));
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
  setTextInteractionFlags(Qt::TextSelectableByMouse);  // the folder can be copied
  setFocusPolicy(Qt::NoFocus);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // The window's size is fixed: the lines a run's status takes are there
  // from the start, in a smaller font, as a status bar's, so that the
  // window still fits a 1024 x 768 screen.
  QFont smaller = font();
  smaller.setPointSizeF(smaller.pointSizeF() * kFontScale);
  setFont(smaller);
  setFixedHeight(fontMetrics().lineSpacing() * kLines);
  window.statusBar()->setSizeGripEnabled(false);
  window.statusBar()->addWidget(this, 1);
}

void RunStatusLine::showRun(const report::RunReport& runReport,
                            const conversion::Converter& converter, report::RunKind kind,
                            report::Mode mode) {
  showText(runStatusText(runReport, converter, kind, mode), converter.ignoredReports() > 0);
}

void RunStatusLine::showText(const QString& text, bool warning) {
  setStyleSheet(warning ? QStringLiteral("color: #b00000; font-weight: bold") : QString());
  setText(text);
  setToolTip(text);
}

QString runStatusText(const report::RunReport& runReport, const conversion::Converter& converter,
                      report::RunKind kind, report::Mode mode) {
  std::string text;
  if (const std::string warning = converter.ignoredReportsWarning(); !warning.empty())
    text += warning + "\n";
  text += mode == report::Mode::Preview      ? "Preview: "
          : kind == report::RunKind::Fix     ? "Late disposal transfer: "
                                             : "Conversion: ";
  text += runReport.outcome().empty() ? report::outcomeText(converter) : runReport.outcome();
  text += ". Reconciliation: " + verdictOr(runReport.reconciliationVerdict());
  // A transfer is no conversion: it has no check.
  if (kind != report::RunKind::Fix) text += ". Check: " + verdictOr(runReport.convertedCheckVerdict());
  text += ".\nReport: " + runReport.folder().string();
  return QString::fromStdString(text);
}

}  // namespace varnok::form
