#include "recordmanager/file_identity.h"

#include <sys/stat.h>


namespace varnok::rm {

std::optional<FileId> fileIdentity(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return fileIdentity(st);
}

FileId fileIdentity(const struct stat& st) { return FileId{st.st_dev, st.st_ino}; }

}  // namespace varnok::rm
