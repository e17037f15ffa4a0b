// Undoing a whole run: both books put back from the run's backups in one
// step, or neither.
//
// The undo holds every book of the run open, keeps each as it is now in a
// report folder of its own (replaced-old-FILE3.DAT, ...) and checks it is
// exactly as the run left it; copies each backup beside its book as
// FILE3.UND, checked against the run's summary and opened by the book
// engine; and only then renames the copies over the books, one after the
// other. undo.log, in the undo's folder, says on disk before each step
// what is about to happen:
//
//   book <role> <book file>      one per book, with the lines below
//   target <role> <file replaced>
//   copy <role> <checked copy beside it>
//   restored <role> <SHA-256 of the backup>
//   replaced <role> <SHA-256 of the book as the run left it>
//   prepared                     every copy is checked; the renames begin
//   renamed <role>               that book now holds its backup
//   done | rolled back
//
// A failure between the first rename and the last puts the renamed books
// back as they were (from the kept copies); so does the next command after
// a kill or a crash there (settleHalfDoneUndo, from recoverInterruptedRuns):
// a half-done undo is always rolled back, never finished.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "booktool/book_tool.h"
#include "recordmanager/record_manager.h"
#include "reportfolder/report_dir.h"

namespace varnok::restore {

inline constexpr const char* kUndoLogName = "undo.log";

struct UndoneBook {
  std::string role;              // "old", "new", "book"
  std::filesystem::path book;    // the book file, as the run's summary names it
  std::filesystem::path target;  // the file replaced: `book`, or the file it links to
  std::filesystem::path backup;  // the run's backup put back
  std::string restoredSha256;    // the backup's, and now the book's
  std::filesystem::path kept;    // the book as the run left it, in the undo's folder
  std::string replacedSha256;    // its SHA-256: the run's "SHA-256 after"
};

struct UndoneRun {
  std::filesystem::path run;           // the run's report folder
  std::filesystem::path reportFolder;  // the undo's own, under `reports`
  std::vector<UndoneBook> books;
};

struct UndoOptions {
  // Called after each book's rename, before the next (for crash tests).
  std::function<void(const std::string& role)> afterRename;
};

// Puts every book of the run in `runFolder` (a finished convert, fix or
// import) back from its backup, while each is exactly as the run left it
// (its SHA-256 is the summary's "SHA-256 after"); otherwise refuses, naming
// the book that changed since. A refused undo changes no book and leaves no
// report folder.
booktool::ToolOutcome undoRun(rm::RecordManager& manager, const std::filesystem::path& runFolder,
                              const std::filesystem::path& reports,
                              std::chrono::system_clock::time_point now, UndoneRun& undone,
                              const UndoOptions& options = {});

// Rolls back the undo whose folder holds an undo.log that ends half-way
// (prepared, but neither done nor rolled back). Returns a line saying what
// was done, empty when there was nothing to do; throws when it cannot.
std::string settleHalfDoneUndo(const reportfolder::ReportDir& folder, rm::RecordManager& engine);

}  // namespace varnok::restore
