#include "recordmanager/book_file.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "recordmanager/book_copy.h"
#include "recordmanager/buffered_files.h"
#include "recordmanager/checksum.h"
#include "recordmanager/page_walk.h"
#include "recordmanager/record_manager.h"
#include "recordmanager/status.h"

namespace varnok::rm {
namespace {

constexpr char kSqliteMagic[16] = "SQLite format 3";  // with its NUL: 16 bytes
constexpr std::size_t kHeaderLength = 100;

int64_t checksumOf(const uint8_t* entry) { return int64_t(zipCrc32(entry, kRecordLength)); }

uint32_t bigEndian16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t bigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

int16_t statusForErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return status::FileNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return status::AccessDenied;
    case ENAMETOOLONG:
    case ELOOP: return status::InvalidFileName;
    case ENOSPC:
    case EDQUOT: return status::DiskFull;
    default: return status::IoError;
  }
}

// Only called once the file has shown our own header, so anything SQLite
// cannot read in it is damage.
int16_t statusForSqlite(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK: return status::Success;
    case SQLITE_FULL: return status::DiskFull;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return status::FileLocked;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return status::AccessDenied;
    default: return status::IoError;
  }
}

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// This SQLite reads names that begin with "file:" as URIs.
std::string sqliteName(const std::string& path) {
  return path.rfind("file:", 0) == 0 ? "./" + path : path;
}

bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// Judges the file by its first 100 bytes, read directly, before SQLite
// touches it: SQLite would take an empty file for a new database and write
// to it, and would restore another application's file from a journal
// beside it. Only what no commit of a book changes is judged here; the
// size is judged once SQLite has dealt with any journal (checkSize).
int16_t checkHeader(const std::string& path, off_t size) {
  if (size == 0) return status::NotABookFile;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return statusForErrno(errno);
  uint8_t header[kHeaderLength];
  const ssize_t got = ::pread(fd, header, sizeof header, 0);
  ::close(fd);
  if (got < 0) return status::IoError;
  if (got < 16 || std::memcmp(header, kSqliteMagic, 16) != 0) return status::NotABookFile;
  if (std::size_t(got) < kHeaderLength) return status::IoError;  // a book cut short
  if (bigEndian32(header + 68) != kApplicationId) return status::NotABookFile;
  if (bigEndian32(header + 60) != uint32_t(kFormatVersion)) return status::NotABookFile;
  if (header[18] == 2 || header[19] == 2) return status::NotABookFile;  // WAL: never a book
  if (header[18] != 1 || header[19] != 1) return status::IoError;
  return status::Success;
}

// The open database's file as SQLite's own handle reads it: a second
// descriptor of ours, once closed, would drop SQLite's locks on the file.
sqlite3_file* databaseFile(sqlite3* db) {
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK)
    return nullptr;
  return file != nullptr && file->pMethods != nullptr ? file : nullptr;
}

// Judges the page size and the file's size against the header, under the
// write lock, after SQLite has restored the book from a journal a crash
// left or thrown away one it could not use: so a journal beside the book
// never changes the verdict, and a book accepted once opens again.
int16_t checkSize(sqlite3* db) {
  sqlite3_file* file = databaseFile(db);
  if (file == nullptr) return status::IoError;
  uint8_t header[kHeaderLength];
  sqlite3_int64 size = 0;
  if (file->pMethods->xFileSize(file, &size) != SQLITE_OK) return status::IoError;
  if (file->pMethods->xRead(file, header, sizeof header, 0) != SQLITE_OK) return status::IoError;
  const uint32_t raw = bigEndian16(header + 16);
  const uint32_t pageSize = raw == 1 ? 65536 : raw;
  if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0)
    return status::IoError;
  if (size % pageSize != 0) return status::IoError;
  // SQLite trusts the page count only while its version-valid-for number
  // matches the change counter; otherwise it goes by the file's size.
  const uint32_t pages = bigEndian32(header + 28);
  const bool pagesValid = pages != 0 && bigEndian32(header + 24) == bigEndian32(header + 92);
  if (pagesValid && size < sqlite3_int64(pages) * pageSize) return status::IoError;
  return status::Success;
}

// True unless the connection's own journal is certainly closed: SQLite
// opens it at the start of a write transaction (at once, when the header's
// page count is out of date) and it must then never be removed.
bool journalInUse(sqlite3* db) {
  sqlite3_file* journal = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &journal) != SQLITE_OK)
    return true;
  return journal == nullptr || journal->pMethods != nullptr;
}

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  int prepared() const { return rc_; }
  sqlite3_stmt* get() const { return stmt_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int rc_;
};

int exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

