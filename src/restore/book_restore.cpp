#include "restore/book_restore.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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
using namespace varnok::gunbook;
using namespace varnok::booktool;
namespace {

namespace fs = std::filesystem;

// The checked copy's name beside the book. As long as FILE3.DAT, so that its
// path fits the record manager's key buffer wherever the book's does.
constexpr std::string_view kCopyName = "FILE3.RST";
constexpr std::string_view kNothingRestored = "; nothing restored";

fs::path resolved(const fs::path& path) {
  std::error_code ignored;
  return fs::weakly_canonical(path, ignored);
}

// True when `inner` is `outer` or lies inside it (links resolved as far as
// the folders exist).
bool isWithin(const fs::path& inner, const fs::path& outer) {
  const fs::path relative = resolved(inner).lexically_relative(resolved(outer));
  return !relative.empty() && *relative.begin() != "..";
}

// The statuses of a book the engine will not open that a restore mends: a
// damaged book, one that is empty or no book at all, and a missing one.
bool restoreMends(int16_t status) {
  return status == rm::status::IoError || status == rm::status::NotABookFile ||
         status == rm::status::FileNotFound;
}

// The book being replaced, kept from everyone else while the restore works.
struct BookHold {
  const void* session = nullptr;  // the engine's, on a book it opened
  int16_t refusedStatus = 0;      // else why the engine would not open it
  UnopenableBookHold lock;        // on such a book, when there is a file
};

// Everything a restore works with once the book is held.
struct Restore {
  rm::RecordManager& manager;
  std::string copyKeyFolder;  // the copy's folder as the record manager is to be given it
  fs::path copyPath;
  const fs::path& reports;
  std::chrono::system_clock::time_point now;
  const RestoreTarget& target;
  const reportfolder::BackupOrigin& origin;
  BookHold& hold;
  RestoredBook& r;
};

std::string roleText(const std::string& role) {
  return role == "old" || role == "new" ? "the " + role + " book" : "the book";
}

// A backup its report says is another book's is put back only when meant.
std::string otherBookProblem(const reportfolder::BackupOrigin& origin, const RestoreTarget& target,
                             const fs::path& backup, bool meant) {
  if (!origin.inReportFolder || meant) return {};
  const fs::path of = resolved(origin.book);
  if (of == resolved(target.book) || of == resolved(target.file)) return {};
  return "backup " + backup.string() + " is a backup of " + roleText(origin.role) + " " +
         origin.book.string() + " (so says " + origin.summary.string() + "), not of " +
         target.book.string() + "; give --other-book to put it back here all the same";
}

// Opens the copy with the record manager and drops the session at once.
// Empty when it opened and its bytes are still the backup's.
std::string checkCopy(const Restore& w, const reportfolder::CopiedFile& copy) {
  if (std::string problem = bookCopyProblem(w.manager, w.copyKeyFolder, kCopyName, copy);
      !problem.empty())
    return "backup " + w.r.backup.string() + problem;
  return {};
}

// The copy's bytes are the ones its report gave, if it lies in one.
std::string checkHash(const Restore& w, const reportfolder::CopiedFile& copy) {
  if (!w.origin.inReportFolder || copy.sha256 == w.origin.sha256) return {};
  return "backup " + w.r.backup.string() +
         " does not hold the bytes its report gives: its "
         "SHA-256 is " +
         copy.sha256 + ", but " + w.origin.summary.string() + " says " + w.origin.sha256 +
         " (it was changed after the run kept it)";
}

// Writes a file of the new report folder, for the user alone to read: it
// names customers' book files and their hashes.
void writeNewPrivateFile(const fs::path& file, std::string_view text) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  bool written = fd >= 0;
  for (std::size_t at = 0; written && at < text.size();) {
    const ssize_t n = ::write(fd, text.data() + at, text.size() - at);
    written = n > 0 || (n < 0 && errno == EINTR);
    if (n > 0) at += std::size_t(n);
  }
  written = written && ::fsync(fd) == 0;
  const int error = errno;
  if (fd >= 0) ::close(fd);
  if (!written)
    throw std::system_error(error, std::generic_category(), "cannot write " + file.string());
}

std::string octal(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", unsigned(mode & 07777));
  return text;
}

