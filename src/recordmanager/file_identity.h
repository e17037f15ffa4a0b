// Which file a path names (its device and inode), so that two spellings of
// one file are known to be one file.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

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

// A descriptor of this process open on the file, as /proc lists them; -1
// when there is none or the system does not say.
int descriptorOf(const FileId& file);
// Every descriptor of this process open on the file; none when the system
// does not say.
std::optional<std::vector<int>> descriptorsOf(const FileId& file);

}  // namespace varnok::rm
