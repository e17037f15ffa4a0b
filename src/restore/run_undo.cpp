#include "restore/run_undo.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <stdexcept>
#include <system_error>

#include "booktool/book_access.h"
#include "gunbook/book_cursor.h"
#include "gunbook/book_folder.h"
#include "reportfolder/backup_origin.h"
#include "reportfolder/file_copy.h"
#include "reportfolder/report_folder.h"
#include "restore/restore_target.h"
#include "varnok/version.h"

namespace varnok::restore {
namespace {

namespace fs = std::filesystem;
using booktool::ToolOutcome;

// The checked copy's name beside each book: as long as FILE3.DAT, so that
// its path fits the record manager's key buffer wherever the book's does.
constexpr std::string_view kCopyName = "FILE3.UND";
constexpr const char* kNothingUndone = "; nothing undone";
// The outcome an undo's summary gives while its renames go on.
constexpr const char* kUnderWay =
    "NOT FINISHED: under way, or stopped half-way (the next command that uses the reports "
    "folder rolls it back)";

std::string keptName(const std::string& role) { return "replaced-" + role + "-FILE3.DAT"; }

// A book of the run, held open by the engine while the undo works.
struct HeldBook {
  UndoneBook b;
  RestoreTarget target;
  std::string folder;         // the book's folder, as the record manager is given it
  std::string copyKeyFolder;  // the copy's, likewise
  fs::path copy;
  std::string backupSha256;  // as the run's summary gives it
  gunbook::BookCursor cursor;
  bool held = false;
};

// undo.log: each line on disk before the step it announces.
class UndoLog {
 public:
  explicit UndoLog(int fd) : fd_(fd) {}
  ~UndoLog() {
    if (fd_ >= 0) ::close(fd_);
  }
  UndoLog(const UndoLog&) = delete;
  UndoLog& operator=(const UndoLog&) = delete;
  void append(const std::string& line) {
    const std::string text = line + "\n";
    if (::write(fd_, text.data(), text.size()) != ssize_t(text.size()) || ::fsync(fd_) != 0)
      throw std::system_error(errno, std::generic_category(), "cannot write undo.log");
  }