// summary.txt, in the shape of a run's, so that a kept book can be
// restored in turn with its hash checked.
void writeSummary(const Restore& w) {
  const RestoredBook& r = w.r;
  std::string text = "Varnok report: restore\nprogram: varnok " VARNOK_VERSION "\n";
  text += "restored: " + reportfolder::localTimeText(w.now, "%Y-%m-%d %H:%M:%S %z") + "\n\nBooks\n";
  text += "  book: " + r.book.string() + "\n";
  if (r.target != r.book) text += "    a link to: " + r.target.string() + " (the file restored)\n";
  text += "    restored from: " + r.backup.string() + ", SHA-256 " + r.restoredSha256 +
          " (the book now holds these bytes)\n";
  if (!r.origin.empty()) text += "    which is: " + r.origin + "\n";
  text += "    replaced: " +
          (r.replacedState.empty() ? std::string("the book as it was") : r.replacedState) + "\n";
  if (r.keptBook.empty()) {
    text += "    backup: none (there was no book file to keep)\n";
  } else {
    text += "    backup: " + r.keptBook.filename().string() + ", SHA-256 " + r.replacedSha256 +
            " (the replaced book, kept as " + r.keptBook.string() + ")\n";
  }
  text += "    owner, group, mode: " +
          (w.target.keepOwner ? std::to_string(w.target.uid) + ", " + std::to_string(w.target.gid)
                              : std::string("the restoring user's")) +
          ", " + octal(w.target.mode) + (w.target.present ? " (kept)" : " (a new book's)") + "\n";
  writeNewPrivateFile(r.reportFolder / "summary.txt", text);
}

// Keeps the book as it is in the report folder, byte for byte.
void keepReplacedBook(const Restore& w) {
  RestoredBook& r = w.r;
  if (w.hold.session != nullptr) {
    r.keptBook = r.reportFolder / kReplacedBookName;
    reportfolder::copyOpenBook(w.hold.session, r.keptBook);
    r.replacedSha256 = reportfolder::flushAndHash(r.keptBook);
  } else if (w.target.present) {
    r.keptBook = r.reportFolder / kReplacedBookName;
    r.replacedSha256 = reportfolder::copyWithHash(w.target.file, r.keptBook).sha256;
    if (!w.hold.lock.stillHolds(w.target.file))
      throw std::runtime_error(w.target.file.string() + " was replaced while it was restored");
  }
}

// Renames the checked copy over the book file. Where there was none, a
// book file made meanwhile (by a book create) is never overwritten.
void putInPlace(const Restore& w, const fs::path& copy) {
  if (w.hold.session != nullptr || w.target.present) return fs::rename(copy, w.target.file);
  if (::renameat2(AT_FDCWD, copy.c_str(), AT_FDCWD, w.target.file.c_str(), RENAME_NOREPLACE) != 0)
    throw std::system_error(errno, std::generic_category(),
                            "cannot put the checked copy in place as " + w.target.file.string());
}

// The steps that change something, with the book held. The checked copy is
// at `copy`; `replaced` is set once it is the book.
void replaceBook(const Restore& w, const reportfolder::CopiedFile& copy, bool& replaced) {
  RestoredBook& r = w.r;
  r.reportFolder = reportfolder::makeReportFolder(w.reports, "restore", w.now);
  keepReplacedBook(w);
  putInPlace(w, copy.path);
  replaced = true;
  flushFolder(w.target.file.parent_path());
  if (reportfolder::sha256OfBook(w.target.file) != copy.sha256) {
    throw std::runtime_error("after the rename " + w.target.file.string() +
                             " does not hold the backup's bytes");
  }
  writeSummary(w);
}

// Why the copy cannot be made beside the book now; empty when it can.
std::string inTheWay(const Restore& w, std::string_view typedFolder) {
  std::error_code error;
  if (fs::exists(fs::symlink_status(w.copyPath, error))) {
    return "a file " + w.copyPath.string() +
           " is in the way (left by a restore cut short?); move it away and restore again";
  }
  if (const fs::path journal = journalBeside(w.target); !journal.empty()) {
    return refusal(typedFolder, "the book engine keeps a journal beside it (" + journal.string() +
                                    ") while it is open or after a write was cut short, which "
                                    "could be played back into the restored book");
  }
  return {};
}

// The copy, its checks and the replacement, with the book held.
ToolOutcome restoreHeldBook(const Restore& w, std::string_view typedFolder) {
  if (std::string problem = inTheWay(w, typedFolder); !problem.empty())
    return ToolOutcome::refused(problem + std::string(kNothingRestored));
  bool replaced = false;
  std::error_code error;
  try {
    const reportfolder::CopiedFile copy = reportfolder::copyWithHash(w.r.backup, w.copyPath);
    std::string problem = checkHash(w, copy);
    if (problem.empty()) problem = checkCopy(w, copy);
    if (problem.empty()) problem = giveOwnerAndMode(w.copyPath, w.target);
    if (!problem.empty()) {
      fs::remove(w.copyPath, error);
      return ToolOutcome::refused(problem + std::string(kNothingRestored));
    }
    w.r.restoredSha256 = copy.sha256;
    replaceBook(w, copy, replaced);
  } catch (const std::exception& e) {
    if (!replaced) {
      fs::remove(w.copyPath, error);
      if (!w.r.reportFolder.empty()) fs::remove_all(w.r.reportFolder, error);
    }
    return ToolOutcome::refused(
        std::string(e.what()) +
        (replaced ? "; the backup was restored all the same" : std::string(kNothingRestored)));
  }
  return {};
}

