// A run's reconciliation: the two books as they were before the run,
// reconciled on the run's date. A run reads them from its backups once it
// has ended (the backups are the books byte for byte as the run found
// them); a preview, which takes no backups, reads the books before it
// starts.
#include <vector>

#include "booktool/book_tool.h"
#include "conversion/date_check.h"
#include "gunbook/myroutines.h"
#include "gunbook/windows1252.h"
#include "recordmanager/book_copy.h"
#include "recordmanager/status.h"
#include "report/reconciliation.h"
#include "report/run_report.h"

namespace varnok::report {
namespace {

using Entries = std::vector<ReconciledEntry>;

// Empty when the backup was read whole, else why not.
std::string readBackup(const BookRecord& book, Entries& entries) {
  if (book.backups.empty()) return "the " + book.role + " book was not opened by the run";
  const auto& backup = book.backups.front().path;
  // A book file holds a little more than its entries.
  entries.reserve(book.backups.front().bytes / gunbook::kStoredRecordLength);
  const int16_t status = rm::readBookCopy(backup, [&](const uint8_t* stored) {
    entries.push_back(reconciledEntry(stored));
  });
  if (status == rm::status::Success) return {};
  return "the backup " + backup.string() + " could not be read (status " +
         std::to_string(status) + ")";
}

}  // namespace

void RunReport::prepareReconciliation(const conversion::FormValues& form,
                                      rm::RecordManager& engine) {
  if (!conversion::isValidDate(form.conversionDate)) {
    reconciliationSummary_ = "  not made: the conversion date \"" + form.conversionDate +
                             "\" is no day of the calendar\n";
    return;
  }
  bookDate_ = gunbook::bookDateFromFormDate(form.conversionDate);
  prefix_ = gunbook::toWindows1252(form.newBookPrefix);
  if (mode_ == Mode::Run) return;  // made from the backups at the end
  std::vector<gunbook::GunRecord> books[2];
  const std::string* folders[2] = {&form.oldBookFolder, &form.newBookFolder};
  for (int i = 0; i < 2; ++i) {
    const auto outcome = booktool::readEntries(engine, *folders[i], books[i]);
    if (!outcome.ok) {
      reconciliationSummary_ = std::string("  not made: the ") + (i == 0 ? "old" : "new") +
                               " book could not be read: " + outcome.problem + "\n";
      return;
    }
  }
  keep(reconcile(books[0], books[1], bookDate_, prefix_));
}

void RunReport::reconcileFromBackups() {
  if (bookDate_.empty() || mode_ != Mode::Run) return;
  const std::vector<BookRecord>& records = recorder_->books();
  if (records.size() != 2) return;  // a book folder left empty: refused before any Open
  Entries books[2];
  for (int i = 0; i < 2; ++i) {
    if (std::string why = readBackup(records[i], books[i]); !why.empty()) {
      reconciliationSummary_ = "  not made: " + why + "\n";
      return;
    }
  }
  keep(reconcile(books[0], books[1], bookDate_, prefix_));
}

void RunReport::keep(const Reconciliation& reconciliation) {
  reconciliation_ = reconciliationText(reconciliation);
  reconciliationSummary_ = report::reconciliationSummary(reconciliation);
}

}  // namespace varnok::report