// A cache of up to 24 MB (filled only as pages are changed) keeps most of
// a commit's changed pages in memory until COMMIT; a commit that changes
// more spills some of them to the file half-way, each spill with an extra
// journal sync. A larger cache saves those syncs (48 MB: a 100,000-entry
// conversion 5 % faster) but not the memory: beside both loaded books and
// the report it took a conversion as users run it 3 MB past the limit of
// twice the books' bytes plus 50 MB; at 24 MB it stays some 28 MB within.
constexpr const char* commitCacheSql = "PRAGMA cache_size=-24576";

// The single integer a pragma answers.
int queryInt(sqlite3* db, const char* sql, int64_t& value) {
  Statement query(db, sql);
  if (query.prepared() != SQLITE_OK) return query.prepared();
  const int rc = sqlite3_step(query.get());
  if (rc != SQLITE_ROW) return rc == SQLITE_DONE ? SQLITE_CORRUPT : rc;
  value = sqlite3_column_int64(query.get(), 0);
  return SQLITE_OK;
}

// Read-only checks that the open database is a book of this version.
int16_t checkFormat(sqlite3* db) {
  int64_t applicationId = 0, version = 0;
  if (int rc = queryInt(db, "PRAGMA application_id", applicationId)) return statusForSqlite(rc);
  if (int rc = queryInt(db, "PRAGMA user_version", version)) return statusForSqlite(rc);
  if (uint32_t(applicationId) != kApplicationId || version != kFormatVersion)
    return status::NotABookFile;
  Statement schema(db, "SELECT type, name, sql FROM sqlite_schema");
  if (schema.prepared() != SQLITE_OK) return statusForSqlite(schema.prepared());
  int rows = 0;
  int rc;
  while ((rc = sqlite3_step(schema.get())) == SQLITE_ROW) {
    auto text = [&](int column) {
      const auto* value = sqlite3_column_text(schema.get(), column);
      return value ? std::string(reinterpret_cast<const char*>(value)) : std::string();
    };
    if (++rows > 1 || text(0) != "table" || text(1) != "entries" || text(2) != kEntriesTableSql)
      return status::NotABookFile;
  }
  if (rc != SQLITE_DONE) return statusForSqlite(rc);
  return rows == 1 ? status::Success : status::NotABookFile;
}

int16_t loadEntries(sqlite3* db, const BookFile::Loader& load) {
  Statement select(db, "SELECT seq, data, crc FROM entries ORDER BY seq");
  if (select.prepared() != SQLITE_OK) return statusForSqlite(select.prepared());
  sqlite3_stmt* row = select.get();
  int rc;
  while ((rc = sqlite3_step(row)) == SQLITE_ROW) {
    if (sqlite3_column_type(row, 1) != SQLITE_BLOB || sqlite3_column_type(row, 2) != SQLITE_INTEGER)
      return status::IoError;
    const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(row, 1));
    if (sqlite3_column_bytes(row, 1) != int(kRecordLength)) return status::IoError;
    if (sqlite3_column_int64(row, 2) != checksumOf(data)) return status::IoError;
    if (!load(sqlite3_column_int64(row, 0), data)) return status::IoError;
  }
  return rc == SQLITE_DONE ? status::Success : statusForSqlite(rc);
}

int16_t initialise(const std::string& path) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(sqliteName(path).c_str(), &db, SQLITE_OPEN_READWRITE,
                           bufferedFileLayer());
  if (rc == SQLITE_OK) {
    const std::string sql = "PRAGMA page_size=" + std::to_string(kPageSize) +
                            "; PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; BEGIN;"
                            " PRAGMA application_id=" + std::to_string(kApplicationId) +
                            "; PRAGMA user_version=" + std::to_string(kFormatVersion) + "; " +
                            kEntriesTableSql + "; COMMIT;";
    rc = exec(db, sql.c_str());
  }
  const int16_t result = rc == SQLITE_CANTOPEN ? statusForErrno(sqlite3_system_errno(db))
                                               : statusForSqlite(rc);
  sqlite3_close_v2(db);
  return result;
}

// Puts the finished file under its name, unless something got there first.
int16_t publish(const std::string& temporary, const std::string& path) {
  if (::link(temporary.c_str(), path.c_str()) == 0) return status::Success;
  if (errno == EEXIST) return status::FileExists;
  if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS && errno != EMLINK)
    return statusForErrno(errno);
  // A file system without hard links.
  if (exists(path)) return status::FileExists;
  return ::rename(temporary.c_str(), path.c_str()) == 0 ? status::Success : statusForErrno(errno);
}

void syncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

