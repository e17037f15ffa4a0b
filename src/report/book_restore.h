// Putting a backup of a book (a copy of its FILE3.DAT) back in place of the
// book, keeping the book it replaces as a backup of its own.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

#include "booktool/book_tool.h"
#include "recordmanager/record_manager.h"

namespace varnok::report {

using booktool::ToolOutcome;

struct RestoredBook {
  std::filesystem::path book;          // the folder's FILE3.DAT
  std::filesystem::path backup;        // the file put back
  std::string restoredSha256;          // the backup's, and now the book's
  std::filesystem::path reportFolder;  // a new folder under `reports`
  std::filesystem::path keptBook;      // the replaced book, in the report folder
  std::string replacedSha256;          // the replaced book's
};

// The name of the replaced book in the report folder.
inline constexpr std::string_view kReplacedBookName = "replaced-FILE3.DAT";

// Replaces the book in the folder with the backup's bytes:
// - the backup is copied into the folder under a temporary name, and the
//   copy (never the backup itself) is opened by the record manager: a file
//   it refuses (damaged, cut short, not a book) is refused, and so is a copy
//   whose bytes the check changed;
// - the book is held open through `manager` until the replacement is done,
//   so a book open elsewhere (status 85) is refused;
// - the book as it was goes into a new report folder under `reports`
//   (never inside the book's folder), with a summary.txt naming both files
//   and their SHA-256;
// - the copy replaces FILE3.DAT in one rename, and the folder is flushed.
// A refused restore leaves the book as it was and makes no report folder.
ToolOutcome restoreBook(rm::RecordManager& manager, std::string_view typedFolder,
                        const std::filesystem::path& backup, const std::filesystem::path& reports,
                        std::chrono::system_clock::time_point now, RestoredBook& restored);

}  // namespace varnok::report
