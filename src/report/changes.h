// What a run changed in its books, entry by entry: the changes of one book
// session held until the session ends, and changes.csv, where a session's
// changes go once its Close has made them durable.
//
// changes.csv is RFC 4180 in UTF-8, like the book export: the header
// book,Field00,change,field,before,after, then one row per changed field of
// every entry touched. A removed entry has a row for every field with its
// value before and none after; an added entry one for every field with its
// value after. Values are as the export writes them.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "gunbook/gun_record.h"
#include "report/stock_number_index.h"

namespace varnok::report {

// What happened to an entry.
enum class Change : uint8_t {
  Removed,
  HandedOver,      // close-out: the old book's gun sold to the new licensee
  CarriedOver,     // rebase: the new book's gun received from the previous licensee
  TransferredOut,  // late-disposal transfer, old book
  TransferredIn,   // late-disposal transfer, new book
  Imported,
  Rewritten,       // any other rewrite
  Added,           // any other addition
};
inline constexpr std::size_t kChangeKinds = 8;
const char* changeName(Change change);  // "handed over", ...

// How many entries of a book each kind of change touched.
using Tally = std::array<long, kChangeKinds>;
// "31 removed, 120 handed over", or "no changes".
std::string tallyText(const Tally& tally);

// The changes of one session, spooled to an unnamed file in the report
// folder so that a large run holds little in memory. An entry changed more
// than once is reported once, from its first state to its last.
class SessionChanges {
 public:
  explicit SessionChanges(const std::filesystem::path& folder);
  ~SessionChanges();
  SessionChanges(const SessionChanges&) = delete;
  SessionChanges& operator=(const SessionChanges&) = delete;

  // before or after is null for an added or a removed entry. Throws
  // std::system_error when the spool cannot be written.
  void record(Change change, const uint8_t* before, const uint8_t* after);

  // Writes to `out` the rows of every entry whose fields changed, for the
  // book `book`, counts those entries into `tally` and returns the number
  // of rows. Throws std::system_error.
  long writeRows(std::string_view book, int out, Tally& tally);

 private:
  struct Track {
    uint64_t first = 0, last = 0;  // where its first and last events are in the spool
  };
  uint32_t entryOf(const uint8_t* stored);
  void flush();
  void readEvent(uint64_t offset, uint8_t* event) const;

  int fd_ = -1;
  std::string pending_;
  uint64_t spooled_ = 0;  // bytes, pending_ included
  StockNumberIndex entryOfKey_;
  std::vector<Track> tracks_;
};

// changes.csv in the report folder, written with its header on creation.
class ChangesFile {
 public:
  explicit ChangesFile(const std::filesystem::path& folder);
  ~ChangesFile();
  ChangesFile(const ChangesFile&) = delete;
  ChangesFile& operator=(const ChangesFile&) = delete;

  // Adds a session's rows and flushes them to disk; on failure the file is
  // cut back to what it held and std::system_error thrown.
  void add(SessionChanges& changes, std::string_view book, Tally& tally);
  // Takes back the rows of the last add (its Close was refused).
  void takeBack();

  long rows() const { return rows_; }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  uint64_t size_ = 0, sizeBeforeLast_ = 0;
  long rows_ = 0, rowsBeforeLast_ = 0;
};

}  // namespace varnok::report