int16_t BookFile::create(const std::string& path) {
  if (path.empty()) return status::InvalidFileName;
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0) return status::FileExists;
  if (errno != ENOENT) return statusForErrno(errno);
  const std::string folder = folderOf(path);
  if (::stat(folder.c_str(), &st) != 0) return statusForErrno(errno);
  if (!S_ISDIR(st.st_mode)) return status::FileNotFound;
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return statusForErrno(errno);

  // Built under a temporary name and then linked into place, so that a
  // crash never leaves a half-made book under the real name.
  std::string temporary = path + ".new-XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return statusForErrno(errno);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  ::close(fd);
  int16_t result = initialise(temporary);
  if (result == status::Success) result = publish(temporary, path);
  ::unlink(temporary.c_str());
  ::unlink((temporary + "-journal").c_str());
  if (result == status::Success) syncFolder(folder);
  return result;
}

int16_t BookFile::reachable(const std::string& path, struct stat& st) {
  if (path.empty()) return status::InvalidFileName;
  if (::stat(path.c_str(), &st) != 0) return statusForErrno(errno);
  if (!S_ISREG(st.st_mode)) return status::InvalidFileName;
  if (::access(path.c_str(), R_OK | W_OK) != 0) return statusForErrno(errno);
  // Every commit writes its journal beside the book.
  if (::access(folderOf(path).c_str(), W_OK | X_OK) != 0) return statusForErrno(errno);
  return status::Success;
}

int16_t BookFile::open(const std::string& path, const Loader& load,
                       std::unique_ptr<BookFile>& out) {
  struct stat st;
  if (int16_t result = reachable(path, st)) return result;
  if (int16_t result = checkHeader(path, st.st_size)) return result;

  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(sqliteName(path).c_str(), &db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, bufferedFileLayer());
  std::unique_ptr<BookFile> file(new BookFile(db));  // closes db on every way out
  if (rc == SQLITE_CANTOPEN) return statusForErrno(sqlite3_system_errno(db));
  if (rc != SQLITE_OK) return statusForSqlite(rc);
  if (sqlite3_db_readonly(db, "main") == 1) return status::AccessDenied;
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  // Connection settings only: they write nothing to the file. The page
  // walk reads past SQLite's cache, so a small one serves the checks; the
  // commit takes a large one (commitCacheSql).
  if (int e = exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;"
                       " PRAGMA cache_size=-2048"))
    return statusForSqlite(e);
  if (int16_t result = checkFormat(db)) return result;
  // The write lock for the whole session. It writes nothing to the book
  // yet; SQLite begins its journal here only for a header whose page count
  // is out of date, and otherwise when Close writes.
  if (int e = exec(db, "BEGIN IMMEDIATE")) return statusForSqlite(e);
  if (int16_t result = checkSize(db)) return result;
  // The structure and the entries in one pass over the pages (page_walk.h),
  // instead of SQLite's own check followed by a query of every row.
  int64_t root = 0;
  if (int e = queryInt(db, "SELECT rootpage FROM sqlite_schema", root)) return statusForSqlite(e);
  if (int16_t result = walkBookPages(databaseFile(db), root, load)) return result;
  int64_t pageSize = 0;
  if (int e = queryInt(db, "PRAGMA page_size", pageSize)) return statusForSqlite(e);
  if (int e = queryInt(db, "PRAGMA data_version", file->dataVersion_)) return statusForSqlite(e);
  file->pageSize_ = int(pageSize);
  file->fileId_ = fileIdentity(st);
  file->path_ = path;
  out = std::move(file);
  return status::Success;
}

void BookFile::removeStaleJournal() {
  // Under the write lock no other process can be writing a journal, and
  // SQLite rolled back a hot one when it took the lock. One still here that
  // this connection has not opened is what a crash left before a commit
  // had written anything to the book. Gone, the closed book is one file
  // again. One this connection has open is live: it stays.
  if (db_ == nullptr || sqlite3_get_autocommit(db_) || journalInUse(db_)) return;
  ::unlink((path_ + "-journal").c_str());
}

BookFile::~BookFile() {
  // Closing with the transaction still open rolls it back.
  if (db_ != nullptr) sqlite3_close_v2(db_);
}

int16_t BookFile::relock() {
  if (!sqlite3_get_autocommit(db_)) return status::Success;
  // A failed commit cost the transaction, and with it the lock. Take it
  // again, unless someone else changed the book in between: the session's
  // changes were made against the book as it was.
  if (int rc = exec(db_, "BEGIN IMMEDIATE")) return statusForSqlite(rc);
  int64_t version = 0;
  if (int rc = queryInt(db_, "PRAGMA data_version", version)) {
    exec(db_, "ROLLBACK");
    return statusForSqlite(rc);
  }
  if (version != dataVersion_) {
    exec(db_, "ROLLBACK");
    return status::FileLocked;
  }
  return status::Success;
}

