// Whether another process could take a book file's write lock right now.
#pragma once

#include <sqlite3.h>

#include <string>

#include "child_process.h"

namespace varnok::testing {

// The child asks SQLite directly: its copy of this process's engine could
// answer from books this process keeps open instead of asking the file.
inline bool lockedElsewhere(const std::string& bookFile) {
  const ChildEnd end = runInChild([&] {
    sqlite3* db = nullptr;
    const bool busy = sqlite3_open(bookFile.c_str(), &db) != SQLITE_OK ||
                      sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK;
    sqlite3_close(db);
    return busy ? 1 : 0;
  });
  return end.exited && end.exitStatus == 1;
}

}  // namespace varnok::testing
