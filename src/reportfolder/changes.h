// What a run changed in its books, entry by entry: the changes of one book
// session held until the session ends, and changes.csv, where a session's
// changes go once its Close has made them durable.
//
// changes.csv is RFC 4180 in UTF-8, like the book export: the header
// book,Field00,change,field,before,after, then the rows of every entry
// touched. An entry kept in the book has a row per changed field, its value
// before and after. A removed or an added entry has one row whose field is
// "entry" and whose before (removed) or after (added) is the whole entry as
// its line of the book export, so that those cells under the export's
// header import again. Values are as the export writes them, but that a
// value a spreadsheet would take for a formula (one beginning with =, +, -,
// @, a tab or a carriage return) is written after an apostrophe, as
// spreadsheets take plain text; a whole entry whose first value begins so
// has that value quoted instead, which the import reads as the same value.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "gunbook/gun_record.h"
#include "reportfolder/report_dir.h"

namespace varnok::reportfolder {

// What happened to an entry.
enum class Change : uint8_t {
  Removed,
  HandedOver,      // close-out: the old book's gun sold to the new licensee
  CarriedOver,     // rebase: the new book's gun received from the previous licensee
  TransferredOut,  // late-disposal transfer, old book
  TransferredIn,   // late-disposal transfer, new book
  Imported,
  Rewritten,  // any other rewrite
  Added,      // any other addition
};
inline constexpr std::size_t kChangeKinds = 8;
const char* changeName(Change change);  // "handed over", ...

// How many entries of a book each kind of change touched.
using Tally = std::array<long, kChangeKinds>;
// "31 removed, 120 handed over", or "no changes".
std::string tallyText(const Tally& tally);

// What the rows of changes.csv are, for the summary.
inline constexpr std::string_view kRowsOfChanges =
    "one per entry added or removed, one per changed field of the others";
// The field cell of a row that holds a whole entry.
inline constexpr std::string_view kWholeEntry = "entry";
// A whole entry as such a row's cell holds it: its line of the book export
// without the line end, its first value quoted when it would begin the cell
// like a formula.
void appendEntryLine(std::string& out, const uint8_t* stored);

struct RowCells;  // the cells a row begins with, made once

// The changes of one session, spooled to an unnamed file in the report
// folder so that a large run holds little in memory. An entry changed more
// than once is reported once, from its first state to its last. The rows
// of each entry changed once (nearly all) are made as it changes: at Close
// what is left is to copy those rows into changes.csv.
class SessionChanges {
 public:
  // `book` names the book in every row: "old", "new" or "book". The
  // session may touch up to about `entries` entries (the book's count at
  // Open): room for them is made at once, not by growing as they come.
  SessionChanges(const ReportDir& folder, std::string book, std::size_t entries);
  ~SessionChanges();
  SessionChanges(const SessionChanges&) = delete;
  SessionChanges& operator=(const SessionChanges&) = delete;

  // before or after is null for an added or a removed entry. A spool that
  // cannot be written shows at writeRows.
  void record(Change change, const uint8_t* before, const uint8_t* after) noexcept;

  // Writes to `out` the rows of every entry whose fields changed, counts
  // those entries into `tally` and returns the number of rows. Throws
  // std::system_error, also for a spool that could not be written.
  long writeRows(int out, Tally& tally);

 private:
  struct Track {
    uint64_t first = 0, last = 0;  // where its first and last events are in the spool
  };
  // One event: where it lies in the spool and where its rows, made as if
  // it were its entry's only event, lie in rowsFd_.
  struct Event {
    uint64_t spoolAt;
    uint64_t rowsAt;
    uint32_t rowsLength;
    uint32_t rows;
    uint32_t entry;
    Change change;
  };
  void take(Change change, const uint8_t* before, const uint8_t* after);
  uint32_t entryOf(const uint8_t* stored);
  void flush();
  void readEvent(uint64_t offset, uint8_t* event) const;
  void copyRows(int out, uint64_t from, uint64_t length);

  std::unique_ptr<const RowCells> cells_;
  std::string head_;  // room for the cells every row of an entry begins with
  int fd_ = -1, rowsFd_ = -1;
  std::string pending_, pendingRows_;
  uint64_t spooled_ = 0;  // bytes, pending_ included
  uint64_t rowsSpooled_ = 0;
  // The entry each stock number (Field00's stored bytes) stands for.
  std::unordered_map<std::string, uint32_t> entryOfKey_;
  std::deque<Track> tracks_;
  std::deque<Event> events_;    // grows without copying itself
  std::exception_ptr failure_;  // the first record() that failed
};

// changes.csv in the report folder, written with its header on creation.
class ChangesFile {
 public:
  explicit ChangesFile(const ReportDir& folder);
  ~ChangesFile();
  ChangesFile(const ChangesFile&) = delete;
  ChangesFile& operator=(const ChangesFile&) = delete;

  // Adds a session's rows and flushes them to disk; on failure the file is
  // cut back to what it held and std::system_error thrown.
  void add(SessionChanges& changes, Tally& tally);
  // Takes back the rows of the last add (its Close was refused).
  void takeBack();

  long rows() const { return rows_; }
  uint64_t size() const { return size_; }
  // The file's path for messages, once its folder has its name.
  void setPath(std::filesystem::path path) { path_ = std::move(path); }
  // Sets aside room on disk for `bytes` more of rows, so that a full disk
  // found later cannot refuse them; false (errno set) when the file system
  // cannot, or has not the room. release() gives back what is unused.
  bool reserve(uint64_t bytes);
  void release() noexcept;

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  uint64_t size_ = 0, sizeBeforeLast_ = 0;
  long rows_ = 0, rowsBeforeLast_ = 0;
  uint64_t reservedTo_ = 0;  // the file's room on disk reaches this far
};

}  // namespace varnok::reportfolder
