// A SQLite file layer for crash tests: it wraps the process's default one and
// counts every change SQLite makes on disk (a write, a truncation, a sync, a
// file deletion), and can stop the process with SIGKILL just before the n-th
// one. Install it in a child process, before the code under test opens any
// database; the parent then sees the files exactly as a crash at that moment
// would leave them.
#pragma once

#include <signal.h>
#include <sqlite3.h>

#include <stdexcept>

namespace varnok::testing {

class KillAtWrite {
 public:
  // Makes the wrapper the default for every database opened from now on.
  static void install() {
    State& s = state();
    if (s.real != nullptr) return;
    s.real = sqlite3_vfs_find(nullptr);
    if (s.real == nullptr) throw std::runtime_error("no SQLite file layer");
    s.vfs = *s.real;
    s.vfs.zName = "varnok-kill-at-write";
    s.vfs.szOsFile = int(sizeof(File)) + s.real->szOsFile;
    s.vfs.xOpen = open;
    s.vfs.xDelete = remove;
    s.methods = sqlite3_io_methods{};
    s.methods.iVersion = 1;  // rollback journals only: no shared memory, no mapping
    s.methods.xClose = [](sqlite3_file* f) { return call(f)->xClose(real(f)); };
    s.methods.xRead = [](sqlite3_file* f, void* b, int n, sqlite3_int64 at) {
      return call(f)->xRead(real(f), b, n, at);
    };
    s.methods.xWrite = [](sqlite3_file* f, const void* b, int n, sqlite3_int64 at) {
      change();
      return call(f)->xWrite(real(f), b, n, at);
    };
    s.methods.xTruncate = [](sqlite3_file* f, sqlite3_int64 size) {
      change();
      return call(f)->xTruncate(real(f), size);
    };
    s.methods.xSync = [](sqlite3_file* f, int flags) {
      change();
      return call(f)->xSync(real(f), flags);
    };
    s.methods.xFileSize = [](sqlite3_file* f, sqlite3_int64* size) {
      return call(f)->xFileSize(real(f), size);
    };
    s.methods.xLock = [](sqlite3_file* f, int level) { return call(f)->xLock(real(f), level); };
    s.methods.xUnlock = [](sqlite3_file* f, int level) { return call(f)->xUnlock(real(f), level); };
    s.methods.xCheckReservedLock = [](sqlite3_file* f, int* out) {
      return call(f)->xCheckReservedLock(real(f), out);
    };
    s.methods.xFileControl = [](sqlite3_file* f, int op, void* arg) {
      return call(f)->xFileControl(real(f), op, arg);
    };
    s.methods.xSectorSize = [](sqlite3_file* f) { return call(f)->xSectorSize(real(f)); };
    s.methods.xDeviceCharacteristics = [](sqlite3_file* f) {
      return call(f)->xDeviceCharacteristics(real(f));
    };
    if (sqlite3_vfs_register(&s.vfs, 1) != SQLITE_OK)
      throw std::runtime_error("cannot register the SQLite file layer");
  }

  // Kill just before the n-th change from now (n >= 1); 0 only counts.
  static void killAt(long n) {
    state().changes = 0;
    state().limit = n;
  }
  // The changes made since the last killAt().
  static long changes() { return state().changes; }

 private:
  struct File {
    sqlite3_file base;
    sqlite3_file* real;
  };
  struct State {
    sqlite3_vfs* real = nullptr;
    sqlite3_vfs vfs{};
    sqlite3_io_methods methods{};
    long changes = 0;
    long limit = 0;
  };
  static State& state() {
    static State s;
    return s;
  }
  static sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<File*>(f)->real; }
  static const sqlite3_io_methods* call(sqlite3_file* f) { return real(f)->pMethods; }

  static void change() {
    State& s = state();
    if (++s.changes == s.limit) raise(SIGKILL);
  }

  static int open(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
    File* file = reinterpret_cast<File*>(f);
    file->real = reinterpret_cast<sqlite3_file*>(file + 1);
    file->real->pMethods = nullptr;
    const int rc = state().real->xOpen(state().real, name, file->real, flags, outFlags);
    file->base.pMethods = file->real->pMethods != nullptr ? &state().methods : nullptr;
    return rc;
  }

  static int remove(sqlite3_vfs*, const char* name, int syncFolder) {
    change();
    return state().real->xDelete(state().real, name, syncFolder);
  }
};

}  // namespace varnok::testing
