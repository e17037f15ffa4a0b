#include "reportfolder/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace varnok::reportfolder {
namespace {

[[noreturn]] void fail(int error, const std::string& what) {
  throw std::system_error(error, std::generic_category(), "cannot write " + what);
}

}  // namespace

int openUnnamedFile(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  // A file system without unnamed files: a named one, unlinked at once.
  std::string pattern = (folder / ".spool-XXXXXX").string();
  const int named = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (named < 0) fail(errno, "a spool file in " + folder.string());
  ::unlink(pattern.c_str());
  return named;
}

void writeAll(int fd, std::string_view bytes, const std::string& what) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail(n < 0 ? errno : EIO, what);
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void readAllAt(int fd, void* into, std::size_t length, uint64_t offset, const std::string& what) {
  auto* bytes = static_cast<char*>(into);
  while (length > 0) {
    const ssize_t n = ::pread(fd, bytes, length, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      throw std::system_error(n < 0 ? errno : EIO, std::generic_category(), "cannot read " + what);
    bytes += n;
    length -= static_cast<std::size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
}

void writeFileInPlace(const std::filesystem::path& path, std::string_view text, bool flush) {
  const std::filesystem::path partial = path.string() + ".partial";
  const int fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) fail(errno, path.string());
  try {
    writeAll(fd, text, path.string());
    if (flush && ::fsync(fd) != 0) fail(errno, path.string());
  } catch (...) {
    ::close(fd);
    ::unlink(partial.c_str());
    throw;
  }
  ::close(fd);
  if (std::rename(partial.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(partial.c_str());
    fail(error, path.string());
  }
}

}  // namespace varnok::reportfolder
