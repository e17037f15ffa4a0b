// Putting a backup of a book (a copy of its FILE3.DAT) back in place of the
// book, keeping the book it replaces as a backup of its own.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

#include "booktool/book_tool.h"
#include "recordmanager/record_manager.h"

namespace varnok::restore {

using booktool::ToolOutcome;

struct RestoredBook {
  std::filesystem::path book;          // the folder's FILE3.DAT, absolute
  std::filesystem::path target;        // the file replaced: `book`, or the file it links to
  std::filesystem::path backup;        // the file put back
  std::string restoredSha256;          // the backup's, and now the book's
  std::string origin;                  // what the backup is of, when its report says
  std::filesystem::path reportFolder;  // a new folder under `reports`
  std::string replacedState;           // empty for a book the engine opened, else why it did not
  std::filesystem::path keptBook;      // the replaced book, in the report folder; empty if none
  std::string replacedSha256;          // the replaced book's
};

struct RestoreOptions {
  // Put back a backup whose report says it is of another book.
  bool otherBook = false;
};

// The name of the replaced book in the report folder.
inline constexpr std::string_view kReplacedBookName = "replaced-FILE3.DAT";

// Replaces the book in the folder with the backup's bytes:
// - a backup that lies in a report folder (beside a summary.txt) must be
//   named there as a book's backup, with the SHA-256 its bytes still have,
//   and be of this book, unless `options.otherBook` says another book's is
//   meant;
// - the backup is copied beside the book file (beside the file a linked
//   FILE3.DAT leads to) under a temporary name, and the copy (never the
//   backup itself) is opened by the record manager: a file it refuses
//   (damaged, cut short, not a book) is refused, and so is a copy whose
//   bytes the check changed;
// - the book is held open through `manager` until the replacement is done,
//   so a book open elsewhere (status 85) is refused; a book the record
//   manager will not open because it is damaged or empty (statuses 2 and
//   30) is held by a lock of its own, and a missing one (12) is restored
//   all the same: that is when a restore is wanted;
// - the book as it was, when there was a file, goes into a new report
//   folder under `reports` (never inside the book's folder), with a
//   summary.txt naming both files and their SHA-256;
// - the copy takes the replaced file's owner, group and mode, replaces it
//   in one rename, and the folder is flushed.
// A refused restore leaves the book as it was and makes no report folder.
ToolOutcome restoreBook(rm::RecordManager& manager, std::string_view typedFolder,
                        const std::filesystem::path& backup, const std::filesystem::path& reports,
                        std::chrono::system_clock::time_point now, RestoredBook& restored,
                        const RestoreOptions& options = {});

}  // namespace varnok::restore
