#include "report/book_restore.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <system_error>

#include "booktool/book_access.h"
#include "gunbook/book_cursor.h"
#include "gunbook/book_folder.h"
#include "report/file_copy.h"
#include "report/report_folder.h"

namespace varnok::report {
using namespace varnok::gunbook;
using namespace varnok::booktool;
namespace {

namespace fs = std::filesystem;

// The checked copy's name beside the book. As long as FILE3.DAT, so that its
// path fits the record manager's key buffer wherever the book's does.
constexpr std::string_view kCopyName = "FILE3.RST";

// True when `inner` is `outer` or lies inside it (links resolved as far as
// the folders exist).
bool isWithin(const fs::path& inner, const fs::path& outer) {
  std::error_code ignored;
  const fs::path relative =
      fs::weakly_canonical(inner, ignored).lexically_relative(fs::weakly_canonical(outer, ignored));
  return !relative.empty() && *relative.begin() != "..";
}

// Opens the copy with the record manager and drops the session at once.
// Empty when it opened and its bytes are still the backup's.
std::string checkCopy(rm::RecordManager& manager, std::string_view typedFolder,
                      const report::CopiedFile& copy, const fs::path& backup) {
  BookCursor cursor;
  cursor.KeyBuffer = normaliseFolder(typedFolder) + std::string(kCopyName) + " ";
  const int16_t status = cursor.call(manager, rm::op::Open);
  if (status != 0) {
    return "backup " + backup.string() +
           " is not a sound book: the book engine refuses it: " + statusPhrase(status) +
           "; nothing restored";
  }
  cursor.call(manager, rm::op::Discard);
  if (report::sha256OfFile(copy.path) != copy.sha256) {
    return "the copy of " + backup.string() + " changed while it was checked; nothing restored";
  }
  return {};
}

// Makes the file's directory entry durable.
void flushFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool flushed = fd >= 0 && ::fsync(fd) == 0;
  const int error = errno;
  if (fd >= 0) ::close(fd);
  if (!flushed)
    throw std::system_error(error, std::generic_category(), "cannot flush " + folder.string());
}

std::string localTime(std::chrono::system_clock::time_point at) {
  return localTimeText(at, "%Y-%m-%d %H:%M:%S");
}

void writeSummary(const RestoredBook& r, std::chrono::system_clock::time_point at) {
  const fs::path file = r.reportFolder / "summary.txt";
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << "Restore of a gun book, " << localTime(at) << "\n"
      << "book: " << r.book.string() << "\n"
      << "restored from: " << r.backup.string() << "\n"
      << "  SHA-256 " << r.restoredSha256 << " (the book now holds these bytes)\n"
      << "replaced book kept as: " << r.keptBook.string() << "\n"
      << "  SHA-256 " << r.replacedSha256 << "\n";
  out.close();
  if (!out)
    throw std::system_error(errno, std::generic_category(), "cannot write " + file.string());
}

// The steps that change something, with the book held open by the caller.
// The checked copy is at `copy`; `replaced` is set once it is the book.
void replaceBook(RestoredBook& r, const report::CopiedFile& copy, const fs::path& reports,
                 std::chrono::system_clock::time_point now, const void* heldBook,
                 bool& replaced) {
  r.reportFolder = report::makeReportFolder(reports, "restore", now);
  // Read through the engine's handle on the held book: a descriptor of our
  // own, once closed, would let go of the book's lock.
  r.keptBook = r.reportFolder / kReplacedBookName;
  report::copyOpenBook(heldBook, r.keptBook);
  r.replacedSha256 = report::flushAndHash(r.keptBook);
  fs::permissions(copy.path, fs::status(r.book).permissions());
  fs::rename(copy.path, r.book);
  replaced = true;
  flushFolder(r.book.parent_path());
  if (report::sha256OfFile(r.book) != copy.sha256) {
    throw std::runtime_error("after the rename " + r.book.string() +
                             " does not hold the backup's bytes");
  }
  writeSummary(r, now);
}

// Everything but holding the book: the copy, its check and the replacement.
ToolOutcome restoreHeldBook(rm::RecordManager& manager, std::string_view typedFolder,
                            const fs::path& reports, std::chrono::system_clock::time_point now,
                            const void* heldBook, RestoredBook& r) {
  const fs::path copyPath = r.book.parent_path() / kCopyName;
  std::error_code error;
  if (fs::exists(fs::symlink_status(copyPath, error))) {
    return ToolOutcome::refused("a file " + copyPath.string() +
                                " is in the way (left by a restore cut short?); move it away "
                                "and restore again; nothing restored");
  }
  const fs::path journal = r.book.string() + "-journal";
  if (fs::exists(fs::symlink_status(journal, error))) {
    return ToolOutcome::refused(
        refusal(typedFolder, "the book engine keeps a journal beside it (" + journal.string() +
                                 ") while it is open, which could be played back into the restored "
                                 "book; nothing restored"));
  }
  bool replaced = false;
  try {
    const report::CopiedFile copy = report::copyWithHash(r.backup, copyPath);
    if (std::string problem = checkCopy(manager, typedFolder, copy, r.backup); !problem.empty()) {
      fs::remove(copyPath, error);
      return ToolOutcome::refused(std::move(problem));
    }
    r.restoredSha256 = copy.sha256;
    replaceBook(r, copy, reports, now, heldBook, replaced);
  } catch (const std::exception& e) {
    if (!replaced) fs::remove(copyPath, error);
    return ToolOutcome::refused(
        std::string(e.what()) +
        (replaced ? "; the backup was restored all the same" : "; nothing restored"));
  }
  return {};
}

}  // namespace

ToolOutcome restoreBook(rm::RecordManager& manager, std::string_view typedFolder,
                        const fs::path& backup, const fs::path& reports,
                        std::chrono::system_clock::time_point now, RestoredBook& restored) {
  restored = RestoredBook{};
  if (std::string problem = unnamable(typedFolder); !problem.empty())
    return ToolOutcome::refused(std::move(problem));
  std::error_code error;
  if (!fs::is_regular_file(backup, error)) {
    return ToolOutcome::refused("backup " + backup.string() +
                                (fs::exists(backup, error) ? " is not a file" : " not found") +
                                "; nothing restored");
  }
  const fs::path folder = filesystemFolder(typedFolder);
  if (isWithin(reports, folder)) {
    return ToolOutcome::refused("the report folder " + reports.string() +
                                " lies inside the book's folder; nothing restored");
  }
  restored.book = folder / "FILE3.DAT";
  restored.backup = backup;
  // Held open until the end: no one else uses the book while it is replaced.
  BookCursor held;
  if (std::string problem = openBook(manager, held, typedFolder); !problem.empty())
    return ToolOutcome::refused(problem + "; nothing restored");
  ToolOutcome outcome =
      restoreHeldBook(manager, typedFolder, reports, now, held.PosBlock.data(), restored);
  held.call(manager, rm::op::Discard);
  return outcome;
}

}  // namespace varnok::report
