#include "form/pdf_printer.h"

#include <cups/cups.h>

#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <string>
#include <vector>

namespace varnok::form {
namespace {

using JobOptions = std::vector<std::pair<std::string, std::string>>;

// The print job's options, from what the dialog left in `printer`.
JobOptions jobOptions(const QPrinter& printer, pack::Paper paper) {
  JobOptions options;
  options.emplace_back("media", paper == pack::Paper::A4 ? "A4" : "Letter");
  options.emplace_back("copies", std::to_string(printer.copyCount()));
  options.emplace_back("collate", printer.collateCopies() ? "true" : "false");
  if (printer.printRange() == QPrinter::PageRange)
    options.emplace_back("page-ranges", std::to_string(printer.fromPage()) + "-" +
                                            std::to_string(printer.toPage()));
  // The pages are landscape: turned at their short edge.
  switch (printer.duplex()) {
    case QPrinter::DuplexNone: options.emplace_back("sides", "one-sided"); break;
    case QPrinter::DuplexLongSide: options.emplace_back("sides", "two-sided-long-edge"); break;
    default: options.emplace_back("sides", "two-sided-short-edge"); break;
  }
  return options;
}

QString printThroughCups(const QPrinter& printer, const QString& pdf, pack::Paper paper) {
  cups_option_t* options = nullptr;
  int count = 0;
  for (const auto& [name, value] : jobOptions(printer, paper))
    count = cupsAddOption(name.c_str(), value.c_str(), count, &options);
  const QByteArray printerName = printer.printerName().toUtf8();
  const QByteArray file = QFile::encodeName(pdf);
  const int jobId = cupsPrintFile(printerName.constData(), file.constData(), "Inspector's pack",
                                  count, options);
  cupsFreeOptions(count, options);
  if (jobId != 0) return {};
  return QStringLiteral("The printer %1 did not take the pack: %2.")
      .arg(printer.printerName(), QString::fromUtf8(cupsLastErrorString()));
}

}  // namespace

QString printPdf(QWidget* parent, const QString& pdf, pack::Paper paper) {
  QPrinter printer;
  printer.setDocName("Inspector's pack");
  printer.setPageSize(QPageSize(paper == pack::Paper::A4 ? QPageSize::A4 : QPageSize::Letter));
  printer.setPageOrientation(QPageLayout::Landscape);
  QPrintDialog dialog(&printer, parent);
  dialog.setOptions(QAbstractPrintDialog::PrintPageRange |
                    QAbstractPrintDialog::PrintCollateCopies | QAbstractPrintDialog::PrintToFile);
  if (dialog.exec() != QDialog::Accepted) return {};
  if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
    const QString target = printer.outputFileName();
    if (QFile::exists(target) && target != pdf) QFile::remove(target);
    if (target == pdf || QFile::copy(pdf, target)) return {};
    return QStringLiteral("The pack could not be written to %1.").arg(target);
  }
  if (printer.printerName().isEmpty()) return QStringLiteral("No printer was chosen.");
  return printThroughCups(printer, pdf, paper);
}

}  // namespace varnok::form