 private:
  int fd_;
};

// The run's books and their backups, as its summary gives them; empty when
// they are fit to be put back.
std::string readRun(const fs::path& run, std::vector<HeldBook>& books) {
  reportfolder::RunSummary summary;
  if (std::string problem = reportfolder::readRunSummaryFile(run / "summary.txt", summary);
      !problem.empty())
    return problem;
  if (summary.kind == "preview")
    return run.string() + " is a preview's report: a preview writes no book";
  if (summary.kind != "convert" && summary.kind != "fix" && summary.kind != "import")
    return run.string() + " is not the report of a run (it is a " + summary.kind + "'s)";
  if (summary.outcome.empty())
    return run.string() + ": the run has not finished, so what it left is not known";
  for (const reportfolder::RunBook& book : summary.books) {
    const std::string named = "the " + book.role + " book " + book.book.string();
    if (book.sha256After.empty()) return run.string() + " gives no SHA-256 after for " + named;
    if (book.backups.empty()) return "the run kept no backup of " + named;
    HeldBook held;
    held.b.role = book.role;
    held.b.book = book.book;
    held.b.backup = run / book.backups.front().name;
    held.b.replacedSha256 = book.sha256After;
    reportfolder::BackupOrigin origin;
    if (std::string problem = reportfolder::readBackupOrigin(held.b.backup, origin);
        !problem.empty())
      return problem;
    held.backupSha256 = origin.sha256;
    books.push_back(std::move(held));
  }
  if (books.empty()) return run.string() + " names no book";
  return {};
}

// Finds each book's file and holds it open through the engine.
std::string holdBooks(rm::RecordManager& manager, const fs::path& reports,
                      std::vector<HeldBook>& books) {
  for (HeldBook& h : books) {
    const std::string named = "the " + h.b.role + " book " + h.b.book.string();
    h.folder = h.b.book.parent_path().string() + "/";
    if (std::string problem = booktool::unnamable(h.folder); !problem.empty()) return problem;
    if (std::string problem = findRestoreTarget(h.b.book.parent_path(), h.target); !problem.empty())
      return named + ": " + problem;
    h.b.target = h.target.file;
    const fs::path copyFolder = h.target.file.parent_path();
    h.copyKeyFolder = h.target.file == h.target.book ? h.folder : copyFolder.string() + "/";
    h.copy = copyFolder / kCopyName;
    const fs::path relative =
        fs::weakly_canonical(reports).lexically_relative(fs::weakly_canonical(copyFolder));
    if (!relative.empty() && *relative.begin() != "..")
      return "the report folder " + reports.string() + " lies inside " + named + "'s folder";
    h.cursor.KeyBuffer = gunbook::bookFileKey(gunbook::normaliseFolder(h.folder));
    const int16_t status = h.cursor.call(manager, rm::op::Open);
    if (status == rm::status::FileNotFound) return named + " is missing: it changed since the run";
    if (status != 0) return named + " cannot be opened: " + gunbook::statusPhrase(status);
    h.held = true;
    if (const fs::path journal = journalBeside(h.target); !journal.empty())
      return named + ": the book engine keeps a journal beside it (" + journal.string() + ")";
    std::error_code error;
    if (fs::exists(fs::symlink_status(h.copy, error)))
      return "a file " + h.copy.string() + " is in the way; move it away and undo again";
  }
  return {};
}

// Keeps each book as it is now and checks it is as the run left it; then
// copies its backup beside it and checks the copy.
std::string prepare(rm::RecordManager& manager, const reportfolder::ReportDir& dir,
                    std::vector<HeldBook>& books, std::vector<fs::path>& made) {
  for (HeldBook& h : books) {
    const std::string name = keptName(h.b.role);
    reportfolder::copyOpenBook(h.cursor.PosBlock.data(), dir, name);
    h.b.kept = dir.path() / name;
    const std::string now = reportfolder::publishBackup(dir, name);
    if (now != h.b.replacedSha256)
      return "the " + h.b.role + " book " + h.b.book.string() +
             " changed since the run: its "
             "SHA-256 is " +
             now + ", but the run left " + h.b.replacedSha256;
  }
  for (HeldBook& h : books) {
    const reportfolder::CopiedFile copy = reportfolder::copyWithHash(h.b.backup, h.copy);
    made.push_back(h.copy);
    if (copy.sha256 != h.backupSha256)
      return "backup " + h.b.backup.string() +
             " does not hold the bytes its report gives: its "
             "SHA-256 is " +
             copy.sha256 + ", the summary says " + h.backupSha256;
    if (std::string problem = bookCopyProblem(manager, h.copyKeyFolder, kCopyName, copy);
        !problem.empty())
      return "backup " + h.b.backup.string() + problem;
    if (std::string problem = giveOwnerAndMode(h.copy, h.target); !problem.empty()) return problem;
    h.b.restoredSha256 = copy.sha256;
  }
  return {};
}

// Puts the kept copy of a renamed book back in its place.
void putKeptBack(const fs::path& kept, const std::string& sha256, const RestoreTarget& target) {
  const fs::path copy = target.file.parent_path() / kCopyName;
  std::error_code error;
  fs::remove(copy, error);
  const reportfolder::CopiedFile back = reportfolder::copyWithHash(kept, copy);
  if (back.sha256 != sha256) throw std::runtime_error(kept.string() + " changed since it was kept");
  if (std::string problem = giveOwnerAndMode(copy, target); !problem.empty())
    throw std::runtime_error(problem);
  fs::rename(copy, target.file);
  flushFolder(target.file.parent_path());
}

void writeSummary(const reportfolder::ReportDir& dir, const UndoneRun& u,
                  std::chrono::system_clock::time_point now, const std::string& outcome) {
  std::string text = "Varnok report: undo\nprogram: varnok " VARNOK_VERSION "\n";
  text += "undone: " + reportfolder::localTimeText(now, "%Y-%m-%d %H:%M:%S %z") + "\n";
  text += "run undone: " + u.run.string() + "\noutcome: " + outcome + "\n\nBooks\n";
  for (const UndoneBook& b : u.books) {
    text += "  " + (b.role == "book" ? b.role : b.role + " book") + ": " + b.book.string() + "\n";
    if (b.target != b.book)
      text += "    a link to: " + b.target.string() + " (the file restored)\n";
    text += "    restored from: " + b.backup.string() + ", SHA-256 " + b.restoredSha256 + "\n";
    text += "    backup: " + b.kept.filename().string() + ", SHA-256 " + b.replacedSha256 +
            " (the book as the run left it)\n";
  }
  dir.writeFile("summary.txt", text);
}

void writeLogHead(UndoLog& log, const std::vector<HeldBook>& books) {
  for (const HeldBook& h : books) {
    log.append("book " + h.b.role + " " + h.b.book.string());
    log.append("target " + h.b.role + " " + h.target.file.string());
    log.append("copy " + h.b.role + " " + h.copy.string());
    log.append("restored " + h.b.role + " " + h.b.restoredSha256);
    log.append("replaced " + h.b.role + " " + h.b.replacedSha256);
  }
  log.append("prepared");
}

// The renames, each book's logged once done; a failure puts back the books
// already renamed and rethrows.
void renameAll(UndoLog& log, std::vector<HeldBook>& books, const UndoOptions& options) {
  std::size_t renamed = 0;
  try {
    for (HeldBook& h : books) {
      fs::rename(h.copy, h.target.file);
      ++renamed;
      flushFolder(h.target.file.parent_path());
      log.append("renamed " + h.b.role);
      if (options.afterRename) options.afterRename(h.b.role);
      if (reportfolder::sha256OfBook(h.target.file) != h.b.restoredSha256)
        throw std::runtime_error("after the rename " + h.target.file.string() +
                                 " does not hold the backup's bytes");
    }
  } catch (...) {
    for (std::size_t i = 0; i < renamed; ++i)
      putKeptBack(books[i].b.kept, books[i].b.replacedSha256, books[i].target);
    for (std::size_t i = renamed; i < books.size(); ++i) {
      std::error_code error;
      fs::remove(books[i].copy, error);
    }
    log.append("rolled back");
    throw;
  }
  log.append("done");
}

// undo.log as written: each book's lines by role, in the order of the books.
struct UndoLogLines {
  std::map<std::string, std::map<std::string, std::string>> books;  // role -> word -> value
  std::vector<std::string> order;
  bool prepared = false, ended = false;
};

UndoLogLines readUndoLog(const std::string& text) {
  UndoLogLines log;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    if (line == "prepared") log.prepared = true;
    if (line == "done" || line == "rolled back") log.ended = true;
    const std::size_t space = line.find(' '), second = line.find(' ', space + 1);
    if (space == std::string::npos) continue;
    const std::string word = line.substr(0, space);
    const std::string role = line.substr(
        space + 1, second == std::string::npos ? std::string::npos : second - space - 1);
    if (word == "book") log.order.push_back(role);
    log.books[role][word] = second == std::string::npos ? "yes" : line.substr(second + 1);
  }
  return log;
}

}  // namespace

