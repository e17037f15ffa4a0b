#include "restore/restore_target.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "gunbook/book_cursor.h"
#include "gunbook/book_folder.h"
#include "recordmanager/record_manager.h"

namespace varnok::restore {
namespace {

namespace fs = std::filesystem;

// Where SQLite, under the engine, takes a book's locks: its pending byte,
// its reserved byte and its 510 shared bytes, from the first gigabyte on.
constexpr off_t kLockRangeStart = 0x40000000;
constexpr off_t kLockRangeLength = 512;

std::string systemError(int error) { return std::strerror(error); }

}  // namespace

std::string findRestoreTarget(const fs::path& folder, RestoreTarget& target) {
  target = RestoreTarget{};
  std::error_code error;
  fs::path absoluteFolder = fs::absolute(folder, error).lexically_normal();
  if (absoluteFolder.filename().empty()) absoluteFolder = absoluteFolder.parent_path();
  target.book = absoluteFolder / "FILE3.DAT";
  struct stat st;
  const bool found = ::stat(absoluteFolder.c_str(), &st) == 0;
  const bool missing = !found && errno == ENOENT;
  if (!found || !S_ISDIR(st.st_mode)) {
    return "the folder " + absoluteFolder.string() +
           (missing ? " does not exist" : " is not a folder");
  }
  if (::lstat(target.book.c_str(), &st) != 0) {
    const int lookError = errno;
    if (lookError != ENOENT)
      return "cannot look at " + target.book.string() + ": " + systemError(lookError);
    // No book file: the folder says whose the book is.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    target.file = target.book;
    target.mode = 0666 & ~mask;
    ::stat(absoluteFolder.c_str(), &st);
    target.uid = st.st_uid;
    target.gid = st.st_gid;
    target.keepOwner = ::geteuid() == 0;
    return {};
  }
  target.file = S_ISLNK(st.st_mode) ? fs::canonical(target.book, error) : target.book;
  if (error) {
    return target.book.string() + " is a link to " + fs::read_symlink(target.book, error).string() +
           ", which cannot be followed (" + error.message() + ")";
  }
  if (::stat(target.file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    return target.file.string() + " is not a file";
  }
  target.present = true;
  target.uid = st.st_uid;
  target.gid = st.st_gid;
  target.mode = st.st_mode & 07777;
  target.keepOwner = true;
  return {};
}

std::string giveOwnerAndMode(const fs::path& file, const RestoreTarget& target) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return "cannot open " + file.string() + ": " + systemError(errno);
  struct stat st;
  std::string problem;
  // The owner first: a change of owner clears the set-id bits a mode has.
  if (::fstat(fd, &st) != 0) {
    problem = "cannot look at " + file.string() + ": " + systemError(errno);
  } else if (target.keepOwner && (st.st_uid != target.uid || st.st_gid != target.gid) &&
             ::fchown(fd, target.uid, target.gid) != 0) {
    problem = "cannot give " + file.string() + " the owner " + std::to_string(target.uid) +
              " and group " + std::to_string(target.gid) +
              " of the book it is to replace: " + systemError(errno);
  } else if (::fchmod(fd, target.mode) != 0) {
    problem = "cannot give " + file.string() +
              " the mode of the book it is to replace: " + systemError(errno);
  }
  ::close(fd);
  return problem;
}

UnopenableBookHold::~UnopenableBookHold() {
  if (fd_ >= 0) ::close(fd_);
}

std::string UnopenableBookHold::take(const fs::path& file) {
  fd_ = ::open(file.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  if (fd_ < 0) return "cannot open " + file.string() + ": " + systemError(errno);
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = kLockRangeStart;
  lock.l_len = kLockRangeLength;
  if (::fcntl(fd_, F_OFD_SETLK, &lock) == 0) return {};
  const int error = errno;
  ::close(fd_);
  fd_ = -1;
  if (error == EAGAIN || error == EACCES) return gunbook::statusPhrase(rm::status::FileLocked);
  return "cannot lock " + file.string() + ": " + systemError(error);
}

bool UnopenableBookHold::stillHolds(const fs::path& file) const {
  struct stat held, now;
  return fd_ >= 0 && ::fstat(fd_, &held) == 0 && ::stat(file.c_str(), &now) == 0 &&
         held.st_dev == now.st_dev && held.st_ino == now.st_ino;
}

}  // namespace varnok::restore

namespace varnok::restore {

std::string bookCopyProblem(rm::RecordManager& manager, const std::string& keyFolder,
                            std::string_view name, const reportfolder::CopiedFile& copy) {
  gunbook::BookCursor cursor;
  cursor.KeyBuffer = gunbook::normaliseFolder(keyFolder) + std::string(name) + " ";
  const int16_t status = cursor.call(manager, rm::op::Open);
  if (status != 0)
    return " is not a sound book: the book engine refuses it: " + gunbook::statusPhrase(status);
  cursor.call(manager, rm::op::Discard);
  if (reportfolder::sha256OfFile(copy.path) != copy.sha256) return " changed while it was checked";
  return {};
}

std::filesystem::path journalBeside(const RestoreTarget& target) {
  std::error_code error;
  for (const std::filesystem::path& book : {target.file, target.book}) {
    const std::filesystem::path journal = book.string() + "-journal";
    if (std::filesystem::exists(std::filesystem::symlink_status(journal, error))) return journal;
  }
  return {};
}

void flushFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool flushed = fd >= 0 && ::fsync(fd) == 0;
  const int error = errno;
  if (fd >= 0) ::close(fd);
  if (!flushed)
    throw std::system_error(error, std::generic_category(), "cannot flush " + folder.string());
}

}  // namespace varnok::restore
