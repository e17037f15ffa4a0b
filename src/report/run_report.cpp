#include "report/run_report.h"

#include <stdexcept>
#include <system_error>

#include "gunbook/book_folder.h"
#include "recordmanager/book_path.h"
#include "report/file_io.h"
#include "report/summary.h"

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
    : kind_(kind), mode_(mode), inputs_(formInputsText(kind, mode, form)) {
  std::vector<BookRecord> books;
  for (const auto& [role, typed] : {std::pair{"old", &form.oldBookFolder},
                                    std::pair{"new", &form.newBookFolder}}) {
    if (std::string path = bookFileOf(*typed); !path.empty())
      books.push_back(BookRecord{role, std::move(path)});
  }
  start(reports, std::move(books), engine);
  prepareReconciliation(form, engine);
}

RunReport::RunReport(const BookImport& import, const fs::path& reports,
                     rm::RecordManager& engine)
    : kind_(RunKind::Import), mode_(Mode::Run), inputs_(importInputsText(import.folder,
                                                                         import.csvFile)) {
  std::vector<BookRecord> books;
  if (std::string path = bookFileOf(import.folder); !path.empty())
    books.push_back(BookRecord{"book", std::move(path)});
  start(reports, std::move(books), engine);
}

RunReport::~RunReport() = default;

void RunReport::start(const fs::path& reports, std::vector<BookRecord> books,
                      rm::RecordManager& engine) {
  std::error_code error;
  const fs::path absolute = fs::absolute(reports, error).lexically_normal();
  refuseInsideBooks(absolute, books);
  started_ = std::chrono::system_clock::now();
  folder_ = makeReportFolder(absolute, kindName(kind_, mode_), started_);
  changes_ = std::make_unique<ChangesFile>(folder_);
  recorder_ = std::make_unique<RecordingManager>(engine, kind_, mode_, folder_, *changes_,
                                                 std::move(books));
  writeSummary({}, 0, false);
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

fs::path RunReport::finish(const conversion::Converter& converter) {
  recorder_->onProgress = nullptr;
  // A run's reconciliation.txt was written beside it; a preview's is
  // written here, while the books' hashes after are made.
  reconcileFromBackups();
  if (!reconciliation_.empty()) writeFileInPlace(folder_ / "reconciliation.txt", reconciliation_);
  recorder_->finishBooks();
  cutModels_ = converter.cutModels();
  writeSummary(outcomeText(converter), converter.ignoredReports(), true);
  return folder_;
}

fs::path RunReport::finish(const std::string& outcome) {
  recorder_->onProgress = nullptr;
  recorder_->finishBooks();
  writeSummary(outcome, 0, true);
  return folder_;
}

void RunReport::writeSummary(const std::string& outcome, int ignoredReports, bool finished) {
  SummaryFacts facts{kindName(kind_, mode_), mode_ == Mode::Preview, inputs_, started_,
                     std::chrono::system_clock::now(), finished, outcome, ignoredReports,
                     recorder_->books(), changes_->rows(), recorder_->problems(),
                     reconciliationSummary_, cutModels_};
  // The interim summaries are not worth a flush each; the final one is.
  writeFileInPlace(folder_ / "summary.txt", summaryText(facts), finished);
}

}  // namespace varnok::report
