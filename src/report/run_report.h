// The record every run, transfer, preview and import leaves: a report
// folder holding summary.txt, changes.csv and the backup copy of each book
// as it was before the run (none in a preview).
//
// A front end makes the report before the run, runs the conversion through
// the report's record manager, and finishes the report afterwards:
//
//   report::RunReport report(report::RunKind::Convert, report::Mode::Run,
//                            reportfolder::defaultReportsFolder(), values, rm::bookEngine());
//   conversion::Converter converter(view, report.recordManager());
//   converter.runConversion();
//   const std::filesystem::path folder = report.finish(converter);
//
// summary.txt is written when the report is made and again as the run goes
// (after each backup and each saved book), so that the folder of a run that
// ended by Abort, a crash or a kill says so and what had been saved by then.
#pragma once

#include <chrono>
#include <exception>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "conversion/converter.h"
#include "conversion/form_values.h"
#include "gunbook/gun_record.h"
#include "proof/converted_check.h"
#include "proof/reconciliation.h"
#include "recordmanager/record_manager.h"
#include "report/recording_manager.h"
#include "report/summary.h"
#include "reportfolder/changes.h"
#include "reportfolder/report_dir.h"
#include "reportfolder/report_folder.h"
#include "reportfolder/run_ledger.h"

namespace varnok::report {

// An import of a CSV file into one book.
struct BookImport {
  std::string folder;   // as typed
  std::string csvFile;  // as named
};

// A run's reconciliation from its backups, or why none could be made; once
// made, it is also written to reconciliation.txt, or why it could not be.
struct BackupReconciliation {
  proof::Reconciliation reconciliation;
  std::string notMade;
  std::exception_ptr notWritten;
};

class RunReport {
 public:
  // A run or a transfer on the books the form names, or its preview. Makes
  // the report folder in `reports`. Throws std::runtime_error saying what
  // and where when the folder lies inside either book's folder, or cannot
  // be made or written.
  RunReport(RunKind kind, Mode mode, const std::filesystem::path& reports,
            const conversion::FormValues& form, rm::RecordManager& engine);
  RunReport(const BookImport& import, const std::filesystem::path& reports,
            rm::RecordManager& engine);
  ~RunReport();
  RunReport(const RunReport&) = delete;
  RunReport& operator=(const RunReport&) = delete;

  // Adds the licence numbers and the operator's name to the summary's
  // inputs (rewriting it now); call before the run.
  void recordLicenceDetails(const LicenceDetails& details);

  // The record manager the run must use.
  rm::RecordManager& recordManager() { return *recorder_; }
  const std::filesystem::path& folder() const { return dir_.path(); }
  const std::vector<BookRecord>& books() const { return recorder_->books(); }
  // Why a backup or the change report could not be written, one line each:
  // the front end shows them beside the run's own messages.
  const std::vector<std::string>& problems() const { return recorder_->problems(); }
  // The books whose last Close was refused, so that the changes of that
  // pass were dropped ("old", "new").
  std::vector<std::string> unsavedBooks() const;
  // Earlier runs in the same reports folder that had been stopped before
  // their end, whose reports this one put right first (one line each).
  const std::vector<std::string>& recoveredRuns() const { return recovered_; }

  // The reconciliation of the books as they were before the run, in its
  // lines of summary.txt (the whole of it goes to reconciliation.txt);
  // "not made ..." with the reason when the books could not be read or the
  // date is no day. A run's is there once finish() has waited for it, a
  // preview's from the start.
  const std::string& reconciliationSummary() const { return reconciliationSummary_; }

  // The check of the books as the run left them (as a preview would leave
  // them: the books with the rows of its changes.csv applied), in its lines
  // of summary.txt; the whole of it goes to check.txt. Made once the run
  // has returned, by finish() or before it by the front end.
  void checkConvertedBooks();
  const std::string& convertedCheckSummary() const { return checkSummary_; }
  // The two verdicts of those, as their summaries word them ("the books
  // reconcile", "THE HAND-OVER IS NOT PROVEN: 2 exceptions"); empty while
  // not made.
  const std::string& reconciliationVerdict() const { return reconciliationVerdict_; }
  const std::string& convertedCheckVerdict() const { return checkVerdict_; }

  // What a preview foretells, as varnok-cli prints it and the window shows
  // it: what each book would have removed and rewritten, the models the
  // prefix would cut (`cutModels`, the converter's), the reconciliation of
  // the books before the run with its warnings, and the check of the books
  // as the run would leave them. Makes the check first when not made yet.
  std::string previewText(const std::vector<std::string>& cutModels);
  // The report folder of an earlier conversion in the same reports folder,
  // on this run's date, that left both books exactly as this run found them
  // (their SHA-256 when first opened; once the books are open, so after the
  // book check); empty when there is none.
  std::filesystem::path earlierConversionOfTheBooks();

  // Writes the final summary.txt (and reconciliation.txt) and returns the
  // folder. Throws std::system_error naming the file that could not be
  // written; the books are as the run left them either way.
  std::filesystem::path finish(const conversion::Converter& converter);
  // What the run came to, as the final summary.txt says it; empty before
  // finish().
  const std::string& outcome() const { return outcome_; }
  // For a run without a converter: its outcome in words, e.g. "imported
  // 300 entries" or the refusal.
  std::filesystem::path finish(const std::string& outcome);

 private:
  void start(const std::filesystem::path& reports, std::vector<BookRecord> books,
             rm::RecordManager& engine, uint64_t rowsEstimate = 0);
  // Sets aside, before any book is opened, the room on disk the report will
  // need; throws std::runtime_error when the disk has not got it.
  void reserveRoom(const std::vector<BookRecord>& books, uint64_t rowsEstimate);
  void releaseRoom() noexcept;
  void writeSummary(const std::string& outcome, int ignoredReports, bool finished);
  // The reconciliation of the books before the run: a preview reads both
  // books through `engine` now (their sessions dropped: nothing is
  // written); a run reads its backups beside the passes.
  void prepareReconciliation(const conversion::FormValues& form, rm::RecordManager& engine);
  // Begins once both books' backups are copied, beside the rest of the run.
  void startReconciling();
  void reconcileFromBackups();
  void keep(const proof::Reconciliation& reconciliation);
  void prepareCheck(const conversion::FormValues& form, rm::RecordManager& engine);

  RunKind kind_;
  Mode mode_;
  std::string inputs_;  // the summary's lines on the run's inputs
  std::chrono::system_clock::time_point started_;
  // Declared first: everything below writes through it.
  reportfolder::ReportDir dir_;
  std::vector<std::string> recovered_;
  std::unique_ptr<reportfolder::ChangesFile> changes_;
  std::unique_ptr<reportfolder::RunLedger> ledger_;
  std::unique_ptr<RecordingManager> recorder_;
  std::future<BackupReconciliation> reconciling_;
  std::string reconciliation_, reconciliationSummary_;
  std::string bookDate_, prefix_;  // the run's, in book form
  std::string conversionDate_;     // as typed
  std::vector<std::string> cutModels_;  // the converter's, once the run has ended
  // The check of the converted books: what the run was asked, the books'
  // folders as typed, and the engine they are read through afterwards.
  std::optional<proof::ConversionTerms> checkTerms_;
  std::string checkedFolders_[2];
  rm::RecordManager* checkEngine_ = nullptr;
  bool checked_ = false;
  std::string check_, checkSummary_;
  std::string reconciliationVerdict_, checkVerdict_;
  std::string outcome_;
};

}  // namespace varnok::report
