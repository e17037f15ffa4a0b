#include "report/file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

#include "recordmanager/record_manager.h"
#include "report/file_io.h"

namespace varnok::report {
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

class Sha256 {
 public:
  Sha256() : context_(EVP_MD_CTX_new(), EVP_MD_CTX_free) {
    if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1)
      throw std::runtime_error("SHA-256 is not available");
  }
  void add(const void* bytes, std::size_t length) {
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

// What a read of a file to hash or copy takes at a time. A book's hash
// after is made while its Close is still at its largest, so this is kept
// small.
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

// The SHA-256 of what `fd`, open on `file`, reads from where it stands.
std::string sha256Read(int fd, const std::filesystem::path& file) {
  Sha256 hash;
  readAll(fd, file, [&](const char* bytes, std::size_t length) { hash.add(bytes, length); });
  return hash.hex();
}

}  // namespace

std::string sha256OfFile(const std::filesystem::path& file) {
  const Fd in(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) fail("cannot open", file, errno);
  return sha256Read(in.get(), file);
}

BookHash hashBook(const std::filesystem::path& book) {
  BookHash hash;
  hash.reader = ::open(book.c_str(), O_RDONLY | O_CLOEXEC);
  if (hash.reader < 0) {
    hash.problem = "cannot open " + book.string() + ": " + std::strerror(errno);
    return hash;
  }
  try {
    hash.sha256 = sha256Read(hash.reader, book);
  } catch (const std::exception& error) {
    hash.problem = error.what();
  }
  return hash;
}

ByteSource openBookBytes(const void* positionBlock) {
  return [positionBlock](const auto& take) {
    if (const int16_t status = rm::readOpenBookFile(positionBlock, take))
      throw std::runtime_error("the open book could not be read (status " +
                               std::to_string(status) + ")");
  };
}

namespace {

// Copies the open book into `out` (`to` names it in errors) and returns
// how many bytes: only into the page cache, the flush follows on another
// thread. The engine's own descriptor is read at explicit offsets: a
// descriptor of our own, once closed, would drop the session's lock.
std::uintmax_t copyBookInto(const void* positionBlock, int out, const std::string& to) {
  std::uintmax_t bytes = 0;
  const int engines = rm::openBookDescriptor(positionBlock);
  struct stat st{};
  const bool sized = engines >= 0 && ::fstat(engines, &st) == 0;
  if (sized) bytes = copyWithinKernel(engines, 0, out, uint64_t(st.st_size), to);
  if (!sized || bytes < uint64_t(st.st_size)) {
    // Through the engine instead, from the start.
    if (bytes > 0 && (::ftruncate(out, 0) != 0 || ::lseek(out, 0, SEEK_SET) != 0))
      fail("cannot write", to, errno);
    bytes = 0;
    openBookBytes(positionBlock)([&](const uint8_t* data, std::size_t length) {
      writeAll(out, std::string_view(reinterpret_cast<const char*>(data), length), to);
      bytes += length;
    });
  }
  return bytes;
}

}  // namespace

std::uintmax_t copyOpenBook(const void* positionBlock, const std::filesystem::path& to) {
  Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (out.get() < 0) fail("cannot create", to, errno);
  try {
    const std::uintmax_t bytes = copyBookInto(positionBlock, out.get(), to.string());
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
    const std::uintmax_t bytes = copyBookInto(positionBlock, out.get(), to.string());
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
  const std::string sha256 = sha256Read(fd.get(), to);
  if (::renameat2(folder.fd(), partial.c_str(), folder.fd(), name.c_str(), RENAME_NOREPLACE) != 0)
    fail("cannot name", to, errno);
  folder.sync();
  return sha256;
}

std::string sha256Of(const ByteSource& source) {
  Sha256 hash;
  source([&](const uint8_t* data, std::size_t length) { hash.add(data, length); });
  return hash.hex();
}

std::string flushAndHash(const std::filesystem::path& file) {
  const Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) fail("cannot open", file, errno);
  if (::fsync(fd.get()) != 0) fail("cannot flush", file, errno);
  return sha256Read(fd.get(), file);
}

CopiedFile copyWithHash(const std::filesystem::path& from, const std::filesystem::path& to) {
  const Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) fail("cannot open", from, errno);
  Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (out.get() < 0) fail("cannot create", to, errno);
  CopiedFile copy{to, {}, 0};
  try {
    Sha256 hash;
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

}  // namespace varnok::report