// Holds the book: open through the engine, or, for a book the engine
// refuses in a way a restore mends, locked by a hold of our own.
std::string holdBook(rm::RecordManager& manager, std::string_view typedFolder,
                     const RestoreTarget& target, BookCursor& cursor, BookHold& hold) {
  cursor.KeyBuffer = bookFileKey(normaliseFolder(typedFolder));
  cursor.KeyNumber = 0;
  const int16_t status = cursor.call(manager, rm::op::Open);
  if (status == 0) {
    hold.session = cursor.PosBlock.data();
    return {};
  }
  if (!restoreMends(status)) return refusal(typedFolder, "cannot open: " + statusPhrase(status));
  hold.refusedStatus = status;
  if (!target.present) return {};
  if (std::string problem = hold.lock.take(target.file); !problem.empty())
    return refusal(typedFolder, problem);
  return {};
}

std::string replacedState(const BookHold& hold, const RestoreTarget& target) {
  if (hold.session != nullptr) return {};
  if (!target.present) return "none: there was no book file";
  return "a file the book engine would not open: " + statusPhrase(hold.refusedStatus);
}

// What a restore works on, found and checked before the book is touched.
struct Request {
  RestoreTarget target;
  std::string copyKeyFolder;  // the checked copy's folder, as the record manager is given it
  reportfolder::BackupOrigin origin;
};

// Why the restore is refused before the book is opened; empty when it may go on.
std::string requestProblem(std::string_view typedFolder, const fs::path& backup,
                           const fs::path& reports, const RestoreOptions& options,
                           Request& request) {
  if (std::string problem = unnamable(typedFolder); !problem.empty()) return problem;
  std::error_code error;
  if (!fs::is_regular_file(backup, error))
    return "backup " + backup.string() +
           (fs::exists(backup, error) ? " is not a file" : " not found");
  RestoreTarget& target = request.target;
  if (std::string problem = findRestoreTarget(filesystemFolder(typedFolder), target);
      !problem.empty())
    return refusal(typedFolder, problem);
  const fs::path copyFolder = target.file.parent_path();
  if (isWithin(reports, target.book.parent_path()) || isWithin(reports, copyFolder))
    return "the report folder " + reports.string() + " lies inside the book's folder";
  // A linked book is restored beside the file it leads to; that folder
  // must be one the record manager can be given too.
  request.copyKeyFolder =
      target.file == target.book ? std::string(typedFolder) : copyFolder.string() + "/";
  if (std::string problem = unnamable(request.copyKeyFolder); !problem.empty()) return problem;
  if (std::string problem = reportfolder::readBackupOrigin(backup, request.origin);
      !problem.empty())
    return problem;
  return otherBookProblem(request.origin, target, backup, options.otherBook);
}

}  // namespace

ToolOutcome restoreBook(rm::RecordManager& manager, std::string_view typedFolder,
                        const fs::path& backup, const fs::path& reports,
                        std::chrono::system_clock::time_point now, RestoredBook& restored,
                        const RestoreOptions& options) {
  restored = RestoredBook{};
  Request request;
  if (std::string problem = requestProblem(typedFolder, backup, reports, options, request);
      !problem.empty())
    return ToolOutcome::refused(problem + std::string(kNothingRestored));
  const RestoreTarget& target = request.target;
  const reportfolder::BackupOrigin& origin = request.origin;
  std::error_code error;
  restored.book = target.book;
  restored.target = target.file;
  restored.backup = fs::absolute(backup, error).lexically_normal();
  if (origin.inReportFolder)
    restored.origin = "a backup of " + roleText(origin.role) + " " + origin.book.string() +
                      ", as " + origin.summary.string() + " says";
  // Held until the end: no one else uses the book while it is replaced.
  BookCursor cursor;
  BookHold hold;
  if (std::string problem = holdBook(manager, typedFolder, target, cursor, hold); !problem.empty())
    return ToolOutcome::refused(problem + std::string(kNothingRestored));
  restored.replacedState = replacedState(hold, target);
  const Restore work{manager,
                     request.copyKeyFolder,
                     target.file.parent_path() / kCopyName,
                     reports,
                     now,
                     target,
                     origin,
                     hold,
                     restored};
  ToolOutcome outcome = restoreHeldBook(work, typedFolder);
  if (hold.session != nullptr) cursor.call(manager, rm::op::Discard);
  return outcome;
}

}  // namespace varnok::restore
