#include "recordmanager/buffered_files.h"

#include "recordmanager/status.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace varnok::rm {
namespace {

// The system's layer reads and writes at most 128 KB - 1 bytes a call.
constexpr sqlite3_int64 kReadAhead = 124 * 1024;
constexpr std::size_t kGathered = 124 * 1024;
// Room for a default layer that wraps the system's (as the crash tests'
// does), beyond what the system's own needs.
constexpr int kRoomForWrappers = 256;

struct BufferedFile {
  sqlite3_file base;  // first: SQLite sees this
  sqlite3_file* real;
  bool isBook;  // not a journal
  bool readsAhead;
  bool gathersWrites;
  // aheadLength of the file's bytes from aheadAt on, as read under the
  // current lock. The buffer is taken once and never cleared: every refill
  // overwrites what it serves.
  std::unique_ptr<unsigned char[]> ahead;
  std::size_t aheadLength = 0;
  sqlite3_int64 aheadAt = 0;
  // Writes not handed on yet: bytes for the file from pendingAt on.
  std::vector<unsigned char> pending;
  sqlite3_int64 pendingAt = 0;
};

BufferedFile* of(sqlite3_file* file) { return reinterpret_cast<BufferedFile*>(file); }

sqlite3_file* real(sqlite3_file* file) { return of(file)->real; }
const sqlite3_io_methods* call(sqlite3_file* file) { return real(file)->pMethods; }

int handOn(BufferedFile* file) {
  if (file->pending.empty()) return SQLITE_OK;
  const int rc = file->real->pMethods->xWrite(file->real, file->pending.data(),
                                              int(file->pending.size()), file->pendingAt);
  file->pending.clear();
  return rc;
}

// Hands on what is gathered and forgets what was read ahead: before
// anything that may change the file or let another process change it.
int settle(sqlite3_file* file) {
  of(file)->aheadLength = 0;
  return handOn(of(file));
}

// Whether writes not handed on reach past `at`. A read from `at` on hands
// them on first: it might read their bytes, or past the end of the file
// they extend. A read wholly after them leaves them gathered: a commit that
// spills pages half-way reads the next page between two writes to earlier
// ones, and handing them on there would write a page a call.
bool pendingReachesPast(const BufferedFile* f, sqlite3_int64 at) {
  return !f->pending.empty() && f->pendingAt + sqlite3_int64(f->pending.size()) > at;
}

int readFile(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
  BufferedFile* f = of(file);
  if (pendingReachesPast(f, offset))
    if (int rc = handOn(f)) return rc;
  if (!f->readsAhead || amount >= kReadAhead)
    return call(file)->xRead(f->real, buffer, amount, offset);
  const auto aheadEnd = f->aheadAt + sqlite3_int64(f->aheadLength);
  if (offset >= f->aheadAt && offset + amount <= aheadEnd) {
    std::memcpy(buffer, f->ahead.get() + (offset - f->aheadAt), std::size_t(amount));
    return SQLITE_OK;
  }
  // SQLite's structural check walks a book's pages from the last to the
  // first: a read just before what was read ahead reads ahead backwards.
  const bool backwards = f->aheadLength != 0 && offset < f->aheadAt &&
                         offset + amount > f->aheadAt - kReadAhead;
  f->aheadLength = 0;
  sqlite3_int64 size = 0;
  if (int rc = call(file)->xFileSize(f->real, &size)) return rc;
  // A read that reaches past the end gets SQLite's own answer to it.
  if (offset + amount > size) return call(file)->xRead(f->real, buffer, amount, offset);
  const sqlite3_int64 from =
      backwards ? std::max<sqlite3_int64>(0, offset + amount - kReadAhead) : offset;
  const sqlite3_int64 length = std::min(kReadAhead, size - from);
  // What is read ahead must not miss a gathered write.
  if (pendingReachesPast(f, from))
    if (int rc = handOn(f)) return rc;
  if (!f->ahead) f->ahead = std::make_unique_for_overwrite<unsigned char[]>(kReadAhead);
  if (int rc = call(file)->xRead(f->real, f->ahead.get(), int(length), from)) return rc;
  f->aheadLength = std::size_t(length);
  f->aheadAt = from;
  std::memcpy(buffer, f->ahead.get() + (offset - from), std::size_t(amount));
  return SQLITE_OK;
}

int writeFile(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset) {
  BufferedFile* f = of(file);
  // Only a write into what was read ahead makes it stale.
  if (offset < f->aheadAt + sqlite3_int64(f->aheadLength) && f->aheadAt < offset + amount)
    f->aheadLength = 0;
  if (!f->gathersWrites) return call(file)->xWrite(f->real, buffer, amount, offset);
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  const bool follows = !f->pending.empty() &&
                       offset == f->pendingAt + sqlite3_int64(f->pending.size()) &&
                       f->pending.size() + std::size_t(amount) <= kGathered;
  if (!follows) {
    if (int rc = handOn(f)) return rc;
    if (std::size_t(amount) >= kGathered) return call(file)->xWrite(f->real, buffer, amount, offset);
    f->pendingAt = offset;
  }
  f->pending.insert(f->pending.end(), bytes, bytes + amount);
  return SQLITE_OK;
}

int closeFile(sqlite3_file* file) {
  BufferedFile* f = of(file);
  const int handed = handOn(f);
  const int closed = call(file)->xClose(f->real);
  f->~BufferedFile();
  return handed != SQLITE_OK ? handed : closed;
}

const sqlite3_io_methods kMethods = {
    1,  // rollback journals only: no shared memory, no mapping
    closeFile,
    readFile,
    writeFile,
    [](sqlite3_file* f, sqlite3_int64 size) {
      if (int rc = settle(f)) return rc;
      return call(f)->xTruncate(real(f), size);
    },
    [](sqlite3_file* f, int flags) {
      if (int rc = settle(f)) return rc;
      return call(f)->xSync(real(f), flags);
    },
    [](sqlite3_file* f, sqlite3_int64* size) {
      if (int rc = handOn(of(f))) return rc;
      return call(f)->xFileSize(real(f), size);
    },
    [](sqlite3_file* f, int level) {
      if (int rc = settle(f)) return rc;
      return call(f)->xLock(real(f), level);
    },
    [](sqlite3_file* f, int level) {
      if (int rc = settle(f)) return rc;
      return call(f)->xUnlock(real(f), level);
    },
    [](sqlite3_file* f, int* reserved) { return call(f)->xCheckReservedLock(real(f), reserved); },
    [](sqlite3_file* f, int op, void* argument) {
      if (int rc = settle(f)) return rc;
      return call(f)->xFileControl(real(f), op, argument);
    },
    [](sqlite3_file* f) { return call(f)->xSectorSize(real(f)); },
    [](sqlite3_file* f) { return call(f)->xDeviceCharacteristics(real(f)); },
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

sqlite3_vfs* system() { return sqlite3_vfs_find(nullptr); }

int openFile(sqlite3_vfs* layer, const char* name, sqlite3_file* file, int flags, int* outFlags) {
  sqlite3_vfs* below = system();
  file->pMethods = nullptr;
  if (below == nullptr || below->szOsFile > layer->szOsFile - int(sizeof(BufferedFile)))
    return SQLITE_CANTOPEN;
  auto* f = new (file) BufferedFile();
  f->real = reinterpret_cast<sqlite3_file*>(f + 1);
  f->real->pMethods = nullptr;
  f->isBook = (flags & SQLITE_OPEN_MAIN_DB) != 0;
  f->readsAhead = f->isBook;
  f->gathersWrites = (flags & (SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_MAIN_JOURNAL)) != 0;
  const int rc = below->xOpen(below, name, f->real, flags, outFlags);
  if (rc != SQLITE_OK) {
    if (f->real->pMethods != nullptr) f->real->pMethods->xClose(f->real);
    f->~BufferedFile();
    file->pMethods = nullptr;
    return rc;
  }
  file->pMethods = &kMethods;
  return SQLITE_OK;
}

sqlite3_vfs makeLayer() {
  sqlite3_vfs* below = system();
  sqlite3_vfs layer = *below;
  layer.pNext = nullptr;
  layer.zName = "varnok-buffered";
  static_assert(sizeof(BufferedFile) % 8 == 0, "the real file follows, 8-aligned");
  layer.szOsFile = int(sizeof(BufferedFile)) + below->szOsFile + kRoomForWrappers;
  layer.pAppData = nullptr;
  layer.xOpen = openFile;
  layer.xDelete = [](sqlite3_vfs*, const char* name, int syncFolder) {
    return system()->xDelete(system(), name, syncFolder);
  };
  layer.xAccess = [](sqlite3_vfs*, const char* name, int flags, int* out) {
    return system()->xAccess(system(), name, flags, out);
  };
  layer.xFullPathname = [](sqlite3_vfs*, const char* name, int size, char* out) {
    return system()->xFullPathname(system(), name, size, out);
  };
  layer.xRandomness = [](sqlite3_vfs*, int size, char* out) {
    return system()->xRandomness(system(), size, out);
  };
  layer.xSleep = [](sqlite3_vfs*, int micro) { return system()->xSleep(system(), micro); };
  layer.xCurrentTime = [](sqlite3_vfs*, double* now) {
    return system()->xCurrentTime(system(), now);
  };
  layer.xGetLastError = [](sqlite3_vfs*, int size, char* out) {
    return system()->xGetLastError(system(), size, out);
  };
  layer.xCurrentTimeInt64 = [](sqlite3_vfs*, sqlite3_int64* now) {
    return system()->xCurrentTimeInt64(system(), now);
  };
  return layer;
}

}  // namespace

const char* bufferedFileLayer() {
  static sqlite3_vfs layer = [] {
    // SQLite would keep its memory statistics under one lock of the whole
    // process, taken at every allocation: a run reading its backups on one
    // thread while it commits a book on another would wait on it. Nothing
    // here reads those statistics. Where SQLite was started already, this
    // is refused and changes nothing.
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    sqlite3_initialize();
    sqlite3_vfs made = makeLayer();
    return made;
  }();
  static const bool registered = sqlite3_vfs_register(&layer, 0) == SQLITE_OK;
  return registered ? layer.zName : nullptr;
}

int16_t readWholeFile(sqlite3_file* file,
                      const std::function<void(const uint8_t*, std::size_t)>& take) {
  sqlite3_int64 size = 0;
  if (file->pMethods->xFileSize(file, &size) != SQLITE_OK) return status::IoError;
  // The system's layer reads at most 128 KB - 1 bytes a call.
  std::vector<uint8_t> chunk(124 * 1024);
  for (sqlite3_int64 at = 0; at < size;) {
    const int length = int(std::min<sqlite3_int64>(sqlite3_int64(chunk.size()), size - at));
    if (file->pMethods->xRead(file, chunk.data(), length, at) != SQLITE_OK) return status::IoError;
    take(chunk.data(), std::size_t(length));
    at += length;
  }
  return status::Success;
}

}  // namespace varnok::rm
