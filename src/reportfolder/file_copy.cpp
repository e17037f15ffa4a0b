#include "reportfolder/file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

#include "recordmanager/record_manager.h"
#include "recordmanager/sha256.h"
#include "recordmanager/status.h"
#include "reportfolder/file_io.h"

namespace varnok::reportfolder {
namespace {

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& file, int error) {
  throw std::system_error(error, std::generic_category(), what + " " + file.string());
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// What a read of a file to hash or copy takes at a time.
constexpr std::size_t kChunk = 256 * 1024;

// Reads `from` to its end, handing each chunk to `take`.
template <typename Take>
void readAll(int fd, const std::filesystem::path& from, Take take) {
  std::vector<char> buffer(kChunk);
  for (;;) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) fail("cannot read", from, errno);
    if (got == 0) return;
    take(buffer.data(), static_cast<std::size_t>(got));
  }
}

std::string failedRead(int16_t status) {
  return "the open book could not be read (status " + std::to_string(status) + ")";
}

// Copies the open book into `out` (`to` names it in errors) and returns
// how many bytes: only into the page cache, the flush follows.
std::uintmax_t copyBookInto(const void* positionBlock, int out, const std::filesystem::path& to) {
  uint64_t bytes = 0;
  int error = 0;
  const int16_t status = rm::copyOpenBook(positionBlock, out, bytes, error);
  if (status != rm::status::Success && error != 0) fail("cannot write", to, error);
  if (status != rm::status::Success) throw std::runtime_error(failedRead(status));
  return bytes;
}

}  // namespace

std::string sha256OfDescriptor(int fd, const std::filesystem::path& file) {
  rm::Sha256 hash;
  readAll(fd, file, [&](const char* bytes, std::size_t length) { hash.add(bytes, length); });
  return hash.hex();
}

std::string sha256OfFile(const std::filesystem::path& file) {
  const Fd in(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) fail("cannot open", file, errno);
  return sha256OfDescriptor(in.get(), file);
}

BookHash hashBook(const std::filesystem::path& book) {
  BookHash hash;
  if (const int16_t status = rm::bookFileSha256(book.string(), hash.sha256))
    hash.problem = "cannot read " + book.string() + ": " + rm::statusText(status) + " (status " +
                   std::to_string(status) + ")";
  return hash;
}

std::string sha256OfBook(const std::filesystem::path& book) {
  BookHash hash = hashBook(book);
  if (!hash.problem.empty()) throw std::runtime_error(hash.problem);
  return hash.sha256;
}

std::string hashOpenBook(const void* positionBlock) {
  std::string sha256;
  if (const int16_t status = rm::openBookSha256(positionBlock, sha256))
    throw std::runtime_error(failedRead(status));
  return sha256;
}

std::uintmax_t copyOpenBook(const void* positionBlock, const std::filesystem::path& to) {
  Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (out.get() < 0) fail("cannot create", to, errno);
  try {
    const std::uintmax_t bytes = copyBookInto(positionBlock, out.get(), to);
    if (::close(out.release()) != 0) fail("cannot write", to, errno);
    return bytes;
  } catch (...) {
    ::unlink(to.c_str());
    throw;
  }
}

std::uintmax_t copyOpenBook(const void* positionBlock, const ReportDir& folder,
                            const std::string& name) {
  const std::string partial = name + ".partial";
  const std::filesystem::path to = folder.path() / name;
  if (folder.exists(name)) fail("cannot create", to, EEXIST);  // never overwritten
  Fd out(folder.createFile(partial, O_WRONLY));
  try {
    const std::uintmax_t bytes = copyBookInto(positionBlock, out.get(), to);
    if (::close(out.release()) != 0) fail("cannot write", to, errno);
    return bytes;
  } catch (...) {
    folder.remove(partial);
    throw;
  }
}

std::string publishBackup(const ReportDir& folder, const std::string& name) {
  const std::string partial = name + ".partial";
  const std::filesystem::path to = folder.path() / name;
  const Fd fd(folder.openFile(partial, O_RDONLY));
  if (fd.get() < 0) fail("cannot open", to, errno);
  if (::fsync(fd.get()) != 0) fail("cannot flush", to, errno);
  const std::string sha256 = sha256OfDescriptor(fd.get(), to);
  if (::renameat2(folder.fd(), partial.c_str(), folder.fd(), name.c_str(), RENAME_NOREPLACE) != 0)
    fail("cannot name", to, errno);
  folder.sync();
  return sha256;
}

std::string flushAndHash(const std::filesystem::path& file) {
  const Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) fail("cannot open", file, errno);
  if (::fsync(fd.get()) != 0) fail("cannot flush", file, errno);
  return sha256OfDescriptor(fd.get(), file);
}

CopiedFile copyWithHash(const std::filesystem::path& from, const std::filesystem::path& to) {
  const Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) fail("cannot open", from, errno);
  Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (out.get() < 0) fail("cannot create", to, errno);
  CopiedFile copy{to, {}, 0};
  try {
    rm::Sha256 hash;
    readAll(in.get(), from, [&](const char* bytes, std::size_t length) {
      hash.add(bytes, length);
      writeAll(out.get(), std::string_view(bytes, length), to.string());
      copy.bytes += length;
    });
    if (::fsync(out.get()) != 0) fail("cannot flush", to, errno);
    if (::close(out.release()) != 0) fail("cannot write", to, errno);
    copy.sha256 = hash.hex();
  } catch (...) {
    ::unlink(to.c_str());
    throw;
  }
  return copy;
}

}  // namespace varnok::reportfolder
