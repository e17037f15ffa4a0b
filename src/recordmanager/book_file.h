// The gun book file on disk: a SQLite 3 database of our own format, with one
// row per entry (doc/book-format.md describes it).
//
// A BookFile is one open session's hold on the file: Open checks the file
// whole, takes the write lock and reads every entry; the file then stays
// untouched until commit() writes the session's changes in one transaction.
// Dropping a BookFile without a commit leaves the file as it was at Open.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "recordmanager/book_format.h"
#include "recordmanager/file_identity.h"

struct sqlite3;

namespace varnok::rm {

// Stored in PRAGMA application_id: "VRNK". A SQLite file without it is
// someone else's.
inline constexpr uint32_t kApplicationId = 0x56524E4B;
// kFormatVersion (book_format.h) is stored in PRAGMA user_version.
// The one table of a book, exactly as created: seq is the insertion order
// (duplicate keys come back in it), data the 376-byte entry as stored, crc
// the CRC-32 of data.
inline constexpr const char* kEntriesTableSql =
    "CREATE TABLE entries(seq INTEGER PRIMARY KEY, data BLOB NOT NULL, crc INTEGER NOT NULL)";
inline constexpr int kPageSize = 4096;
// How long Open and Close wait for a lock held by another process before
// they answer FileLocked: long enough to ride out another process's brief
// read of the header, short enough never to look like a hang.
inline constexpr int kBusyTimeoutMs = 100;

// What the engine's observer gives a Close (BookObserver::committing): a
// gate asked before the changes are made durable; may be null.
struct CommitHooks {
  const std::function<int16_t()>* gate = nullptr;
};

// One change for commit(): data is unused for Delete.
struct EntryWrite {
  enum class Kind : uint8_t { Insert, Update, Delete };
  Kind kind;
  int64_t seq;
  const uint8_t* data;
};

class BookFile {
 public:
  // Called once per entry in seq order while a book is opened; false means
  // the entries contradict each other (a duplicate unique key), so the book
  // is damaged.
  using Loader = std::function<bool(int64_t seq, const uint8_t* data)>;

  // Makes an empty book at path. FileExists when anything is there already;
  // FileNotFound when the folder is missing. Nothing is left behind on
  // failure, and a half-made book is never visible under path.
  static int16_t create(const std::string& path);

  // What Open asks of a path before it reads the file: a regular file this
  // process may read and write, in a folder where it may write a journal.
  static int16_t reachable(const std::string& path, struct stat& st);

  // Checks the file, locks it and loads it. Any refusal leaves the file's
  // bytes as they were.
  static int16_t open(const std::string& path, const Loader& load, std::unique_ptr<BookFile>& out);

  ~BookFile();
  BookFile(const BookFile&) = delete;
  BookFile& operator=(const BookFile&) = delete;

  // Writes every change and commits them as one transaction; on success the
  // file is released and this object is spent. With no changes nothing at
  // all is written. On failure nothing of the writes stays in the file, the
  // lock is kept where possible, and the call may be repeated. The gate,
  // when given, is asked once the changes are written into the transaction
  // and before they are made durable; a status other than 0 from it fails
  // the commit with that status.
  int16_t commit(const std::vector<EntryWrite>& writes, const CommitHooks& hooks = {});

  // For a session taken up again after a while: takes the write lock
  // afresh (a descriptor closed elsewhere in the process may have let it
  // go) and checks that no one changed the file meanwhile; FileLocked when
  // someone did or holds it now, and the session must not be used.
  int16_t retake();

  // Called once the book is accepted: clears what a crash at the start of
  // a commit can leave beside it.
  void removeStaleJournal();

  // Hands the file's bytes, as they are on disk, to `take` in order,
  // through SQLite's own handle, whose locks are the session's.
  int16_t readWhole(const std::function<void(const uint8_t*, std::size_t)>& take);

  int pageSize() const { return pageSize_; }
  const FileId& fileId() const { return fileId_; }

 private:
  explicit BookFile(sqlite3* db) : db_(db) {}
  int16_t relock();
  int16_t writeAll(const std::vector<EntryWrite>& writes);

  sqlite3* db_;
  std::string path_;
  int pageSize_ = kPageSize;
  FileId fileId_;
  int64_t dataVersion_ = 0;
};

}  // namespace varnok::rm
