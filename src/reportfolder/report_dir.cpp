#include "reportfolder/report_dir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

#include "reportfolder/file_io.h"

namespace varnok::reportfolder {
namespace fs = std::filesystem;
namespace {

[[noreturn]] void fail(int error, const std::string& what) {
  throw std::system_error(error, std::generic_category(), what);
}

// Refuses a folder another user could use to read or redirect a report.
void checkFolder(int fd, const fs::path& path) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) fail(errno, "cannot read the reports folder " + path.string());
  const auto refuse = [&](const std::string& why) {
    throw std::runtime_error("the reports folder " + path.string() + " " + why +
                             ": a report holds customers' names and addresses, so it is not "
                             "written where another user could read or replace it; mend the "
                             "folder or choose another with --report-dir");
  };
  if (st.st_uid != ::geteuid())
    refuse("belongs to another user (uid " + std::to_string(st.st_uid) + ")");
  if (st.st_mode & S_IWOTH) refuse("may be written by every user");
}

// Opens (making it 0700 when missing) the folder `name` in `parent`,
// refusing a link.
int openChild(int parent, const std::string& name, const fs::path& path) {
  if (::mkdirat(parent, name.c_str(), 0700) == 0) {
    const int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) ::fchmod(fd, 0700);
    if (fd >= 0) return fd;
  } else if (errno != EEXIST) {
    fail(errno, "cannot make the reports folder " + path.string());
  }
  const int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) return fd;
  struct stat st {};
  if ((errno == ELOOP || errno == ENOTDIR) &&
      ::fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
    throw std::runtime_error("the reports folder " + path.string() +
                             " is a symbolic link: a report holds customers' names and "
                             "addresses, so it is not written where a link leads; remove the "
                             "link or choose another folder with --report-dir");
  fail(errno, "cannot open the reports folder " + path.string());
}

}  // namespace

ReportDir::~ReportDir() {
  if (fd_ >= 0) ::close(fd_);
}

ReportDir::ReportDir(ReportDir&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

ReportDir& ReportDir::operator=(ReportDir&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

int ReportDir::createFile(const std::string& name, int flags) const {
  const int fd =
      ::openat(fd_, name.c_str(), flags | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) fail(errno, "cannot make " + (path_ / name).string());
  ::fchmod(fd, 0600);  // whatever the umask took away
  return fd;
}

int ReportDir::openFile(const std::string& name, int flags) const noexcept {
  return ::openat(fd_, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
}

int ReportDir::createUnnamed() const {
  const int fd = ::openat(fd_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  // A file system without unnamed files: a named one, removed at once.
  for (int n = 0;; ++n) {
    const std::string name = ".spool-" + std::to_string(::getpid()) + "-" + std::to_string(n);
    const int named =
        ::openat(fd_, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (named >= 0) {
      ::unlinkat(fd_, name.c_str(), 0);
      return named;
    }
    if (errno != EEXIST) fail(errno, "cannot make a spool file in " + path_.string());
  }
}

void ReportDir::writeFile(const std::string& name, std::string_view text, bool flush) const {
  const std::string partial = name + ".partial";
  ::unlinkat(fd_, partial.c_str(), 0);
  const int fd = createFile(partial, O_WRONLY);
  const std::string what = (path_ / name).string();
  try {
    writeAll(fd, text, what);
    if (flush && ::fsync(fd) != 0) fail(errno, "cannot write " + what);
  } catch (...) {
    ::close(fd);
    ::unlinkat(fd_, partial.c_str(), 0);
    throw;
  }
  ::close(fd);
  if (::renameat(fd_, partial.c_str(), fd_, name.c_str()) != 0) {
    const int error = errno;
    ::unlinkat(fd_, partial.c_str(), 0);
    fail(error, "cannot write " + what);
  }
}

std::string ReportDir::readFile(const std::string& name) const {
  const int fd = openFile(name, O_RDONLY);
  if (fd < 0) fail(errno, "cannot read " + (path_ / name).string());
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      fail(error, "cannot read " + (path_ / name).string());
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

void ReportDir::rename(const std::string& from, const std::string& to) const {
  if (::renameat(fd_, from.c_str(), fd_, to.c_str()) != 0)
    fail(errno, "cannot name " + (path_ / to).string());
}

bool ReportDir::exists(const std::string& name) const noexcept {
  struct stat st {};
  return ::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

void ReportDir::remove(const std::string& name) const noexcept { ::unlinkat(fd_, name.c_str(), 0); }

void ReportDir::sync() const noexcept { ::fsync(fd_); }

fs::path userDataHome() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome && dataHome[0] == '/') return dataHome;
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return fs::path(home) / ".local" / "share";
  return {};
}

ReportDir openReportsFolder(const fs::path& reports) {
  std::error_code error;
  const fs::path target = fs::absolute(reports, error).lexically_normal();
  fs::path wanted = target;
  if (!wanted.has_filename()) wanted = wanted.parent_path();
  // Below the data home every folder is ours to check; elsewhere only the
  // reports folder itself, in a place the user chose.
  fs::path base = wanted.parent_path();
  const fs::path home = userDataHome();
  if (!home.empty()) {
    const fs::path below = wanted.lexically_relative(home);
    if (!below.empty() && *below.begin() != ".." && below != ".") base = home;
  }
  fs::create_directories(base, error);
  int fd = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    fail(errno, "cannot make the reports folder " + wanted.string() + " in " + base.string());
  fs::path path = base;
  try {
    for (const fs::path& part : wanted.lexically_relative(base)) {
      path /= part;
      const int child = openChild(fd, part.string(), path);
      ::close(fd);
      fd = child;
      checkFolder(fd, path);
    }
  } catch (...) {
    ::close(fd);
    throw;
  }
  return ReportDir(fd, wanted);
}

}  // namespace varnok::reportfolder