ToolOutcome undoRun(rm::RecordManager& manager, const fs::path& runFolder, const fs::path& reports,
                    std::chrono::system_clock::time_point now, UndoneRun& undone,
                    const UndoOptions& options) {
  undone = UndoneRun{};
  std::error_code error;
  undone.run = fs::absolute(runFolder, error).lexically_normal();
  std::vector<HeldBook> books;
  std::string problem = readRun(undone.run, books);
  if (problem.empty()) problem = holdBooks(manager, fs::absolute(reports, error), books);
  const auto release = [&] {
    for (HeldBook& h : books)
      if (h.held) h.cursor.call(manager, rm::op::Discard);
  };
  if (!problem.empty()) {
    release();
    return ToolOutcome::refused(problem + kNothingUndone);
  }
  reportfolder::ReportDir dir;
  std::unique_ptr<UndoLog> log;
  std::vector<fs::path> made;
  bool prepared = false;
  try {
    reportfolder::makeReportDir(reports, "undo", now, dir, [&](const reportfolder::ReportDir& d) {
      // Held while the undo lasts: the next command tells it from one stopped.
      if (::flock(d.fd(), LOCK_EX | LOCK_NB) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot lock " + d.path().string());
      log = std::make_unique<UndoLog>(d.createFile(kUndoLogName, O_WRONLY | O_APPEND));
    });
    undone.reportFolder = dir.path();
    problem = prepare(manager, dir, books, made);
    if (problem.empty()) {
      for (const HeldBook& h : books) undone.books.push_back(h.b);
      writeLogHead(*log, books);
      writeSummary(dir, undone, now, kUnderWay);
      prepared = true;
      renameAll(*log, books, options);
      writeSummary(dir, undone, now, "every book put back from the run's backups");
    }
  } catch (const std::exception& e) {
    problem = e.what();
  }
  release();
  if (problem.empty()) return {};
  for (const fs::path& copy : made) fs::remove(copy, error);
  if (!prepared) {
    if (!undone.reportFolder.empty()) fs::remove_all(undone.reportFolder, error);
    undone.reportFolder.clear();
    return ToolOutcome::refused(problem + kNothingUndone);
  }
  try {
    writeSummary(dir, undone, now, "rolled back: " + problem);
  } catch (const std::exception&) {
  }
  return ToolOutcome::refused(problem + "; every book was put back as it was before the undo");
}

std::string settleHalfDoneUndo(const reportfolder::ReportDir& folder, rm::RecordManager& engine) {
  UndoLogLines lines = readUndoLog(folder.readFile(kUndoLogName));
  if (!lines.prepared || lines.ended) return {};
  auto& books = lines.books;
  const std::vector<std::string>& order = lines.order;
  UndoLog log(folder.openFile(kUndoLogName, O_WRONLY | O_APPEND));
  std::string rolledBack;
  // Each book's hash tells whether its rename went through (its "renamed"
  // line may not have reached the disk before the kill).
  for (const std::string& role : order) {
    auto& b = books[role];
    const fs::path book = b["book"];
    const std::string named = "the " + role + " book " + book.string();
    RestoreTarget target;
    if (std::string problem = findRestoreTarget(book.parent_path(), target); !problem.empty())
      throw std::runtime_error(problem);
    std::error_code error;
    fs::remove(b["copy"], error);
    const std::string now = reportfolder::sha256OfBook(target.file);
    if (now == b["replaced"]) continue;
    if (now != b["restored"])
      throw std::runtime_error(named + " changed since the undo stopped; it is left as it is");
    // Held while it is put back, so that none writes to it meanwhile.
    gunbook::BookCursor hold;
    hold.KeyBuffer =
        gunbook::bookFileKey(gunbook::normaliseFolder(book.parent_path().string() + "/"));
    if (const int16_t status = hold.call(engine, rm::op::Open); status != 0)
      throw std::runtime_error(named + " cannot be opened: " + gunbook::statusPhrase(status));
    try {
      putKeptBack(folder.path() / keptName(role), b["replaced"], target);
    } catch (...) {
      hold.call(engine, rm::op::Discard);
      throw;
    }
    hold.call(engine, rm::op::Discard);
    rolledBack += (rolledBack.empty() ? "" : ", ") + named;
  }
  log.append("rolled back");
  std::string summary = folder.readFile("summary.txt");
  if (const std::size_t at = summary.find(kUnderWay); at != std::string::npos)
    summary.replace(at, std::string_view(kUnderWay).size(),
                    "stopped half-way and rolled back by the next command: every book is as it "
                    "was before the undo");
  folder.writeFile("summary.txt", summary);
  return folder.path().string() + ": an undo stopped half-way was rolled back" +
         (rolledBack.empty() ? std::string() : " (" + rolledBack + " put back as before it)");
}

}  // namespace varnok::restore
