// A book file's bytes for layers above the engine: the copy of an open book
// and the SHA-256 of a book, read through SQLite's own handles, so that no
// descriptor of the process on a book is ever closed under a session's lock.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "recordmanager/buffered_files.h"
#include "recordmanager/sha256.h"
#include "recordmanager/record_manager.h"

namespace varnok::rm {
namespace {

using Take = std::function<void(const uint8_t*, std::size_t)>;

int16_t hashOf(const std::function<int16_t(const Take&)>& read, std::string& sha256) {
  Sha256 hash;
  const int16_t result = read([&](const uint8_t* bytes, std::size_t length) { hash.add(bytes, length); });
  if (result == status::Success) sha256 = hash.hex();
  return result;
}

int16_t statusForErrno(int error) {
  if (error == ENOENT || error == ENOTDIR) return status::FileNotFound;
  if (error == EACCES || error == EPERM) return status::AccessDenied;
  return status::IoError;
}

}  // namespace

int16_t readOpenBook(const void* positionBlock, const Take& take);  // engine.cpp

int16_t copyOpenBook(const void* positionBlock, int destination, uint64_t& bytes, int& error) {
  bytes = 0;
  error = 0;
  const int16_t result = readOpenBook(positionBlock, [&](const uint8_t* data, std::size_t length) {
    for (std::size_t at = 0; error == 0 && at < length;) {
      const ssize_t n = ::write(destination, data + at, length - at);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) error = n < 0 ? errno : EIO;
      if (n > 0) at += std::size_t(n);
    }
    if (error == 0) bytes += length;
  });
  return result == status::Success && error != 0 ? status::IoError : result;
}

int16_t openBookSha256(const void* positionBlock, std::string& sha256) {
  return hashOf([&](const Take& take) { return readOpenBook(positionBlock, take); }, sha256);
}

int16_t bookFileSha256(const std::string& bookFile, std::string& sha256) {
  if (::access(bookFile.c_str(), R_OK) != 0) return statusForErrno(errno);
  // Opening takes no lock and reads nothing; SQLite's layer keeps the
  // descriptor open past the close while a session of the process holds a
  // lock on the file.
  sqlite3* db = nullptr;
  const std::string name = bookFile.rfind("file:", 0) == 0 ? "./" + bookFile : bookFile;
  int16_t result = sqlite3_open_v2(name.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                                   bufferedFileLayer()) == SQLITE_OK
                       ? status::Success
                       : status::IoError;
  sqlite3_file* file = nullptr;
  if (result == status::Success &&
      (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
       file == nullptr || file->pMethods == nullptr))
    result = status::IoError;
  if (result == status::Success)
    result = hashOf([&](const Take& take) { return readWholeFile(file, take); }, sha256);
  sqlite3_close_v2(db);
  return result;
}

}  // namespace varnok::rm
