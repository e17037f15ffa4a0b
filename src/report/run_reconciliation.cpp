// A run's reconciliation: the two books as they were before the run,
// reconciled on the run's date. A run reads them from its backups, beside
// the passes once both are copied (the backups are the books byte for byte
// as the run found them), and writes reconciliation.txt there too; a
// preview, which takes no backups, reads the books before it starts.
#include <array>
#include <vector>

#include "booktool/book_tool.h"
#include "conversion/date_check.h"
#include "gunbook/date_and_number.h"
#include "gunbook/windows1252.h"
#include "proof/reconciliation.h"
#include "recordmanager/book_copy.h"
#include "recordmanager/status.h"
#include "report/run_report.h"
#include "reportfolder/file_io.h"

namespace varnok::report {
namespace {

using Entries = proof::ReconciledEntries;

struct BackupToRead {
  std::string role;
  std::filesystem::path path;
  std::uintmax_t bytes = 0;
};

// Empty when the backup was read whole, else why not.
std::string readBackup(const BackupToRead& backup, Entries& entries) {
  // A book file holds a little more than its entries.
  entries.reserve(backup.bytes / gunbook::kStoredRecordLength);
  const int16_t status = rm::readBookCopy(backup.path, [&](const uint8_t* stored) {
    entries.push_back(proof::reconciledEntry(stored));
  });
  if (status == rm::status::Success) return {};
  return "the backup " + backup.path.string() + " could not be read (status " +
         std::to_string(status) + ")";
}

BackupReconciliation reconcileBackups(const std::array<BackupToRead, 2>& backups,
                                      const std::string& bookDate, const std::string& prefix) {
  Entries books[2];
  for (int i = 0; i < 2; ++i) {
    if (std::string why = readBackup(backups[i], books[i]); !why.empty()) return {{}, why, {}};
  }
  return {proof::reconcile(books[0], books[1], bookDate, prefix), {}, {}};
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
  // A preview writes nothing: it does not open a book whose Open would put
  // back a save cut short (the passes refuse it too, saying how to recover).
  for (const BookRecord& book : recorder_->books()) {
    if (rm::saveCutShortBeside(book.path)) {
      reconciliationSummary_ = "  not made: the " + book.role +
                               " book's last save was cut short, so the preview did not read it\n";
      return;
    }
  }
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
  keep(proof::reconcile(books[0], books[1], bookDate_, prefix_));
}

void RunReport::startReconciling() {
  if (bookDate_.empty() || mode_ != Mode::Run || reconciling_.valid()) return;
  const std::vector<BookRecord>& records = recorder_->books();
  // The backups are read once they are whole on disk under their names.
  if (records.size() != 2 || records[0].backups.empty() || records[1].backups.empty() ||
      records[0].backups.front().sha256.empty() || records[1].backups.front().sha256.empty())
    return;
  std::array<BackupToRead, 2> backups;
  for (int i = 0; i < 2; ++i) {
    const reportfolder::CopiedFile& first = records[i].backups.front();
    backups[i] = {records[i].role, first.path, first.bytes};
  }
  // The backups are whole once copied: read beside the rest of the run.
  // Its text is written there too: nothing waits for it before the end.
  reconciling_ = std::async(std::launch::async, [backups, date = bookDate_, prefix = prefix_,
                            &folder = dir_] {
    BackupReconciliation outcome = reconcileBackups(backups, date, prefix);
    if (outcome.notMade.empty()) {
      try {
        folder.writeFile("reconciliation.txt", proof::reconciliationText(outcome.reconciliation));
      } catch (...) {
        outcome.notWritten = std::current_exception();
      }
    }
    return outcome;
  });
}

void RunReport::reconcileFromBackups() {
  if (bookDate_.empty() || mode_ != Mode::Run) return;
  const std::vector<BookRecord>& records = recorder_->books();
  if (records.size() != 2) return;  // a book folder left empty: refused before any Open
  recorder_->settleBackups();
  startReconciling();
  if (!reconciling_.valid()) {
    const BookRecord& unopened = records[0].backups.empty() ? records[0] : records[1];
    reconciliationSummary_ = "  not made: the " + unopened.role + " book was not opened by the run\n";
    return;
  }
  const BackupReconciliation outcome = reconciling_.get();
  if (!outcome.notMade.empty()) {
    reconciliationSummary_ = "  not made: " + outcome.notMade + "\n";
    return;
  }
  reconciliationSummary_ = proof::reconciliationSummary(outcome.reconciliation) +
                           proof::warningsText(outcome.reconciliation, {});
  reconciliationVerdict_ = proof::reconciliationVerdict(outcome.reconciliation);
  // Written beside the run, perhaps onto a disk full then: once more, now
  // that the room kept for it is free.
  if (outcome.notWritten)
    dir_.writeFile("reconciliation.txt", proof::reconciliationText(outcome.reconciliation));
}

void RunReport::keep(const proof::Reconciliation& reconciliation) {
  reconciliation_ = proof::reconciliationText(reconciliation);
  reconciliationSummary_ = proof::reconciliationSummary(reconciliation) +
                           proof::warningsText(reconciliation, {});
  reconciliationVerdict_ = proof::reconciliationVerdict(reconciliation);
}

}  // namespace varnok::report