int16_t BookFile::retake() {
  if (db_ == nullptr) return status::FileNotOpen;
  if (!sqlite3_get_autocommit(db_)) exec(db_, "ROLLBACK");
  return relock();
}

int16_t BookFile::writeAll(const std::vector<EntryWrite>& writes) {
  Statement insert(db_, "INSERT INTO entries(seq, data, crc) VALUES(?1, ?2, ?3)");
  Statement update(db_, "UPDATE entries SET data = ?2, crc = ?3 WHERE seq = ?1");
  Statement remove(db_, "DELETE FROM entries WHERE seq = ?1");
  for (const Statement* s : {&insert, &update, &remove})
    if (s->prepared() != SQLITE_OK) return statusForSqlite(s->prepared());
  for (const EntryWrite& write : writes) {
    const Statement& statement = write.kind == EntryWrite::Kind::Insert   ? insert
                                 : write.kind == EntryWrite::Kind::Update ? update
                                                                          : remove;
    sqlite3_stmt* s = statement.get();
    sqlite3_reset(s);
    sqlite3_bind_int64(s, 1, write.seq);
    if (write.kind != EntryWrite::Kind::Delete) {
      sqlite3_bind_blob(s, 2, write.data, int(kRecordLength), SQLITE_STATIC);
      sqlite3_bind_int64(s, 3, checksumOf(write.data));
    }
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) return statusForSqlite(rc);
    // Every write names a row that is (or, for Insert, is not yet) there;
    // anything else means the file is not the one the session loaded.
    if (sqlite3_changes(db_) != 1) return status::IoError;
  }
  return status::Success;
}

int16_t BookFile::commit(const std::vector<EntryWrite>& writes, const CommitHooks& hooks) {
  if (db_ == nullptr) return status::FileNotOpen;
  if (writes.empty()) {
    // Nothing to make durable: the file is left exactly as it was, even
    // where SQLite would have corrected its header's page count.
    sqlite3_close_v2(db_);
    db_ = nullptr;
    return status::Success;
  }
  if (int16_t result = relock()) return result;
  if (int rc = exec(db_, commitCacheSql)) return statusForSqlite(rc);
  // The savepoint lets a failed write or commit be taken back while the
  // session keeps its lock.
  if (int rc = exec(db_, "SAVEPOINT close_writes")) return statusForSqlite(rc);
  int16_t result = writeAll(writes);
  if (result == status::Success && hooks.gate != nullptr) result = (*hooks.gate)();
  if (result == status::Success) {
    const int rc = exec(db_, "COMMIT");
    if (rc == SQLITE_OK) {
      sqlite3_close_v2(db_);
      db_ = nullptr;
      return status::Success;
    }
    result = statusForSqlite(rc);
  }
  if (!sqlite3_get_autocommit(db_) &&
      (exec(db_, "ROLLBACK TO close_writes") != SQLITE_OK ||
       exec(db_, "RELEASE close_writes") != SQLITE_OK))
    exec(db_, "ROLLBACK");
  return result;
}

int16_t BookFile::readWhole(const std::function<void(const uint8_t*, std::size_t)>& take) {
  sqlite3_file* file = db_ == nullptr ? nullptr : databaseFile(db_);
  if (file == nullptr) return status::FileNotOpen;
  return readWholeFile(file, take);
}

// SQLite takes the copy as immutable: no lock, no journal, no write.
int16_t readBookCopy(const std::string& path, const std::function<void(const uint8_t*)>& take) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return statusForErrno(errno);
  if (const int16_t refused = checkHeader(path, st.st_size)) return refused;
  std::string uri = "file:";
  for (const char c : std::filesystem::absolute(path).string()) {
    if (c == '%' || c == '?' || c == '#') {
      static const char* const kHex = "0123456789ABCDEF";
      uri += {'%', kHex[uint8_t(c) >> 4], kHex[uint8_t(c) & 0xF]};
    } else {
      uri += c;
    }
  }
  uri += "?immutable=1";
  sqlite3* db = nullptr;
  // The connection is this call's alone: SQLite need not lock it at every
  // step (a run reads its backups beside its passes, on a thread of their
  // own).
  int16_t result = statusForSqlite(
      sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                      bufferedFileLayer()));
  if (result == status::Success) {
    result = loadEntries(db, [&](int64_t, const uint8_t* data) {
      take(data);
      return true;
    });
  }
  sqlite3_close_v2(db);
  return result;
}

}  // namespace varnok::rm
