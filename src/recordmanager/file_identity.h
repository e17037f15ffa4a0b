// Which file a path names (its device and inode), so that two spellings of
// one file are known to be one file.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

struct stat;

namespace varnok::rm {

struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileId&) const = default;
};

// The file's identity; none when the path names nothing that stat reaches.
std::optional<FileId> fileIdentity(const std::string& path);
// The identity of a file already looked at with stat.
FileId fileIdentity(const struct stat& st);

}  // namespace varnok::rm
