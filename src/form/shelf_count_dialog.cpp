#include "form/shelf_count_dialog.h"

#include <QString>
#include <exception>

#include "conversion/date_check.h"
#include "form/file_choice.h"
#include "form/report_dialog.h"
#include "gunbook/date_and_number.h"
#include "report/shelf_count_file.h"
#include "reportfolder/report_folder.h"
#include "restore/run_recovery.h"

namespace varnok::form {

void countTheShelf(QWidget& window, conversion::FormView& view, rm::RecordManager& engine) {
  using conversion::TextBox;
  const std::string oldFolder = view.text(TextBox::OldBookFolder, 0);
  const std::string date = view.text(TextBox::ConversionDate, 0);
  if (oldFolder.find_first_not_of(' ') == std::string::npos || !conversion::isValidDate(date))
    return view.messageBox(
        "To compare a count of the shelf with the old book, fill in the old book's folder "
        "and the date to convert first.");
  const QString file =
      FileChoice::toRead(&window, QStringLiteral("The count of the shelf (serial or stock numbers)"));
  if (file.isEmpty()) return;
  try {
    // A run stopped half-way is put right before its book is read.
    restore::recoverInterruptedRuns(reportfolder::defaultReportsFolder(), engine);
  } catch (const std::exception&) {
    // No reports folder to look in: nothing to put right.
  }
  const report::ShelfCountOutcome outcome = report::countShelfFile(
      engine, file.toStdString(), oldFolder, gunbook::bookDateFromFormDate(date));
  if (!outcome.count) return view.messageBox("The shelf was not counted: " + outcome.problem);
  ReportDialog::show(&window, QStringLiteral("Count on the shelf: ") + file,
                     QString::fromStdString(proof::shelfCountText(*outcome.count)),
                     QStringLiteral("shelf-count.txt"));
}

}  // namespace varnok::form
