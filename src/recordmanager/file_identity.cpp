#include "recordmanager/file_identity.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>

namespace varnok::rm {

std::optional<FileId> fileIdentity(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return fileIdentity(st);
}

FileId fileIdentity(const struct stat& st) { return FileId{st.st_dev, st.st_ino}; }

namespace {

// Calls `found` with each descriptor of this process open on the file until
// it returns false; false when /proc does not say.
template <typename Found>
bool eachDescriptorOf(const FileId& file, Found found) {
  const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir("/proc/self/fd"), ::closedir);
  if (!listing) return false;
  const int own = ::dirfd(listing.get());
  while (const dirent* entry = ::readdir(listing.get())) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || fd == own) continue;
    struct stat st;
    if (::fstat(int(fd), &st) == 0 && S_ISREG(st.st_mode) && fileIdentity(st) == file &&
        !found(int(fd)))
      break;
  }
  return true;
}

}  // namespace

int descriptorOf(const FileId& file) {
  int first = -1;
  eachDescriptorOf(file, [&](int fd) { return first = fd, false; });
  return first;
}

std::optional<std::vector<int>> descriptorsOf(const FileId& file) {
  std::vector<int> all;
  if (!eachDescriptorOf(file, [&](int fd) { return all.push_back(fd), true; }))
    return std::nullopt;
  return all;
}

}  // namespace varnok::rm
