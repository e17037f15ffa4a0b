// A book file's bytes for layers above the engine: the copy of an open book
// and the SHA-256 of a book, read through SQLite's own handles, so that no
// descriptor of the process on a book is ever closed under a session's lock.
#include <openssl/evp.h>
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
#include "recordmanager/record_manager.h"

namespace varnok::rm {
namespace {

using Take = std::function<void(const uint8_t*, std::size_t)>;

class Sha256 {
 public:
  Sha256() : context_(EVP_MD_CTX_new(), EVP_MD_CTX_free) {
    if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1)
      throw std::runtime_error("SHA-256 is not available");
  }
  void add(const uint8_t* bytes, std::size_t length) {
    EVP_DigestUpdate(context_.get(), bytes, length);
  }
  std::string hex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_.get(), digest, &length);
    static const char* const kDigits = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
      text += kDigits[digest[i] >> 4];
      text += kDigits[digest[i] & 0xF];
    }
    return text;
  }

 private:
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context_;
};

int16_t hashOf(const std::function<int16_t(const Take&)>& read, std::string& sha256) {
  Sha256 hash;
  const int16_t result = read([&](const uint8_t* bytes, std::size_t length) { hash.add(bytes, length); });
  if (result == status::Success) sha256 = hash.hex();
  return result;
}

// Hands the file's bytes to `take` through the handle's own reads.
int16_t readThrough(sqlite3_file* file, const Take& take) {
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
    result = hashOf([&](const Take& take) { return readThrough(file, take); }, sha256);
  sqlite3_close_v2(db);
  return result;
}

}  // namespace varnok::rm
