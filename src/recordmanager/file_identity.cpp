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

std::optional<std::vector<int>> descriptorsOf(const FileId& file) {
  const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir("/proc/self/fd"), ::closedir);
  if (!listing) return std::nullopt;
  const int own = ::dirfd(listing.get());
  std::vector<int> all;
  while (const dirent* entry = ::readdir(listing.get())) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || fd == own) continue;
    struct stat st;
    if (::fstat(int(fd), &st) == 0 && S_ISREG(st.st_mode) && fileIdentity(st) == file)
      all.push_back(int(fd));
  }
  return all;
}

int descriptorOf(const FileId& file) {
  const auto all = descriptorsOf(file);
  return all && !all->empty() ? all->front() : -1;
}

}  // namespace varnok::rm
