#include "report/run_report.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <stdexcept>
#include <system_error>

#include "gunbook/book_folder.h"
#include "recordmanager/book_path.h"
#include "report/summary.h"
#include "reportfolder/file_io.h"
#include "reportfolder/run_history.h"
#include "restore/run_recovery.h"

namespace varnok::report {
namespace fs = std::filesystem;
namespace {

// The book file a typed folder leads to, as an absolute path; empty for an
// empty folder box.
std::string bookFileOf(const std::string& typedFolder) {
  if (typedFolder.find_first_not_of(' ') == std::string::npos) return {};
  const std::string key = gunbook::bookFileKey(gunbook::normaliseFolder(typedFolder));
  std::error_code ignored;
  return fs::absolute(rm::bookFilePath(key.data(), key.size()), ignored).lexically_normal();
}

fs::path resolved(const fs::path& path) {
  std::error_code error;
  fs::path canonical = fs::weakly_canonical(path, error);
  return error ? fs::absolute(path, error).lexically_normal() : canonical;
}

bool isInside(const fs::path& inner, const fs::path& outer) {
  const fs::path relative = resolved(inner).lexically_relative(resolved(outer));
  return !relative.empty() && *relative.begin() != "..";
}

// A book folder is the store's live data: no report goes in it.
void refuseInsideBooks(const fs::path& reports, const std::vector<BookRecord>& books) {
  for (const BookRecord& book : books) {
    const fs::path bookFolder = fs::path(book.path).parent_path();
    if (isInside(reports, bookFolder))
      throw std::runtime_error("the report folder " + reports.string() + " is inside the " +
                               book.role + " book's folder " + bookFolder.string() +
                               "; reports go outside both books' folders");
  }
}

uint64_t fileBytes(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

std::string megabytes(uint64_t bytes) { return std::to_string((bytes + 999999) / 1000000) + " MB"; }

[[noreturn]] void refuseForRoom(const fs::path& folder, uint64_t needed) {
  struct statvfs disk{};
  const uint64_t free =
      ::statvfs(folder.c_str(), &disk) == 0 ? uint64_t(disk.f_bavail) * disk.f_frsize : 0;
  throw std::runtime_error("not enough room for the report in " + folder.string() +
                           ": the run needs about " + megabytes(needed) +
                           " there (the backups and the record of its changes) and the disk has " +
                           megabytes(free) + " free; free some room, or choose a folder on "
                           "another disk with --report-dir");
}

// A hidden file holding room on disk for the summaries and the
// reconciliation, given back just before they are written at the end.
constexpr const char* kRoomFile = ".room";

const char* kindName(RunKind kind, Mode mode) {
  if (mode == Mode::Preview) return "preview";
  switch (kind) {
    case RunKind::Convert: return "convert";
    case RunKind::Fix: return "fix";
    case RunKind::Import: return "import";
  }
  return "run";
}

}  // namespace

RunReport::RunReport(RunKind kind, Mode mode, const fs::path& reports,
                     const conversion::FormValues& form, rm::RecordManager& engine)
    : kind_(kind), mode_(mode), inputs_(formInputsText(kind, mode, form)),
      conversionDate_(form.conversionDate) {
  std::vector<BookRecord> books;
  for (const auto& [role, typed] : {std::pair{"old", &form.oldBookFolder},
                                    std::pair{"new", &form.newBookFolder}}) {
    if (std::string path = bookFileOf(*typed); !path.empty())
      books.push_back(BookRecord{role, std::move(path)});
  }
  start(reports, std::move(books), engine);
  prepareReconciliation(form, engine);
  prepareCheck(form, engine);
}

RunReport::RunReport(const BookImport& import, const fs::path& reports,
                     rm::RecordManager& engine)
    : kind_(RunKind::Import), mode_(Mode::Run), inputs_(importInputsText(import.folder,
                                                                         import.csvFile)) {
  std::vector<BookRecord> books;
  if (std::string path = bookFileOf(import.folder); !path.empty())
    books.push_back(BookRecord{"book", std::move(path)});
  // Every imported entry is a row per field: some eight times its CSV line.
  start(reports, std::move(books), engine, 8 * fileBytes(import.csvFile));
}

RunReport::~RunReport() = default;

fs::path RunReport::earlierConversionOfTheBooks() {
  const auto hashes = [this] {
    // A run's hashes before are its backups': on disk and hashed first.
    recorder_->settleBackups();
    std::pair<std::string, std::string> found;
    for (const BookRecord& book : recorder_->books()) {
      if (book.role == "old") found.first = book.sha256Before;
      if (book.role == "new") found.second = book.sha256Before;
    }
    // A book not hashed matches no run.
    if (found.first.empty() || found.second.empty()) found = {"-", "-"};
    return found;
  };
  return reportfolder::conversionThatLeft(dir_.path().parent_path(), conversionDate_, hashes,
                                          dir_.path());
}

void RunReport::recordLicenceDetails(const LicenceDetails& details) {
  if (details.empty()) return;
  inputs_ += licenceDetailsText(details);
  writeSummary({}, 0, false);
}

void RunReport::start(const fs::path& reports, std::vector<BookRecord> books,
                      rm::RecordManager& engine, uint64_t rowsEstimate) {
  std::error_code error;
  const fs::path absolute = fs::absolute(reports, error).lexically_normal();
  refuseInsideBooks(absolute, books);
  recovered_ = restore::recoverInterruptedRuns(absolute, engine);
  started_ = std::chrono::system_clock::now();
  reportfolder::makeReportDir(
      absolute, kindName(kind_, mode_), started_, dir_, [&](const reportfolder::ReportDir& dir) {
        // Held while the run lasts: the next command tells a run under way
        // from one that was stopped by it.
        if (::flock(dir.fd(), LOCK_EX | LOCK_NB) != 0)
          throw std::system_error(errno, std::generic_category(),
                                  "cannot lock the report folder " + dir.path().string());
        changes_ = std::make_unique<reportfolder::ChangesFile>(dir);
        ledger_ = std::make_unique<reportfolder::RunLedger>(dir, changes_->size());
        for (const BookRecord& book : books) ledger_->book(book.role, book.path);
        reserveRoom(books, rowsEstimate);
        recorder_ = std::make_unique<RecordingManager>(engine, kind_, mode_, dir_, *changes_,
                                                       *ledger_, std::move(books));
        writeSummary({}, 0, false);
      });
  changes_->setPath(dir_.path() / "changes.csv");
  recorder_->onProgress = [this] {
    startReconciling();
    try {
      writeSummary({}, 0, false);
    } catch (const std::exception&) {
      // The final summary says what the run came to; the interim one is a
      // courtesy for a run that does not get there.
    }
  };
}

void RunReport::reserveRoom(const std::vector<BookRecord>& books, uint64_t rowsEstimate) {
  uint64_t bookBytes = 0;
  for (const BookRecord& book : books) bookBytes += fileBytes(book.path);
  // An entry rewritten in most of its fields is a row per field, some three
  // times its stored form; four leaves room for text that grows in UTF-8.
  const uint64_t rows = 4 * bookBytes + rowsEstimate + 65536;
  const uint64_t other = 1000000 + bookBytes / 4;  // summaries, reconciliation
  const uint64_t backups = mode_ == Mode::Run ? bookBytes : 0;
  const auto enough = [&](uint64_t bytes) {
    struct statvfs disk{};
    return ::statvfs(dir_.path().c_str(), &disk) == 0 &&
           uint64_t(disk.f_bavail) * disk.f_frsize >= bytes;
  };
  const fs::path reports = dir_.path().parent_path();
  const uint64_t needed = rows + other + backups;
  // Where the file system cannot set room aside, its free room is checked.
  const auto settle = [&](bool held, int error) {
    if (held || (error == EOPNOTSUPP && enough(needed))) return;
    if (error == ENOSPC || error == EOPNOTSUPP) refuseForRoom(reports, needed);
    throw std::system_error(error, std::generic_category(),
                            "cannot set aside room for the report in " + reports.string());
  };
  const bool rowsHeld = changes_->reserve(rows);
  settle(rowsHeld, errno);
  const int room = dir_.createFile(kRoomFile, O_WRONLY);
  const bool held = ::fallocate(room, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(other)) == 0;
  const int heldError = errno;
  ::close(room);
  settle(held, heldError);
  // The backups are checked as they are written, before any book is; a
  // run sure to be refused for them is refused here.
  if (!enough(backups)) refuseForRoom(reports, needed);
}

void RunReport::releaseRoom() noexcept {
  dir_.remove(kRoomFile);
  changes_->release();
}

std::vector<std::string> RunReport::unsavedBooks() const {
  std::vector<std::string> roles;
  for (const BookRecord& book : recorder_->books())
    if (book.unsaved) roles.push_back(book.role);
  return roles;
}

fs::path RunReport::finish(const conversion::Converter& converter) {
  recorder_->onProgress = nullptr;
  releaseRoom();
  // A run's reconciliation.txt was written beside it; a preview's is
  // written here, while the books' hashes after are made.
  reconcileFromBackups();
  if (!reconciliation_.empty()) dir_.writeFile("reconciliation.txt", reconciliation_);
  recorder_->finishBooks();
  cutModels_ = converter.cutModels();
  checkConvertedBooks();
  if (!check_.empty()) dir_.writeFile("check.txt", check_);
  std::string outcome = outcomeText(converter);
  const std::vector<std::string> unsaved = unsavedBooks();
  if (!unsaved.empty()) {
    outcome = converter.outcome() == conversion::Converter::Outcome::Completed
                  ? std::string("ran to its end, but NOT EVERY BOOK WAS SAVED")
                  : outcome + "; NOT EVERY BOOK WAS SAVED";
    for (const std::string& role : unsaved)
      outcome += ": the " + role + " book's last Close was refused, so it is as it was before "
                 "that pass";
  }
  outcome_ = outcome;
  writeSummary(outcome, converter.ignoredReports(), true);
  ledger_->finished();
  return dir_.path();
}

fs::path RunReport::finish(const std::string& outcome) {
  recorder_->onProgress = nullptr;
  outcome_ = outcome;
  releaseRoom();
  recorder_->finishBooks();
  writeSummary(outcome, 0, true);
  ledger_->finished();
  return dir_.path();
}

std::string RunReport::previewText(const std::vector<std::string>& cutModels) {
  checkConvertedBooks();
  std::string text = "Preview: no book was written. The run would change:\n";
  for (const BookRecord& book : books()) {
    if (book.opened)
      text += "  " + book.role + " book: " + reportfolder::tallyText(book.tally) + "\n";
  }
  if (!cutModels.empty()) {
    text += "  models the prefix would cut (Field06 holds 15 characters): " +
            std::to_string(cutModels.size()) + " carried-over entries, stock numbers";
    for (std::size_t i = 0; i < cutModels.size(); ++i)
      text += (i == 0 ? " " : ", ") + cutModels[i];
    text += "\n";
  }
  return text + "Reconciliation of the books before the run:\n" + reconciliationSummary_ +
         "Check of the books as the run would leave them:\n" + checkSummary_;
}

void RunReport::writeSummary(const std::string& outcome, int ignoredReports, bool finished) {
  SummaryFacts facts{kindName(kind_, mode_), mode_ == Mode::Preview, inputs_, started_,
                     std::chrono::system_clock::now(), finished, outcome, ignoredReports,
                     recorder_->books(), changes_->rows(), recorder_->problems(),
                     reconciliationSummary_, cutModels_, checkSummary_};
  // The interim summaries are not worth a flush each; the final one is.
  dir_.writeFile("summary.txt", summaryText(facts), finished);
}

}  // namespace varnok::report
